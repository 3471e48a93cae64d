#include "daemon_trace.h"

#include <cctype>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <string>

namespace zevsnetd {

namespace {

FILE* traceFile = nullptr;  // null while verbose is off
std::string traceName;

void LineStart() { std::fprintf(traceFile, "%.8X ", static_cast<unsigned>(std::time(nullptr))); }

}  // namespace

const char* OpenTrace(const char* setting) {
  if (setting == nullptr || std::toupper(static_cast<unsigned char>(setting[0])) != 'Y') return nullptr;
  const char* name = std::strchr(setting, '>');
  if (name == nullptr) name = std::strchr(setting, '=');
  if (name != nullptr) {
    while (*name == ' ' || *name == '>' || *name == '=') ++name;
  }
  traceFile = nullptr;
  if (name != nullptr && *name != '\0') traceFile = std::fopen(name, "we");
  if (traceFile != nullptr) {
    traceName = name;
  } else {
    traceFile = stdout;
    traceName = "stdout";
  }
  return traceName.c_str();
}

void CloseTrace() {
  if (traceFile != nullptr && traceFile != stdout) std::fclose(traceFile);
  traceFile = nullptr;
}

bool Verbose() { return traceFile != nullptr; }

void Trace(const char* format, ...) {
  if (traceFile == nullptr) return;
  LineStart();
  va_list arguments;
  va_start(arguments, format);
  std::vfprintf(traceFile, format, arguments);
  va_end(arguments);
  std::fputc('\n', traceFile);
  std::fflush(traceFile);
}

void TraceHex(const uint8_t* bytes, size_t length) {
  if (traceFile == nullptr) return;
  LineStart();
  std::fputs("------------ ", traceFile);
  for (size_t i = 0; i < length; ++i) std::fprintf(traceFile, "%.2X", bytes[i]);
  std::fputc('\n', traceFile);
  std::fflush(traceFile);
}

}  // namespace zevsnetd
