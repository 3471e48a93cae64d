#include "automation_server.h"

#include "action_entry.h"
#include "action_replies.h"
#include "action_worker.h"
#include "dp_anchor.h"
#include "engine_routines.h"
#include "process_entry.h"
#include "snmp_take_action.h"
#include "trc1.h"
#include "zev/action_codes.h"
#include "zev/dp_types.h"

TRC_UNIT();

namespace {

void appendTo(ActionEntry** head, ActionEntry* chain) {
  ActionEntry** link = head;
  while (*link != nullptr) link = &(*link)->QueueNext;
  *link = chain;
}

bool told(ProcessEntry* entry) { return entry->terminationFlag != 0; }

// Start-up configuration first (its applications are what actions are for), and
// the DCH client's link, through which workers answer.
void awaitStartConditions(DPAB* anchor, ProcessEntry* entry) {
  if (anchor->dpType != ZEV_DP_POST && anchor->dpType != ZEV_DP_HTTP)
    while (anchor->startupConfigDone == 0 && !told(entry)) BSV1_Sleep(1);
  while (anchor->dchLink.load() == nullptr && !told(entry)) BSV1_Sleep(1);
}

// Registered under the wait queue's lock, taking the wait queue over: an action
// enqueued meanwhile is in the one queue or the other.
void registerServer(DPAB* anchor, ProcessEntry* entry) {
  BSV1_GetLock(&anchor->heldActionLock);
  BSV1_GetLock(&entry->workQueueLock);
  auto* queue = static_cast<ActionEntry*>(entry->requestQueue);
  appendTo(&queue, anchor->heldActions);
  entry->requestQueue = queue;
  anchor->heldActions = nullptr;
  BSV1_ReleaseLock(&entry->workQueueLock);
  anchor->automationServerEntry = entry;
  BSV1_ReleaseLock(&anchor->heldActionLock);
}

// Whatever is still queued stays on the anchor's chain, which is freed with the anchor.
void deregisterServer(DPAB* anchor) {
  BSV1_GetLock(&anchor->heldActionLock);
  anchor->automationServerEntry = nullptr;
  BSV1_ReleaseLock(&anchor->heldActionLock);
}

ActionEntry* takeQueue(DPAB* anchor, ProcessEntry* entry) {
  BSV1_GetLock(&entry->workQueueLock);
  auto* chain = static_cast<ActionEntry*>(entry->requestQueue);
  entry->requestQueue = nullptr;
  BSV1_ReleaseLock(&entry->workQueueLock);
  if (chain != nullptr) return chain;
  BSV1_GetLock(&anchor->heldActionLock);
  chain = anchor->heldActions;
  anchor->heldActions = nullptr;
  BSV1_ReleaseLock(&anchor->heldActionLock);
  return chain;
}

bool queueEmpty(ProcessEntry* entry) {
  BSV1_GetLock(&entry->workQueueLock);
  bool empty = entry->requestQueue == nullptr;
  BSV1_ReleaseLock(&entry->workQueueLock);
  return empty;
}

// The predicate is tested under the mutex under which enqueues and shut-down signal.
void awaitWork(ProcessEntry* entry) {
  pthread_mutex_lock(&entry->mutex);
  while (queueEmpty(entry) && !told(entry)) pthread_cond_wait(&entry->condition, &entry->mutex);
  pthread_mutex_unlock(&entry->mutex);
}

struct Server {
  DPAB* anchor;
  ProcessEntry* entry;
  SourceEntry* reply;  // for the DP_ERROR of an action no worker could be had for
};

void refuse(const Server& server, ActionEntry* action) {
  TRC(TRC_ERROR, "***** No action worker for action %u, DP_ERROR returned", action->ActionID);
  action->ActionStatus = ZEV_ACTION_DP_ERROR;
  if (server.reply != nullptr) ZEVP_ReplyThroughDCHclient(server.anchor, server.entry, server.reply, action);
  ZEVP_ReleaseActionEntry(server.anchor, action);
}

void dispatch(const Server& server, ActionEntry* action) {
  DPAB* anchor = server.anchor;
  if (action->WorkState != ZEVP_ACTION_NEW) {
    if (action->WorkState != ZEVP_ACTION_FINISHED)
      TRC(TRC_ERROR, "***** invalid action work state %d, Action ignored", action->WorkState);
    ZEVP_ReleaseActionEntry(anchor, action);
    return;
  }
  if (ZEVP_CheckDuplicateActiveAction(anchor, action)) {
    ZEVP_ReleaseActionEntry(anchor, action);
    return;
  }
  if (anchor->dpType == ZEV_DP_SNMP) ZEVP_CheckSNMPtakeAction(anchor, action);
  ActionWorkerTaskEntry* worker = ZEVP_AllocateActionWorkerTask(anchor->dchLink.load(), action->ActionType, 1);
  if (worker == nullptr)
    refuse(server, action);
  else
    ZEVP_AssignWorkerAction(worker, action);
}

}  // namespace

int ZEVP_EnqueueActionToServer(DPAB* anchor, ActionEntry* entry) {
  entry->QueueNext = nullptr;
  BSV1_GetLock(&anchor->heldActionLock);
  ProcessEntry* server = anchor->automationServerEntry;
  if (server != nullptr) {
    BSV1_GetLock(&server->workQueueLock);
    auto* queue = static_cast<ActionEntry*>(server->requestQueue);
    appendTo(&queue, entry);
    server->requestQueue = queue;
    BSV1_ReleaseLock(&server->workQueueLock);
    // Under the wait queue's lock: the server cannot end and free its entry meanwhile.
    pthread_mutex_lock(&server->mutex);
    pthread_cond_signal(&server->condition);
    pthread_mutex_unlock(&server->mutex);
  } else {
    appendTo(&anchor->heldActions, entry);
    TRC(TRC_DETAIL, "Action %u held until the automation server runs", entry->ActionID);
  }
  BSV1_ReleaseLock(&anchor->heldActionLock);
  return server != nullptr ? 1 : 0;
}

void ZEVP_AutomationServer(ProcessEntry* entry) {
  DPAB* anchor = entry->anchor;
  TRC(TRC_DETAIL, ">>>>> Automation server started. Thread: %lX", entry->threadId.load());
  awaitStartConditions(anchor, entry);
  Server server{anchor, entry, ZEVP_NewActionReplySource(entry)};
  if (!told(entry)) {
    zevp::Routines().sendDPlogMessage(anchor, 59, nullptr, nullptr, nullptr, nullptr, nullptr);
    registerServer(anchor, entry);
    if (anchor->dpType == ZEV_DP_SNMP) zevp::Routines().doAutoStartMIBmonitorTasks(anchor, nullptr);
    for (;;) {
      for (ActionEntry* action = takeQueue(anchor, entry); action != nullptr;) {
        ActionEntry* next = action->QueueNext;
        action->QueueNext = nullptr;
        dispatch(server, action);
        action = next;
      }
      awaitWork(entry);
      if (told(entry)) break;
    }
    deregisterServer(anchor);
  }
  ZEVP_EndActionWorkers(anchor);
  ZEVP_FreeActionReplySource(anchor, &server.reply);
  TRC(TRC_DETAIL, ">>>>> Automation server ended. Thread: %lX", entry->threadId.load());
  ZEVP_ReleaseProcessResources(anchor, entry);
  ZEVP_EndThread();
}
