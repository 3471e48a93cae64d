#include "console_action.h"

#include <cstring>
#include <memory>

#include "action_entry.h"
#include "bsv1.h"
#include "console_area.h"
#include "console_commands.h"
#include "console_messages.h"
#include "console_verbs.h"
#include "dp_anchor.h"
#include "process_entry.h"
#include "shutdown_request.h"
#include "trc1.h"
#include "zev0/storage.h"

TRC_UNIT();

namespace zevp {

namespace {

constexpr unsigned kPollSeconds = 1;
constexpr char kParameterMissing[] = "Required input parameter file name not specified";

ConsoleActionOutcome Outcome(int32_t status, int message, const char* insert = nullptr) {
  return ConsoleActionOutcome{status, ConsoleMessageText(message, insert)};
}

ConsoleActionOutcome NotProcessed() { return Outcome(-1, ZEVP_CMSG_NOT_PROCESSED); }

bool NeedsFileName(int32_t verb) {
  return verb == ZEVP_VERB_DELETE || verb == ZEVP_VERB_IMPORT || verb == ZEVP_VERB_REFRESH ||
         verb == ZEVP_VERB_LOADLIST;
}

// The command's copy for the service: a whole command buffer, the text cut to fit.
char* CommandBuffer(const char* commandText) {
  auto* buffer = static_cast<char*>(ZEV0_GetStorage(ZEVP_CONSOLE_BUFFER_SIZE));
  if (buffer == nullptr) return nullptr;
  std::memset(buffer, 0, ZEVP_CONSOLE_BUFFER_SIZE);
  std::strncpy(buffer, commandText, ZEVP_CONSOLE_BUFFER_SIZE - 1);
  return buffer;
}

// The waits end when the data provider is shut down, or its shut-down tells the
// calling thread (an action worker) to end: the console may be carrying out the
// SHUTDOWN that waits for this thread.
bool ShuttingDown(const DPAB* anchor, const ProcessEntry* own) {
  return ShutdownRequested(anchor) || (own != nullptr && own->terminationFlag != 0);
}

// Hands the command over once no other is in progress; false (the command not
// handed over) at shut-down.
bool Deliver(DPAB* anchor, const ProcessEntry* own, const char* commandText,
             const std::shared_ptr<ConsoleCommandWaiter>& waiter) {
  char* buffer = CommandBuffer(commandText);
  if (buffer == nullptr) return false;
  const sockaddr_in nobody{};
  for (;;) {
    if (ShuttingDown(anchor, own)) break;
    Console_Communication_Area* area = anchor->consoleArea;
    if (area != nullptr && area->commandStatus != ZEVP_CONSOLE_IN_PROGRESS &&
        DeliverConsoleCommand(area, buffer, anchor->dpType, nobody, waiter)) {
      TRC(TRC_DETAIL, ">>>>>Signal console command task for processing action command");
      return true;
    }
    BSV1_Sleep(kPollSeconds);
  }
  ZEV0_FreeStorage(&buffer);
  return false;
}

// The action's result by verb and final console status.
ConsoleActionOutcome ResultOf(int32_t verb, int32_t status, const std::string& parameter) {
  struct Text {
    int32_t verb;
    int32_t status;
    int message;
  };
  static const Text kTexts[] = {
      {ZEVP_VERB_DELETE, ZEVP_CONSOLE_DONE, ZEVP_CMSG_DELETE_DONE},
      {ZEVP_VERB_DELETE, ZEVP_CONSOLE_NOT_DEFINED, ZEVP_CMSG_DELETE_NOT_DEFINED},
      {ZEVP_VERB_IMPORT, ZEVP_CONSOLE_DEFINITION_ERROR, ZEVP_CMSG_IMPORT_DEFINITION_ERROR},
      {ZEVP_VERB_IMPORT, ZEVP_CONSOLE_KNOWN_TO_AGENT, ZEVP_CMSG_KNOWN_TO_AGENT},
      {ZEVP_VERB_IMPORT, ZEVP_CONSOLE_NOT_FOUND, ZEVP_CMSG_METAFILE_NOT_FOUND},
      {ZEVP_VERB_IMPORT, ZEVP_CONSOLE_SNMP_DEFINITION, ZEVP_CMSG_SNMP_DEFINITION},
      {ZEVP_VERB_REFRESH, ZEVP_CONSOLE_DONE, ZEVP_CMSG_REFRESH_DONE},
      {ZEVP_VERB_REFRESH, ZEVP_CONSOLE_NOT_DEFINED, ZEVP_CMSG_REFRESH_NOT_DEFINED},
      {ZEVP_VERB_REFRESH, ZEVP_CONSOLE_DEFINITION_ERROR, ZEVP_CMSG_REFRESH_SPECIFICATION_ERROR},
      {ZEVP_VERB_REFRESH, ZEVP_CONSOLE_KNOWN_TO_AGENT, ZEVP_CMSG_KNOWN_TO_AGENT},
      {ZEVP_VERB_REFRESH, ZEVP_CONSOLE_NOT_FOUND, ZEVP_CMSG_METAFILE_NOT_FOUND},
      {ZEVP_VERB_REFRESH, ZEVP_CONSOLE_SNMP_DEFINITION, ZEVP_CMSG_SNMP_DEFINITION},
      {ZEVP_VERB_TRAPCNFG, ZEVP_CONSOLE_DONE, ZEVP_CMSG_TRAPS_DONE},
      {ZEVP_VERB_TRAPCNFG, ZEVP_CONSOLE_NOT_SERVED, ZEVP_CMSG_TRAPS_REJECTED},
      {ZEVP_VERB_LOADCOMM, ZEVP_CONSOLE_DONE, ZEVP_CMSG_COMMUNITY_DONE},
      {ZEVP_VERB_LOADCOMM, ZEVP_CONSOLE_NOT_SERVED, ZEVP_CMSG_COMMUNITY_REJECTED},
      {ZEVP_VERB_LOADNAME, ZEVP_CONSOLE_DONE, ZEVP_CMSG_NETWORK_NAME_DONE},
      {ZEVP_VERB_LOADNAME, ZEVP_CONSOLE_NOT_SERVED, ZEVP_CMSG_NETWORK_NAME_REJECTED},
      {ZEVP_VERB_LOADLIST, ZEVP_CONSOLE_DONE, ZEVP_CMSG_NODE_LIST_DONE},
      {ZEVP_VERB_LOADLIST, ZEVP_CONSOLE_NOT_SERVED, ZEVP_CMSG_NODE_LIST_REJECTED},
      {ZEVP_VERB_LOADLIST, ZEVP_CONSOLE_LIST_FAILED, ZEVP_CMSG_NODE_LIST_NOT_FOUND},
  };
  // A final status above 0 is no failure of the action: the text tells it.
  ConsoleActionOutcome outcome{status > 0 ? 0 : status, std::string()};
  if (verb == ZEVP_VERB_IMPORT && status == ZEVP_CONSOLE_DONE) {
    outcome.text = ConsoleMessageText(ZEVP_CMSG_IMPORT_DONE, parameter.c_str());
    return outcome;
  }
  for (const Text& text : kTexts)
    if (text.verb == verb && text.status == status) outcome.text = ConsoleMessageText(text.message, nullptr);
  return outcome;
}

}  // namespace

ConsoleActionOutcome RunConsoleCommandFromAction(DPAB* anchor, const char* commandText) {
  ConsoleCommandText command = SplitConsoleCommand(commandText);
  if (command.argument.empty()) {
    TRC(TRC_DETAIL, "Processing console command %s No parameter", command.verb.c_str());
  } else {
    TRC(TRC_DETAIL, "Processing console command %s Parameter %s", command.verb.c_str(), command.argument.c_str());
  }
  int32_t verb = ConsoleVerbIndex(command.verb);
  if (verb == ZEVP_VERB_UNKNOWN || verb == ZEVP_VERB_SHOW || verb == ZEVP_VERB_LIST) {
    TRC(TRC_ERROR, "*****TakeAction console command not supported or invalid %d", verb);
    return Outcome(-1, ZEVP_CMSG_INVALID_COMMAND);
  }
  if (NeedsFileName(verb) && command.argument.empty()) {
    TRC(TRC_ERROR, "*****TakeAction console command parameter file not specified");
    return ConsoleActionOutcome{-1, kParameterMissing};
  }
  if (verb == ZEVP_VERB_DELETE || verb == ZEVP_VERB_IMPORT || verb == ZEVP_VERB_REFRESH) {
    bool loaded = LookUpConsoleApplication(anchor, command.argument) != nullptr;
    if (verb == ZEVP_VERB_IMPORT && loaded) {
      TRC(TRC_DETAIL, "Import request application already defined");
      return Outcome(0, ZEVP_CMSG_ALREADY_DEFINED, command.argument.c_str());
    }
    if (verb != ZEVP_VERB_IMPORT && !loaded) {
      TRC(TRC_DETAIL, "Delete or Refresh request file not defined");
      return Outcome(0, verb == ZEVP_VERB_DELETE ? ZEVP_CMSG_DELETE_NOT_DEFINED : ZEVP_CMSG_REFRESH_NOT_DEFINED);
    }
  }

  const ProcessEntry* own = ZEVP_LocateOwnProcessEntry(anchor);
  auto waiter = std::make_shared<ConsoleCommandWaiter>();
  if (!Deliver(anchor, own, commandText, waiter)) return NotProcessed();
  // The service shuts the data provider down, this worker among its threads.
  if (verb == ZEVP_VERB_SHUTDOWN) return Outcome(0, ZEVP_CMSG_SHUTDOWN_DONE);
  while (waiter->status == ZEVP_CONSOLE_IN_PROGRESS) {
    if (ShuttingDown(anchor, own)) return NotProcessed();
    BSV1_Sleep(kPollSeconds);
  }
  TRC(TRC_DETAIL, "Console command return status %d", waiter->status.load());
  return ResultOf(verb, waiter->status, command.argument);
}

}  // namespace zevp

void ZEVP_ScheduleRunConsoleCommand(DPAB* anchor, ActionEntry* action) {
  const char* command = action->ActionParm != nullptr ? action->ActionParm : "";
  zevp::ConsoleActionOutcome outcome = zevp::RunConsoleCommandFromAction(anchor, command);
  action->ActionStatus = outcome.status;
  ZEVP_SetActionResult(action, outcome.text.c_str());
  action->ResultLength = static_cast<int32_t>(outcome.text.size());
}
