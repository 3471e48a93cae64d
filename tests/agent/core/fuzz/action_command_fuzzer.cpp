// libFuzzer harness of an automation command as the framework hands it to DV_Action:
// split into name and parameters, and the parameters read as a Dorvane_Message's
// CAT=, SEV= and MSG=. Whatever the bytes (up to the first NUL, as the command text
// ends there), every value stays within the command.
#include <cstddef>
#include <cstdint>
#include <string>

#include "action_command.h"
#include "console_message_action.h"
#include "raf.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string command(reinterpret_cast<const char*>(data), size);
  command = command.c_str();
  ActionCommand split;
  if (splitActionCommand(command.c_str(), &split) == 0 && split.hasParms)
    createConsoleMessageFromAction(split.parms.c_str());
  raf::TakeConsoleMessages();
  return 0;
}
