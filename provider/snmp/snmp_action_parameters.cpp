#include "snmp_action_parameters.h"

#include <cstring>

#include "trc1.h"

TRC_UNIT();

namespace {

bool isBlank(char c) { return c == ' ' || c == '\t'; }

const char* skipBlanks(const char* p) {
  while (isBlank(*p)) ++p;
  return p;
}

const char* wordEnd(const char* p, const char* stops) {
  while (*p != '\0' && !isBlank(*p) && std::strchr(stops, *p) == nullptr) ++p;
  return p;
}

const char* afterKeyword(const char* text, const char* keyword) {
  if (text == nullptr) return nullptr;
  const char* found = std::strstr(text, keyword);
  return found == nullptr ? nullptr : found + std::strlen(keyword);
}

// One entry of the list, from its first character up to (not including) its ','.
// Returns false when it ends the list.
bool readEntry(const char* begin, const char* end, std::vector<zevp::AgentInfoEntry>* entries) {
  std::string entry(begin, end);
  const char* p = skipBlanks(entry.c_str());
  if (*p == ')') return false;
  zevp::AgentInfoEntry agent;
  if (*p == '{') {
    p = skipBlanks(p + 1);
    const char* nameEnd = wordEnd(p, "}");
    agent.name.assign(p, nameEnd);
    p = skipBlanks(nameEnd);
    const char* communityEnd = wordEnd(p, "}");
    agent.community.assign(p, communityEnd);
    if (agent.community.empty()) TRC(TRC_DETAIL, "Community value not specified.");
  } else {
    agent.name.assign(p, wordEnd(p, ""));
  }
  if (!agent.name.empty()) entries->push_back(agent);
  return true;
}

}  // namespace

namespace zevp {

std::optional<std::string> KeywordWord(const char* text, const char* keyword) {
  const char* value = afterKeyword(text, keyword);
  if (value == nullptr) return std::nullopt;
  return std::string(value, wordEnd(value, ""));
}

std::optional<std::string> KeywordWordAfterBlanks(const char* text, const char* keyword) {
  const char* value = afterKeyword(text, keyword);
  if (value == nullptr) return std::nullopt;
  value = skipBlanks(value);
  std::string word(value, wordEnd(value, ""));
  if (word.find('=') != std::string::npos) return std::nullopt;
  return word;
}

std::optional<std::string> SetValueText(const char* text, bool* laterKeyword) {
  const char* value = afterKeyword(text, "VALUE=");
  *laterKeyword = false;
  if (value == nullptr) return std::nullopt;
  value = skipBlanks(value);
  const char* end = value + std::strlen(value);
  if (const char* nextEquals = std::strchr(value, '=')) {
    *laterKeyword = true;
    // The next keyword begins after the last blank before its '='.
    end = value;
    for (const char* p = value; p < nextEquals; ++p)
      if (isBlank(*p)) end = p;
  }
  while (end > value && isBlank(end[-1])) --end;
  return std::string(value, end);
}

bool ParseAgentInfoList(const char* text, std::vector<AgentInfoEntry>* entries) {
  const char* open = text == nullptr ? nullptr : std::strchr(text, '(');
  if (open == nullptr) return false;
  const char* close = std::strrchr(open, ')');
  const char* end = close != nullptr ? close : open + std::strlen(open);
  for (const char* begin = open + 1; begin < end;) {
    const char* comma = static_cast<const char*>(std::memchr(begin, ',', static_cast<size_t>(end - begin)));
    const char* entryEnd = comma != nullptr ? comma : end;
    if (!readEntry(begin, entryEnd, entries)) break;
    begin = entryEnd + 1;
  }
  return true;
}

}  // namespace zevp
