#include "environment_lines.h"

#include <cstdlib>
#include <cstring>

namespace zevpapi {

namespace {

uint16_t KeyOfLineFor(const char* line, const char* appID) {
  size_t length = std::strlen(appID);
  // A line that is the AppID alone has nothing behind it.
  if (std::strlen(line) <= length) return 0;
  return SessionKeyFrom(line + length + 1);
}

uint16_t KeyOfOnlyLine(std::FILE* file) {
  EnvironmentLine line;
  EnvironmentLine only;
  int count = 0;
  for (LineRead read; (read = ReadEnvironmentLine(file, line)) != LineRead::kEnd;) {
    if (read != LineRead::kLine) continue;
    if (++count == 1) std::memcpy(only, line, sizeof line);
  }
  if (count != 1) return 0;
  const char* mark = std::strchr(only, '#');
  return mark == nullptr ? 0 : SessionKeyFrom(mark + 1);
}

}  // namespace

LineRead ReadEnvironmentLine(std::FILE* file, EnvironmentLine& line) {
  int length = 0;
  bool any = false;
  bool tooLong = false;
  for (int c; (c = std::getc(file)) != EOF;) {
    any = true;
    if (c == '\n') break;
    if (length < kLongestEnvironmentLine)
      line[length++] = static_cast<char>(c);
    else
      tooLong = true;
  }
  line[length] = '\0';
  if (!any) return LineRead::kEnd;
  return tooLong ? LineRead::kTooLong : LineRead::kLine;
}

uint16_t SessionKeyFrom(const char* text) {
  long key = std::strtol(text, nullptr, 10);
  return key >= 1 && key <= 65535 ? static_cast<uint16_t>(key) : 0;
}

long StampFrom(const char* text) { return std::strtol(text, nullptr, 10); }

uint16_t FindSessionKey(std::FILE* file, const char* appID, const char* stamp) {
  EnvironmentLine line;
  if (ReadEnvironmentLine(file, line) != LineRead::kLine) return 0;
  if (stamp != nullptr && StampFrom(stamp) != StampFrom(line)) return 0;
  if (appID == nullptr) return KeyOfOnlyLine(file);
  size_t length = std::strlen(appID);
  for (LineRead read; (read = ReadEnvironmentLine(file, line)) != LineRead::kEnd;)
    if (read == LineRead::kLine && std::strncmp(line, appID, length) == 0) return KeyOfLineFor(line, appID);
  return 0;
}

}  // namespace zevpapi
