// The console program's run: the operator's command, carried out locally (VALIDATE,
// UNPACK) or at the data providers found on the target host.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

#include "console_transport.h"

namespace zevpcon {

// The usage text, line by line on standard output.
void ShowUsage();

// Runs one command from the arguments (the program's, without its name) and the
// input, with the transport's settings; the exit code: the local validation's or
// unpacking's result, 0 in every other case.
int RunConsole(const std::vector<std::string>& arguments, FILE* input, ConsoleTransport* transport);

}  // namespace zevpcon
