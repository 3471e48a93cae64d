#include "header_dictionary.h"

#include <strings.h>

#include <cstring>

namespace vmo1 {

namespace {

struct NamedHeader {
  const char* name;
  int32_t code;
};

constexpr NamedHeader kNamedHeaders[] = {
    {"Authorization", VMO1_HEADER_AUTHORIZATION},
    {"Location", VMO1_HEADER_LOCATION},
    {"WWW-Authenticate", VMO1_HEADER_WWW_AUTHENTICATE},
    {"Server", VMO1_HEADER_SERVER},
    {"Proxy-Authenticate", VMO1_HEADER_PROXY_AUTHENTICATE},
};

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

}  // namespace

int32_t HeaderCode(const std::string& name) {
  for (const NamedHeader& named : kNamedHeaders)
    if (strcasecmp(name.c_str(), named.name) == 0) return named.code;
  return VMO1_HEADER_OTHER;
}

HeaderDictionary::HeaderDictionary() : text_(kMaxHeaderBytes) { refreshView(); }

void HeaderDictionary::clear() {
  entries_.clear();
  index_.clear();
  used_ = 0;
  refreshView();
}

void HeaderDictionary::addLine(const char* line, size_t length) {
  std::string text(line, length);
  text = text.substr(0, text.find('\0'));
  while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
  if (text.empty() || IsBlank(text[0])) return;
  if (text.compare(0, 5, "HTTP/") == 0) {
    clear();
    add(VMO1_HEADER_STATUS_LINE, text);
    return;
  }
  size_t colon = text.find(':');
  if (colon == std::string::npos || colon == 0) return;
  size_t value = colon + 1;
  while (value < text.size() && IsBlank(text[value])) ++value;
  size_t end = text.size();
  while (end > value && IsBlank(text[end - 1])) --end;
  add(HeaderCode(text.substr(0, colon)), text.substr(value, end - value));
}

void HeaderDictionary::add(int32_t code, const std::string& value) {
  if (entries_.size() >= kMaxHeaders || used_ + value.size() + 1 > text_.size()) return;
  std::memcpy(text_.data() + used_, value.data(), value.size());
  text_[used_ + value.size()] = '\0';
  VMO1_HeaderInfo info;
  info.hinCode = code;
  info.hinStrOffset = static_cast<int32_t>(text_.size() - used_);
  info.hinStrLen = static_cast<int32_t>(value.size());
  info.hinLink = -1;
  for (size_t i = entries_.size(); i-- > 0;) {
    if (entries_[i].hinCode == code) {
      entries_[i].hinLink = static_cast<int32_t>(entries_.size());
      break;
    }
  }
  used_ += value.size() + 1;
  index_.push_back(static_cast<int32_t>(entries_.size()));
  entries_.push_back(info);
  refreshView();
}

void HeaderDictionary::refreshView() {
  view_.hdiCount = static_cast<int32_t>(entries_.size());
  view_.hdiinfo = entries_.data();
  view_.hdiindex = index_.data();
  view_.hdiStrCeiling = text_.data() + text_.size();
}

}  // namespace vmo1
