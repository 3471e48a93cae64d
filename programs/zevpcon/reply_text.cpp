#include "reply_text.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>

namespace zevpcon {

namespace {

// The fields between the ';', empty ones kept; the empty rest after a last ';' is none.
std::vector<std::string> Fields(const std::string& records) {
  std::vector<std::string> fields;
  size_t at = 0;
  while (at < records.size()) {
    size_t end = records.find(';', at);
    if (end == std::string::npos) end = records.size();
    fields.push_back(records.substr(at, end - at));
    at = end + 1;
  }
  return fields;
}

long RecordNumber(const std::string& field) {
  char* end = nullptr;
  errno = 0;
  long number = std::strtol(field.c_str(), &end, 10);
  return end != field.c_str() && *end == '\0' && errno == 0 ? number : -1;
}

std::string Formatted(const char* format, const std::string& first, const std::string& second = std::string()) {
  int length = std::snprintf(nullptr, 0, format, first.c_str(), second.c_str());
  std::string text(static_cast<size_t>(length > 0 ? length : 0), '\0');
  std::snprintf(text.data(), text.size() + 1, format, first.c_str(), second.c_str());
  return text;
}

}  // namespace

std::vector<std::string> ReplyTokens(const std::string& reply) {
  std::vector<std::string> tokens;
  size_t at = 0;
  for (;;) {
    size_t start = reply.find_first_not_of(' ', at);
    if (start == std::string::npos) return tokens;
    size_t end = reply.find(' ', start);
    if (end == std::string::npos) end = reply.size();
    tokens.push_back(reply.substr(start, end - start));
    at = end;
  }
}

std::string TextFromToken(const std::string& reply, size_t n) {
  size_t at = 0;
  for (size_t token = 0;; ++token) {
    size_t start = reply.find_first_not_of(' ', at);
    if (start == std::string::npos) return std::string();
    if (token == n) return reply.substr(start);
    at = reply.find(' ', start);
    if (at == std::string::npos) return std::string();
  }
}

std::string ShowRecordLines(const std::string& records) {
  const std::vector<std::string> fields = Fields(records);
  size_t at = 0;
  auto value = [&]() { return at < fields.size() ? fields[at++] : std::string(); };
  std::string lines;
  while (at < fields.size()) {
    switch (RecordNumber(fields[at++])) {
      case 0:
        lines += Formatted("   MetaFile: %s\n", value());
        break;
      case 1:
        lines += Formatted("      Application: %s\n", value());
        break;
      case 2: {
        std::string group = value();
        lines += Formatted("\n            Group: %s %s\n", group, value());
        break;
      }
      case 3: {
        std::string kind = value();
        lines += Formatted("           SOURCE: %s %s\n", kind, value());
        break;
      }
      case 4: {
        lines += Formatted("           %21.21s ", value());
        lines += Formatted("%s\n", value());
        break;
      }
      default:
        break;
    }
  }
  return lines;
}

}  // namespace zevpcon
