// The threads that perform actions: one worker per action at a time, made when no
// idle worker of the action's type exists and kept for reuse until shut-down.
//
// A worker runs as a thread of its anchor (ZEVP_CreateProcess: chained and counted),
// so shut-down waits for it, and the anchor with the DCH client and the action
// entries stays while a worker still runs a command or waits for a partner.
//
// WorkerMutex guards WorkerAction and the worker's waits; the status is atomic, for
// the allocator takes an idle worker under the worker-list lock alone.
#pragma once

#include <pthread.h>

#include <atomic>
#include <cstdint>

#include "bsv1.h"

struct ActionEntry;
struct DCHcomm;
struct DPAB;
struct ProcessEntry;
struct SNMPWorkerTaskExtension;

// ActionWorkerStatus.
constexpr int32_t ZEVP_WORKER_STARTING = 0;
constexpr int32_t ZEVP_WORKER_IDLE = 1;
constexpr int32_t ZEVP_WORKER_ASSIGNED = 2;
constexpr int32_t ZEVP_WORKER_WORKING = 3;
constexpr int32_t AWshutdown = 5;

struct ActionWorkerTaskEntry {
  ActionWorkerTaskEntry* NextWorker;  // the anchor's worker list
  DCHcomm* DCHconnection;             // through it the worker reaches its anchor
  std::atomic<int32_t> ActionWorkerStatus{ZEVP_WORKER_STARTING};
  int32_t ActionWorkerType;  // the ActionType it serves
  ActionEntry* WorkerAction;
  pthread_mutex_t WorkerMutex;
  pthread_cond_t WorkerCondition;
  SNMPWorkerTaskExtension* WorkerExtension;  // an SNMP worker's collection, or null
  BSV1_Lock WorkerLock;
  int32_t LogActivity;  // automation messages go to the DP log
};

// An idle worker of the type, now assigned, or a new one started for it; null when
// no thread could be had. Assign its WorkerAction and wake it with
// ZEVP_AssignWorkerAction.
ActionWorkerTaskEntry* ZEVP_AllocateActionWorkerTask(DCHcomm* connection, int32_t type, int32_t logActivity);

// Gives the assigned worker its action and wakes it.
void ZEVP_AssignWorkerAction(ActionWorkerTaskEntry* worker, ActionEntry* entry);

// Tells every worker of the anchor to end once it is idle (status AWshutdown).
// Statuses: a new worker reports ASSIGNED (it is made for an action), takes its
// action (WORKING), is IDLE once it gave it back; the allocator takes an IDLE one
// (ASSIGNED); AWshutdown is reached only from IDLE or WORKING.
void ZEVP_EndActionWorkers(DPAB* anchor);

// The body of a worker of every type but 3; own is the worker's process entry.
void ZEVP_ActionWorkerTask(ActionWorkerTaskEntry* worker, ProcessEntry* own);

// What every worker's body is made of, for the SNMP worker too. It reports its
// start first (failed: it then leaves the entry alone and ends), then waits for
// each action and gives it back, and at its end leaves the worker list, which
// frees its entry.
void ZEVP_ReportWorkerStart(ActionWorkerTaskEntry* worker, int failed);
// Waits until the worker has an action (its status then WORKING) or is told to end
// (null): by the automation server, or, once idle, by its process entry's
// termination flag.
ActionEntry* ZEVP_AwaitWorkerAction(ActionWorkerTaskEntry* worker, ProcessEntry* own);
// The action is done: marked finished and handed to the automation server, which
// resets it; the worker is idle again unless told to end. False when no automation
// server took it (it is held for one).
bool ZEVP_GiveActionBack(DPAB* anchor, ActionWorkerTaskEntry* worker, ActionEntry* entry);
// The worker is idle again (unless told to end) without its action, which lives on
// elsewhere (an SNMP start served by another worker).
void ZEVP_ReleaseWorkerAction(ActionWorkerTaskEntry* worker);

// True while a worker other than `except` holds the entry as its action.
bool ZEVP_ActionHeldByWorker(DPAB* anchor, const ActionEntry* entry, const ActionWorkerTaskEntry* except);
void ZEVP_LeaveWorkerList(DPAB* anchor, ActionWorkerTaskEntry* worker);
