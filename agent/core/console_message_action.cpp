#include "console_message_action.h"

#include <string>

#include "raf.h"
#include "trc1.h"
#include "zev0/text.h"

TRC_UNIT();

namespace {

// The parameters searched, as the message buffer holds them.
constexpr size_t kParmsRoom = 1024;
constexpr size_t kKeywordLength = 4;

// The keywords are looked for in an upper-case copy; the values come from the
// parameters as received, at the same places.
struct Parms {
  std::string received;
  std::string upper;
};

// Where the value of the keyword begins (after blanks), or npos when the keyword is
// missing, nothing follows it, or another keyword follows it at once.
size_t valueStart(const Parms& parms, const char* keyword, const char* other1, const char* other2) {
  size_t at = parms.upper.find(keyword);
  if (at == std::string::npos) return std::string::npos;
  size_t start = parms.upper.find_first_not_of(' ', at + kKeywordLength);
  if (start == std::string::npos) return std::string::npos;
  if (parms.upper.compare(start, kKeywordLength, other1) == 0 || parms.upper.compare(start, kKeywordLength, other2) == 0)
    return std::string::npos;
  return start;
}

// CAT= or SEV=: the value up to the next blank; empty when there is none (traced).
std::string wordValue(const Parms& parms, const char* keyword, const char* other1, const char* other2,
                      const char* name) {
  size_t start = valueStart(parms, keyword, other1, other2);
  if (start == std::string::npos) {
    TRC(TRC_ERROR, "Error: No %s value supplied. Unable to process Dorvane_Message request for action parms <%s>",
        keyword, parms.received.c_str());
    return {};
  }
  std::string value = parms.received.substr(start, parms.received.find(' ', start) - start);
  TRC(TRC_DETAIL, "%s parameter <%s>", name, value.c_str());
  return value;
}

// In a run of double quotes the first goes, the others stay: "" gives one.
std::string withoutEscapingQuotes(const std::string& text) {
  std::string kept;
  for (size_t i = 0; i < text.size(); ++i)
    if (text[i] != '"' || (i > 0 && text[i - 1] == '"')) kept += text[i];
  return kept;
}

std::string messageText(const Parms& parms) {
  size_t start = valueStart(parms, "MSG=", "CAT=", "SEV=");
  std::string text;
  if (start != std::string::npos) {
    TRC(TRC_DETAIL, "MsgTextWithDoubleQuotes <%s>", parms.received.c_str() + start);
    text = withoutEscapingQuotes(parms.received.substr(start));
    text.erase(text.find_last_not_of(' ') + 1);
    TRC(TRC_DETAIL, "MSG parameter <%s>", text.c_str());
  }
  if (text.empty())
    TRC(TRC_ERROR, "Error: No MSG= value supplied. Unable to process Dorvane_Message request for action parms <%s>",
        parms.received.c_str());
  return text;
}

}  // namespace

void createConsoleMessageFromAction(const char* parms) {
  Parms searched;
  searched.received = std::string(parms != nullptr ? parms : "").substr(0, kParmsRoom);
  searched.upper = searched.received;
  if (parms == nullptr || ZEV0_ConvertStringToUpper(searched.upper.data(), 0) == nullptr) {
    TRC(TRC_ERROR, "Error: ZEV0_ConvertStringToUpper failed for <%s>", searched.received.c_str());
    return;
  }
  std::string category = wordValue(searched, "CAT=", "SEV=", "MSG=", "CAT");
  std::string severity = wordValue(searched, "SEV=", "CAT=", "MSG=", "SEV");
  std::string text = messageText(searched);
  if (category.empty() || severity.empty() || text.empty()) return;
  TRC(TRC_DETAIL, "Calling RAF_CreateMessage <%s> <%s> <%s>", severity.c_str(), category.c_str(), text.c_str());
  RAF_CreateMessage(severity.c_str(), category.c_str(), text.c_str(), 0);
}
