// Messages to the message console: through the framework inside the agent, through
// the framework's console command in a stand-alone data-provider program.
#include "zev0/console_message.h"

#include <sys/wait.h>

#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <string>
#include <vector>

#include "raf.h"
#include "start_mode.h"
#include "trc1.h"
#include "zev0/child_process.h"
#include "zev0/env.h"

TRC_UNIT();

namespace {

const char PXconsoleCommand[] = "TZOMESG";

// Decided on the first call: 1 on, 0 off.
int32_t DoDMC = -1;
std::once_flag dmcDecided;

const char* shown(const char* text) { return text ? text : "(null)"; }

void decideDMC() {
  const char* setting = ZEV0_GetEnv("ZEV_DMC", "Y");
  if (std::toupper(static_cast<unsigned char>(setting[0])) == 'N') {
    DoDMC = 0;
    TRC(TRC_DETAIL, "Dorvane Message Console feature disabled");
    return;
  }
  DoDMC = 1;
  if (ZEV0_DPstartMode() != 0) {
    // The console command must not take up this program's trace configuration.
    setenv("YRN_TRC1", " ", 1);
    TRC(TRC_UNIT_DETAIL, "DMC module path %s in effect", shown(std::getenv("PATH")));
  }
}

// What a shell answers for a command it cannot run.
constexpr int kNotRunStatus = 127;

int exitStatusOf(int waitStatus) {
  if (WIFEXITED(waitStatus)) return WEXITSTATUS(waitStatus);
  if (WIFSIGNALED(waitStatus)) return 128 + WTERMSIG(waitStatus);
  return -1;
}

// Runs argument[0] found on PATH with the argument vector as it stands: the texts
// come from data sources, so no shell ever sees them. The command's exit status;
// -1 when no child could be made.
int runCommand(const std::vector<const char*>& argument) {
  int error = 0;
  int waitStatus = zev0::RunProgram(argument.data(), &error);
  if (waitStatus >= 0) return exitStatusOf(waitStatus);
  TRC(TRC_ERROR, "*****Error: Console command not run: errno=%d", error);
  return error == EAGAIN || error == ENOMEM ? -1 : kNotRunStatus;
}

// TZOMESG [-s SEVERITY] [-c CATEGORY-up-to-its-first-blank] TEXT
int32_t runConsoleCommand(const char* category, const char* severity, const char* text) {
  std::string firstWordOfCategory = category ? std::string(category, std::strcspn(category, " ")) : "";
  std::vector<const char*> argument{PXconsoleCommand};
  std::string shownCommand = PXconsoleCommand;
  if (severity != nullptr && severity[0] != '\0') {
    argument.insert(argument.end(), {"-s", severity});
    shownCommand.append(" -s ").append(severity);
  }
  if (!firstWordOfCategory.empty()) {
    argument.insert(argument.end(), {"-c", firstWordOfCategory.c_str()});
    shownCommand.append(" -c ").append(firstWordOfCategory);
  }
  argument.push_back(text);
  argument.push_back(nullptr);
  shownCommand.append(" \"").append(text).append("\"");
  int status = runCommand(argument);
  TRC(TRC_UNIT_DETAIL, "Length %d Status %d Console command (%s) ", static_cast<int>(shownCommand.size()), status,
      shownCommand.c_str());
  return status;
}

}  // namespace

int32_t ZEV0_PXconsoleMessage(const char* category, const char* severity, const char* text) {
  std::call_once(dmcDecided, decideDMC);
  if (DoDMC == 0) return -1;
  if (text == nullptr || text[0] == '\0') {
    TRC(TRC_ERROR, "***** No message input. PX console message bypassed");
    return -1;
  }
  if (ZEV0_DPstartMode() != 0) return runConsoleCommand(category, severity, text);
  TRC(TRC_FLOW, "Calling RAF_CreateMessage <%s> <%s> <%s>", shown(severity), shown(category), text);
  RAF_CreateMessage(severity, category, text, 0);
  return 0;
}
