// The delimiter of an //ATTRIBUTES statement: how a record splits into fields.
#include <string>

#include "metafile_parser.h"
#include "metafile_text.h"
#include "validation_messages.h"

char* ZEVP_CheckAttributeDelimiter(const char* word) {
  std::string text = word != nullptr ? word : "";
  if (!text.empty() && zevp::IsQuote(text[0])) text = zevp::QuotedText(text, 0);
  if (text.empty()) return zevp::NewStorageText(" ");
  if (text.size() <= 2) return zevp::NewStorageText(text);
  std::string upper = zevp::UpperCased(text);
  if (upper.compare(0, 4, "NONE") == 0) return nullptr;
  if (upper.compare(0, 3, "TAB") == 0) return zevp::NewStorageText("\t");
  // Any other character in front stands for a quote.
  size_t close = text.find(text[0], 1);
  if (close != std::string::npos) {
    std::string between = text.substr(1, close - 1);
    return zevp::NewStorageText(between.empty() ? " " : between);
  }
  std::string firstTwo = text.substr(0, 2);
  ZEVP_DisplayValidationMessage(ZEVPV52W, firstTwo.c_str());
  return zevp::NewStorageText(firstTwo);
}
