// The library's trace: lines on the anchor's stream while the verbose flag is on, each
// starting with the current time as eight hexadecimal digits.
#pragma once

namespace zevpapi {

// "<time> ----- <unit> <text>": an inner step of the source unit.
void TraceStep(const char* unit, const char* format, ...) __attribute__((format(printf, 2, 3)));
// "<time> <text>" as it stands.
void TraceLine(const char* format, ...) __attribute__((format(printf, 1, 2)));

// One dp_ call: its entry line on construction; finish() stores the status through the
// caller's pointer, writes the exit line, flushes the stream and gives the call's result.
class CallScope {
 public:
  CallScope(const char* name, int* status);
  CallScope(const CallScope&) = delete;
  CallScope& operator=(const CallScope&) = delete;
  int finish(int status);

 private:
  const char* name_;
  int* status_;
};

}  // namespace zevpapi
