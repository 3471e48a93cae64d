// Programs the system starts for its users: each in a child that has the signals a
// new program has (the parent's handling and blocking not inherited) and only
// standard input, output and error of the parent's descriptors, whatever else the
// parent holds open. The calling thread alone waits for it.
#pragma once

namespace zev0 {

// /bin/sh -c commandLine: the shell's wait status, or -1 when the shell could not be
// started or waited for (*error, when given, then holds why).
int RunShellCommand(const char* commandLine, int* error = nullptr);

// The program (looked for on PATH when its name holds no '/') with the argument
// vector, argument[0] first and a null last: its wait status, or -1 when it could not
// be started or waited for (*error, when given, then holds why).
int RunProgram(const char* const argument[], int* error = nullptr);

}  // namespace zev0
