#include "action_worker.h"

#include <cerrno>
#include <new>

#include "action_entry.h"
#include "action_perform.h"
#include "action_replies.h"
#include "automation_server.h"
#include "dch_comm.h"
#include "dp_anchor.h"
#include "engine_routines.h"
#include "process_entry.h"
#include "trc1.h"
#include "zev/action_codes.h"
#include "zev0/storage.h"
#include "zev0/threads.h"

TRC_UNIT();

namespace {

// How often an idle worker looks at its process entry's termination flag.
constexpr int kEndLookSeconds = 1;

bool changeStatus(ActionWorkerTaskEntry* worker, int32_t from, int32_t to) {
  return worker->ActionWorkerStatus.compare_exchange_strong(from, to);
}

// The thread of every worker: the body of its type, then the end of its entry.
void runWorker(ProcessEntry* own) {
  auto* worker = static_cast<ActionWorkerTaskEntry*>(own->parameter);
  DPAB* anchor = own->anchor;
  if (worker->ActionWorkerType == ZEV_ACTION_SNMP)
    zevp::Routines().snmpWorkerTask(worker, own);
  else
    ZEVP_ActionWorkerTask(worker, own);
  ZEVP_ReleaseProcessResources(anchor, own);
  ZEVP_EndThread();
}

ActionWorkerTaskEntry* newWorker(DCHcomm* connection, int32_t type, int32_t logActivity) {
  void* storage = ZEV0_GetStorage(sizeof(ActionWorkerTaskEntry));
  if (storage == nullptr) {
    TRC(TRC_ERROR, "***** Unable to obtain storage for ActionWorkerTaskEntry");
    return nullptr;
  }
  auto* worker = new (storage) ActionWorkerTaskEntry();
  worker->NextWorker = nullptr;
  worker->DCHconnection = connection;
  worker->ActionWorkerType = type;
  worker->WorkerAction = nullptr;
  worker->WorkerExtension = nullptr;
  worker->LogActivity = logActivity;
  ZEV0_InitializeMutex(&worker->WorkerMutex);
  ZEV0_InitializeCondVar(&worker->WorkerCondition);
  BSV1_InitializeLock(&worker->WorkerLock);
  return worker;
}

void freeWorker(ActionWorkerTaskEntry* worker) {
  pthread_mutex_destroy(&worker->WorkerMutex);
  pthread_cond_destroy(&worker->WorkerCondition);
  BSV1_DestroyLock(&worker->WorkerLock);
  worker->~ActionWorkerTaskEntry();
  ZEV0_FreeStorage(&worker);
}

ActionWorkerTaskEntry* takeIdleWorker(DPAB* anchor, int32_t type) {
  BSV1_GetLock(&anchor->actionWorkerListLock);
  ActionWorkerTaskEntry* found = nullptr;
  for (ActionWorkerTaskEntry* worker = anchor->actionWorkers; worker != nullptr && found == nullptr;
       worker = worker->NextWorker) {
    if (worker->ActionWorkerType == type && changeStatus(worker, ZEVP_WORKER_IDLE, ZEVP_WORKER_ASSIGNED))
      found = worker;
  }
  BSV1_ReleaseLock(&anchor->actionWorkerListLock);
  return found;
}

// Starts the worker's thread and waits for its first word: assigned (a new worker
// is born for the action it was made for, so it cannot end before that action
// comes), or AWshutdown when it could not set itself up (it then leaves the entry
// to this caller).
bool startWorker(DPAB* anchor, ActionWorkerTaskEntry* worker) {
  pthread_mutex_lock(&worker->WorkerMutex);
  if (!ZEVP_CreateProcess(anchor, -1, worker, runWorker, 0, nullptr)) {
    TRC(TRC_ERROR, "***** Action Worker task creation failed. Errno %d", errno);
    pthread_mutex_unlock(&worker->WorkerMutex);
    return false;
  }
  while (worker->ActionWorkerStatus == ZEVP_WORKER_STARTING)
    pthread_cond_wait(&worker->WorkerCondition, &worker->WorkerMutex);
  bool started = worker->ActionWorkerStatus != AWshutdown;
  pthread_mutex_unlock(&worker->WorkerMutex);
  if (!started) TRC(TRC_ERROR, "***** Action Worker task of type %d could not start", worker->ActionWorkerType);
  return started;
}

void appendToWorkerList(DPAB* anchor, ActionWorkerTaskEntry* worker) {
  BSV1_GetLock(&worker->WorkerLock);
  BSV1_GetLock(&anchor->actionWorkerListLock);
  ActionWorkerTaskEntry** link = &anchor->actionWorkers;
  while (*link != nullptr) link = &(*link)->NextWorker;
  *link = worker;
  BSV1_ReleaseLock(&anchor->actionWorkerListLock);
  BSV1_ReleaseLock(&worker->WorkerLock);
}

}  // namespace

