// Reading the lines of the start-up configuration file, at most 4096 bytes each.
#pragma once

#include <cstdio>
#include <string>

namespace zevp {

constexpr size_t ZEVP_CONFIG_RECORD_SIZE = 4096;

// The next line with its line end (at most ZEVP_CONFIG_RECORD_SIZE - 1 bytes; the
// rest of a longer line is dropped with a trace). False at the end of the file.
bool ReadConfigLine(FILE* file, std::string* line);

// The blank-separated words of a line without its line end.
template <typename Action>
void ForEachName(const std::string& text, Action action) {
  size_t position = 0;
  while ((position = text.find_first_not_of(' ', position)) != std::string::npos) {
    size_t end = text.find(' ', position);
    action(text.substr(position, end == std::string::npos ? std::string::npos : end - position));
    position = end;
  }
}

}  // namespace zevp
