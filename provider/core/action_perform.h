// What a worker does with one action: it finds the sources the action is for (every
// matching one for a policy), hands the action to their API or socket partners or
// performs it here by its name (a URL rule, a trap, a console command, a
// configuration request, else an operating-system command), and logs it.
#pragma once

struct ActionEntry;
struct ActionWorkerTaskEntry;
struct DPAB;
struct ProcessEntry;

// Leaves the outcome in the action's status and result; own is the worker's
// process entry.
void ZEVP_PerformAction(ActionWorkerTaskEntry* worker, ProcessEntry* own, ActionEntry* entry);

// The completion's DP log message when the worker logs: 61 with the result, else 60
// for an automation action.
void ZEVP_LogActionCompletion(DPAB* anchor, const ActionWorkerTaskEntry* worker, const ActionEntry* entry);