ActionWorkerTaskEntry* ZEVP_AllocateActionWorkerTask(DCHcomm* connection, int32_t type, int32_t logActivity) {
  if (connection == nullptr || connection->Anchor == nullptr) {
    TRC(TRC_ERROR, "***** No DCH connection for an action worker of type %d", type);
    return nullptr;
  }
  DPAB* anchor = connection->Anchor;
  if (ActionWorkerTaskEntry* idle = takeIdleWorker(anchor, type)) {
    TRC(TRC_DETAIL, "Action worker @%p of type %d reused", static_cast<void*>(idle), type);
    return idle;
  }
  ActionWorkerTaskEntry* worker = newWorker(connection, type, logActivity);
  if (worker == nullptr) return nullptr;
  if (!startWorker(anchor, worker)) {
    freeWorker(worker);
    return nullptr;
  }
  appendToWorkerList(anchor, worker);
  TRC(TRC_DETAIL, "Action worker @%p of type %d started", static_cast<void*>(worker), type);
  return worker;
}

void ZEVP_AssignWorkerAction(ActionWorkerTaskEntry* worker, ActionEntry* entry) {
  pthread_mutex_lock(&worker->WorkerMutex);
  worker->WorkerAction = entry;
  pthread_cond_signal(&worker->WorkerCondition);
  pthread_mutex_unlock(&worker->WorkerMutex);
}

// An assigned worker is left alone: its action comes, and after it the worker ends
// on its own termination flag.
void ZEVP_EndActionWorkers(DPAB* anchor) {
  BSV1_GetLock(&anchor->actionWorkerListLock);
  for (ActionWorkerTaskEntry* worker = anchor->actionWorkers; worker != nullptr; worker = worker->NextWorker) {
    pthread_mutex_lock(&worker->WorkerMutex);
    if (!changeStatus(worker, ZEVP_WORKER_IDLE, AWshutdown)) changeStatus(worker, ZEVP_WORKER_WORKING, AWshutdown);
    pthread_cond_signal(&worker->WorkerCondition);
    pthread_mutex_unlock(&worker->WorkerMutex);
  }
  BSV1_ReleaseLock(&anchor->actionWorkerListLock);
}

void ZEVP_ReportWorkerStart(ActionWorkerTaskEntry* worker, int failed) {
  pthread_mutex_lock(&worker->WorkerMutex);
  worker->ActionWorkerStatus = failed != 0 ? AWshutdown : ZEVP_WORKER_ASSIGNED;
  pthread_cond_broadcast(&worker->WorkerCondition);
  pthread_mutex_unlock(&worker->WorkerMutex);
}

void ZEVP_LeaveWorkerList(DPAB* anchor, ActionWorkerTaskEntry* worker) {
  BSV1_GetLock(&anchor->actionWorkerListLock);
  for (ActionWorkerTaskEntry** link = &anchor->actionWorkers; *link != nullptr; link = &(*link)->NextWorker) {
    if (*link != worker) continue;
    *link = worker->NextWorker;
    break;
  }
  BSV1_ReleaseLock(&anchor->actionWorkerListLock);
  TRC(TRC_DETAIL, "Action worker @%p of type %d ended", static_cast<void*>(worker), worker->ActionWorkerType);
  freeWorker(worker);
}

