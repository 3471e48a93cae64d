#include "console_run.h"

#include <cctype>

#include "console_dialogue.h"
#include "console_input.h"
#include "target_choice.h"
#include "zevp/console.h"
#include "zevp/console_verbs.h"
#include "zevp/metafile_unpack.h"
#include "zevp/metafile_validation.h"

namespace zevpcon {

namespace {

constexpr int kInputAccepted = 1;
constexpr int kNotActive = 5;
constexpr int kConfirmShutdown = 30;
constexpr int kShutdownCancelled = 31;

bool BeginsWith(const std::string& text, char letter) {
  return !text.empty() && std::toupper(static_cast<unsigned char>(text[0])) == letter;
}

}  // namespace

void ShowUsage() {
  static const char* const kUsage[] = {
      "Usage:",
      "       zevpcon Delete   [metafile name | application name]",
      "               Import   [metafile name | application name]",
      "               Refresh  [metafile name | application name]",
      "               Show     [metafile name | application name]",
      "               Unpack   [metafile name]",
      "               Validate [metafile name]",
      "               List",
      "               LoadComm",
      "               LoadName",
      "               LoadList [List file name]",
      "               Trapcnfg",
      "               Set       Target DP name",
      "               SHUTdown [Immed]",
  };
  for (const char* line : kUsage) std::printf("%s\n", line);
  std::fflush(stdout);
}

int RunConsole(const std::vector<std::string>& arguments, FILE* input, ConsoleTransport* transport) {
  if (!arguments.empty() && !arguments[0].empty() && arguments[0][0] == '?') {
    ShowUsage();
    return 0;
  }
  ConsoleCommand command;
  if (!ReadCompleteCommand(arguments, input, &command, &transport->targetHost)) return 0;
  ZEVP_ShowConsoleMessage(kInputAccepted, nullptr);
  if (command.code == ZEVP_VERB_VALIDATE) return ZEVP_ValidateMetaFile(command.parameter.c_str());
  if (command.code == ZEVP_VERB_UNPACK) return ZEVP_UnpackMetafileToText(command.parameter.c_str());

  if (!InitializeConsoleTransportInterface(transport)) {
    ZEVP_ShowConsoleMessage(kNotActive, TargetHostName(*transport).c_str());
    return 0;
  }
  const bool shutdown = command.code == ZEVP_VERB_SHUTDOWN;
  if (shutdown && BeginsWith(command.parameter, 'I')) {
    transport->selected = 0;  // every data provider, unasked
  } else {
    if (transport->found.size() > 1 && !SetTargetDP(transport, command.code, input)) return 0;
    if (shutdown) {
      ZEVP_ShowConsoleMessage(kConfirmShutdown, nullptr);
      std::string answer;
      if (!RetrieveConsoleInput(input, &answer)) return 0;
      if (!BeginsWith(answer, 'Y')) {
        ZEVP_ShowConsoleMessage(kShutdownCancelled, nullptr);
        return 0;
      }
    }
  }
  RunExchangeLoop(transport, command, input);
  return 0;
}

}  // namespace zevpcon
