// Console commands that arrive as actions (DP_CONTROL): checked, handed to the
// console service as the console IO thread would hand them over, waited for, and
// the console status put into the action's status and result text.
#pragma once

#include <cstdint>
#include <string>

struct ActionEntry;
struct DPAB;

// A DP_CONTROL action: runs its parameters as a console command on the worker's
// thread and leaves the outcome in the entry's status and result text.
void ZEVP_ScheduleRunConsoleCommand(DPAB* anchor, ActionEntry* action);

namespace zevp {

struct ConsoleActionOutcome {
  int32_t status = 0;  // -1 for a refused command, else 0: the text carries the outcome
  std::string text;    // at most 255 characters
};

// Runs the command text (a verb and perhaps its parameter) on the anchor's console
// service, on the caller's thread. Waits, a second at a time, while another command
// is in progress and then for its own; both waits end at shut-down, or when the
// shut-down tells the caller's thread to end (-1, "Console to DP communication
// unsuccessful. Command not processed."). SHUTDOWN returns once it is handed over.
ConsoleActionOutcome RunConsoleCommandFromAction(DPAB* anchor, const char* commandText);

}  // namespace zevp
