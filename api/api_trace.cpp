#include "api_trace.h"

#include <cstdarg>
#include <cstdio>
#include <ctime>

#include "records.h"

namespace zevpapi {

namespace {

std::FILE* TraceStream() {
  if (DPAA == nullptr || DPAA->verbose == 0) return nullptr;
  return DPAA->trace;
}

void WriteLine(const char* lead, const char* format, va_list arguments) {
  std::FILE* stream = TraceStream();
  if (stream == nullptr) return;
  std::fprintf(stream, "%08X %s", static_cast<unsigned>(std::time(nullptr)), lead);
  std::vfprintf(stream, format, arguments);
  std::fputc('\n', stream);
}

}  // namespace

void TraceStep(const char* unit, const char* format, ...) {
  if (TraceStream() == nullptr) return;  // nothing is formatted for a trace that is off
  char lead[64];
  std::snprintf(lead, sizeof lead, "----- %s ", unit);
  va_list arguments;
  va_start(arguments, format);
  WriteLine(lead, format, arguments);
  va_end(arguments);
}

void TraceLine(const char* format, ...) {
  va_list arguments;
  va_start(arguments, format);
  WriteLine("", format, arguments);
  va_end(arguments);
}

CallScope::CallScope(const char* name, int* status) : name_(name), status_(status) {
  TraceLine(">>>>> %s entry", name_);
}

int CallScope::finish(int status) {
  if (status_ != nullptr) *status_ = status;
  TraceLine(">>>>> %s exit, Status %d", name_, status);
  if (std::FILE* stream = TraceStream()) std::fflush(stream);
  return status == 0 ? 1 : 0;
}

}  // namespace zevpapi
