#include "metafile_text.h"

#include <cctype>
#include <cstring>

#include "zev0/storage.h"

namespace zevp {

std::string QuotedText(const std::string& text, size_t open) {
  size_t close = text.find(text[open], open + 1);
  return text.substr(open + 1, close == std::string::npos ? std::string::npos : close - open - 1);
}

std::string UpperCased(std::string text) {
  for (char& c : text) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return text;
}

std::vector<std::string> Words(const std::string& text) {
  std::vector<std::string> words;
  size_t position = 0;
  while (true) {
    position = text.find_first_not_of(' ', position);
    if (position == std::string::npos) break;
    size_t end = text.find(' ', position);
    words.push_back(text.substr(position, end == std::string::npos ? std::string::npos : end - position));
    position = end;
  }
  return words;
}

bool BeginsWithUpper(const std::string& text, const char* prefix) {
  size_t length = std::strlen(prefix);
  return text.size() >= length && UpperCased(text.substr(0, length)) == prefix;
}

char* NewStorageText(const std::string& text) {
  auto* copy = static_cast<char*>(ZEV0_GetStorage(static_cast<int32_t>(text.size()) + 1));
  if (copy != nullptr) std::memcpy(copy, text.c_str(), text.size() + 1);
  return copy;
}

}  // namespace zevp