// An action given is done before an end is heeded. Told to end by shut-down, an
// idle worker retires (idle to AWshutdown, which no allocator can then take); it
// looks every second, for shut-down signals its process entry, not this condition.
ActionEntry* ZEVP_AwaitWorkerAction(ActionWorkerTaskEntry* worker, ProcessEntry* own) {
  pthread_mutex_lock(&worker->WorkerMutex);
  ActionEntry* entry = nullptr;
  for (;;) {
    entry = worker->WorkerAction;
    if (entry != nullptr) {
      worker->ActionWorkerStatus = ZEVP_WORKER_WORKING;
      break;
    }
    if (worker->ActionWorkerStatus == AWshutdown) break;
    if (own->terminationFlag != 0 && changeStatus(worker, ZEVP_WORKER_IDLE, AWshutdown)) break;
    ZEV0_ConditionTimedWait(&worker->WorkerCondition, &worker->WorkerMutex, kEndLookSeconds);
  }
  pthread_mutex_unlock(&worker->WorkerMutex);
  return entry;
}

bool ZEVP_GiveActionBack(DPAB* anchor, ActionWorkerTaskEntry* worker, ActionEntry* entry) {
  // Under the list's lock, under which the SNMP collectors look for the starts they serve.
  BSV1_GetLock(&anchor->actionListLock);
  entry->WorkState = ZEVP_ACTION_FINISHED;
  entry->WorkerTask = nullptr;
  BSV1_ReleaseLock(&anchor->actionListLock);
  TRC(TRC_DETAIL, "Action %u finished by worker @%p, status %d", entry->ActionID, static_cast<void*>(worker),
      entry->ActionStatus);
  ZEVP_ReleaseWorkerAction(worker);
  return ZEVP_EnqueueActionToServer(anchor, entry) == 1;
}

void ZEVP_ReleaseWorkerAction(ActionWorkerTaskEntry* worker) {
  pthread_mutex_lock(&worker->WorkerMutex);
  worker->WorkerAction = nullptr;
  changeStatus(worker, ZEVP_WORKER_WORKING, ZEVP_WORKER_IDLE);
  pthread_mutex_unlock(&worker->WorkerMutex);
}

bool ZEVP_ActionHeldByWorker(DPAB* anchor, const ActionEntry* entry, const ActionWorkerTaskEntry* except) {
  bool held = false;
  BSV1_GetLock(&anchor->actionWorkerListLock);
  for (ActionWorkerTaskEntry* worker = anchor->actionWorkers; worker != nullptr && !held; worker = worker->NextWorker) {
    if (worker == except) continue;
    pthread_mutex_lock(&worker->WorkerMutex);
    held = worker->WorkerAction == entry;
    pthread_mutex_unlock(&worker->WorkerMutex);
  }
  BSV1_ReleaseLock(&anchor->actionWorkerListLock);
  return held;
}

void ZEVP_ActionWorkerTask(ActionWorkerTaskEntry* worker, ProcessEntry* own) {
  DPAB* anchor = own->anchor;
  SourceEntry* reply = ZEVP_NewActionReplySource(own);
  ZEVP_ReportWorkerStart(worker, reply == nullptr ? 1 : 0);
  if (reply == nullptr) return;  // the allocator frees the entry
  while (ActionEntry* entry = ZEVP_AwaitWorkerAction(worker, own)) {
    ZEVP_PerformAction(worker, own, entry);
    if (entry->ActionType == ZEV_ACTION_AUTOMATION) ZEVP_ReplyThroughDCHclient(anchor, own, reply, entry);
    ZEVP_GiveActionBack(anchor, worker, entry);
  }
  ZEVP_FreeActionReplySource(anchor, &reply);
  ZEVP_LeaveWorkerList(anchor, worker);
}
