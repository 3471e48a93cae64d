#include "snmp_worker_task.h"

#include <cstring>
#include <new>

#include "action_entry.h"
#include "action_perform.h"
#include "action_replies.h"
#include "action_worker.h"
#include "attribute_entry.h"
#include "automation_server.h"
#include "dp_anchor.h"
#include "mib_collection.h"
#include "mib_status_rows.h"
#include "mib_table_monitor.h"
#include "model_lookups.h"
#include "monitor_node_list.h"
#include "network_manage_entry.h"
#include "process_entry.h"
#include "snmp_set_request.h"
#include "snmp_worker_extension.h"
#include "trc1.h"
#include "zev/action_codes.h"
#include "zev0/storage.h"

TRC_UNIT();

namespace {

constexpr char kAutoStartOwner[] = "SNMPAUTOINIT";
constexpr int32_t kStatusRefused = 3;
constexpr int32_t kStatusNotQueued = 4;
constexpr int32_t kStatusSetProblem = 9;
constexpr int32_t kTextStarted = 20;
constexpr int32_t kTextStopped = 21;
constexpr int32_t kTextManageStarted = 22;
constexpr int32_t kTextManageStopped = 23;
constexpr int32_t kTextAttributeNotFound = 25;
constexpr int32_t kTextNotScalar = 26;

bool named(const ActionEntry* action, const char* name) {
  return action->ActionName != nullptr && std::strcmp(action->ActionName, name) == 0;
}

SNMPWorkerTaskExtension* newExtension() {
  void* storage = ZEV0_GetStorage(sizeof(SNMPWorkerTaskExtension));
  if (storage == nullptr) return nullptr;
  std::memset(storage, 0, sizeof(SNMPWorkerTaskExtension));
  auto* extension = static_cast<SNMPWorkerTaskExtension*>(storage);
  extension->interval = ZEVP_NO_INTERVAL_YET;
  std::memset(extension->lastSampleTime, '0', ZEV0_PLOVEN_TIME_BLOCK_SIZE - 1);
  extension->interestChanged = 1;
  BSV1_InitializeLock(&extension->nodeListLock);
  BSV1_InitializeLock(&extension->intervalLock);
  return extension;
}

void clearAgents(SNMPWorkerTaskExtension* extension) {
  BSV1_GetLock(&extension->nodeListLock);
  while (SNMPMonitorNodeEntry* node = extension->nodes) {
    extension->nodes = node->next;
    zevp::FreeMonitorNode(node);
  }
  ZEV0_FreeStorage(&extension->agentInfo);
  BSV1_ReleaseLock(&extension->nodeListLock);
}

// Under the worker-list lock, which a joining start holds while it looks for its
// collector: the group is gone before any start can find it.
void resetExtension(DPAB* anchor, SNMPWorkerTaskExtension* extension) {
  BSV1_GetLock(&anchor->actionWorkerListLock);
  BSV1_GetLock(&extension->intervalLock);
  extension->interestCount = 0;
  extension->interval = ZEVP_NO_INTERVAL_YET;
  extension->action = nullptr;
  extension->application = nullptr;
  extension->table = nullptr;
  extension->collectionStopped = 0;
  BSV1_ReleaseLock(&extension->intervalLock);
  BSV1_ReleaseLock(&anchor->actionWorkerListLock);
  clearAgents(extension);
  std::memset(extension->lastSampleTime, '0', ZEV0_PLOVEN_TIME_BLOCK_SIZE - 1);
}

void freeExtension(DPAB* anchor, ActionWorkerTaskEntry* worker) {
  SNMPWorkerTaskExtension* extension = zevp::WithdrawSNMPworkerExtension(anchor, worker);
  if (extension == nullptr) return;
  clearAgents(extension);
  BSV1_DestroyLock(&extension->nodeListLock);
  BSV1_DestroyLock(&extension->intervalLock);
  ZEV0_FreeStorage(&extension);
}

void setAttribute(DPAB* anchor, ActionEntry* action) {
  AttributeEntry* attribute = ZEVP_LocateSetAttribute(anchor, action->ActionParm);
  if (attribute == nullptr) {
    action->ActionStatus = kStatusSetProblem;
    ZEVP_SetActionResultText(action, kTextAttributeNotFound);
  } else if (attribute->AttrOID == nullptr) {
    action->ActionStatus = kStatusSetProblem;
    ZEVP_SetActionResultText(action, kTextNotScalar);
  } else {
    ZEVP_DoSNMPsetRequest(action, attribute);
  }
}

void manageNetwork(DPAB* anchor, ActionEntry* action) {
  NetworkManageEntry* request = action->NetworkManage;
  // Once queued, the request is the server's, which may free it at once.
  const bool start = request != nullptr && request->ManageAction == ZEVP_MANAGE_START;
  if (request == nullptr || ZEVP_EnqueueNetManageToServer(anchor, request) == 0) {
    TRC(TRC_ERROR, "Enqueue network manage request unsuccessful");
    action->ActionStatus = kStatusNotQueued;
    return;
  }
  action->NetworkManage = nullptr;
  action->ActionStatus = 0;
  ZEVP_SetActionResultText(action, start ? kTextManageStarted : kTextManageStopped);
}

struct Worker {
  DPAB* anchor;
  ActionWorkerTaskEntry* block;
  ProcessEntry* own;
  SourceEntry* reply;
};

// An operator's start is answered at once when it is taken (its collection runs on),
// and with the reason when it is refused or starts nothing.
void start(const Worker& w, ActionEntry* action) {
  const int collects = ZEVP_SNMPstartGetProcess(w.anchor, action, w.block);
  if (action->SnmpRequest != 0) {
    if (action->ActionStatus == ZEV_ACTION_SUCCESS) {
      ZEVP_SetActionResultText(action, kTextStarted);
      if (collects == 1 || w.block->WorkerExtension->startHandedOver != 0)
        ZEVP_PostSNMPactionResult(w.anchor, w.own, w.reply, action);
    } else {
      ZEVP_LogActionCompletion(w.anchor, w.block, action);
    }
  }
  if (collects == 1) ZEVP_SNMPmonitorMIBtable(w.anchor, w.block, w.own);
}

void perform(const Worker& w, ActionEntry* action) {
  if (action->FieldCount != ZEVP_ACTION_FIELDS_REQUIRED) {
    TRC(TRC_ERROR, "***** not all required action fields received. Action failed");
    action->ActionStatus = kStatusRefused;
    return;
  }
  // Only an action refused before it came here has a status of its own.
  if (action->ActionStatus != ZEV_ACTION_SUCCESS && action->ActionStatus != ZEV_ACTION_STATUS_UNKNOWN) return;
  action->ActionStatus = ZEV_ACTION_SUCCESS;
  if (named(action, "SNMPSET")) {
    setAttribute(w.anchor, action);
  } else if (named(action, "SNMPMANAGE")) {
    manageNetwork(w.anchor, action);
  } else if (named(action, ZEVP_SNMPSTARTGET)) {
    start(w, action);
  } else if (named(action, "SNMPSTOPGET")) {
    action->ActionStatus = 0;
    if (action->SnmpRequest != 0) {
      ZEVP_SNMPstopGetSpecial(w.anchor, action);
      if (action->ActionStatus == 0) ZEVP_SetActionResultText(action, kTextStopped);
    } else {
      ZEVP_SNMPstopGetProcess(w.anchor, action, w.own, w.reply);
    }
  } else {
    TRC(TRC_ERROR, "***** unrecognized SNMP action request <%s>",
        action->ActionName != nullptr ? action->ActionName : "");
    action->ActionStatus = kStatusRefused;
  }
}

// False when the action could not be handed back to the automation server: the
// worker then ends.
bool complete(const Worker& w, ActionEntry* action) {
  SNMPWorkerTaskExtension* extension = w.block->WorkerExtension;
  const bool handedOver = extension->startHandedOver != 0;
  extension->startHandedOver = 0;
  if (w.block->ActionWorkerStatus != AWshutdown) resetExtension(w.anchor, extension);
  // A start that joined another collector stays with it until it is stopped.
  if (handedOver) {
    ZEVP_ReleaseWorkerAction(w.block);
    return true;
  }
  ZEVP_PostSNMPactionResult(w.anchor, w.own, w.reply, action);
  if (ZEVP_GiveActionBack(w.anchor, w.block, action)) return true;
  TRC(TRC_ERROR, "*****SNMP worker task ends: action %u not handed back to a running automation server",
      action->ActionID);
  return false;
}

}  // namespace

