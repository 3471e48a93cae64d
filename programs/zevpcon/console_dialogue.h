// The exchanges of one operator command with the data provider: the command sent,
// its reply put into a console message, and the dialogue's next command (a CHECK
// first for DELETE, IMPORT and REFRESH, a confirmation, an ACCEPT or a removal).
#pragma once

#include <cstdio>
#include <string>

#include "console_input.h"
#include "console_transport.h"

namespace zevpcon {

// The first command text: CHECK for DELETE, IMPORT and REFRESH, else the command's
// own word; then a blank and the parameter when there is one.
std::string FirstCommandText(const ConsoleCommand& command);

// Runs the exchanges until the command's outcome is shown, a reply fails (message 9
// but for LIST) or input ends at a question.
void RunExchangeLoop(ConsoleTransport* transport, const ConsoleCommand& command, FILE* input);

}  // namespace zevpcon
