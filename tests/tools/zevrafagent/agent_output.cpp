#include "agent_output.h"

#include <cstdarg>
#include <cstdio>
#include <mutex>

void PrintLine(const char* format, ...) {
  static std::mutex output;
  std::lock_guard<std::mutex> hold(output);
  va_list arguments;
  va_start(arguments, format);
  std::vprintf(format, arguments);
  va_end(arguments);
  std::putchar('\n');
  std::fflush(stdout);
}