void ZEVP_WakeSNMPcollector(ActionWorkerTaskEntry* worker) {
  pthread_mutex_lock(&worker->WorkerMutex);
  if (worker->WorkerExtension != nullptr) worker->WorkerExtension->wakeRequested = 1;
  pthread_cond_signal(&worker->WorkerCondition);
  pthread_mutex_unlock(&worker->WorkerMutex);
}

void ZEVP_PostSNMPactionResult(DPAB* anchor, ProcessEntry* own, SourceEntry* reply, ActionEntry* action) {
  if (action->ActionOwner != nullptr && std::strcmp(action->ActionOwner, kAutoStartOwner) == 0) return;
  TRC(TRC_DETAIL, "Posting action result to DCH");
  ZEVP_ReplyThroughDCHclient(anchor, own, reply, action);
}

void ZEVP_SNMPWorkerTask(ActionWorkerTaskEntry* worker, ProcessEntry* own) {
  DPAB* anchor = own->anchor;
  Worker w{anchor, worker, own, ZEVP_NewActionReplySource(own)};
  worker->WorkerExtension = newExtension();
  if (w.reply == nullptr || worker->WorkerExtension == nullptr) {
    TRC(TRC_ERROR, "***** Unable to obtain storage for the SNMP worker task");
    freeExtension(anchor, worker);
    ZEVP_FreeActionReplySource(anchor, &w.reply);
    ZEVP_ReportWorkerStart(worker, 1);
    return;
  }
  ZEVP_ReportWorkerStart(worker, 0);
  while (ActionEntry* action = ZEVP_AwaitWorkerAction(worker, own)) {
    perform(w, action);
    if (!complete(w, action)) break;
  }
  ZEVP_FreeActionReplySource(anchor, &w.reply);
  freeExtension(anchor, worker);
  ZEVP_LeaveWorkerList(anchor, worker);
}
