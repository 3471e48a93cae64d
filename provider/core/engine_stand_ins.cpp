#include "engine_stand_ins.h"

#include "action_entry.h"
#include "action_worker.h"
#include "application_entry.h"
#include "dch_comm.h"
#include "dch_requests.h"
#include "dch_work_queue.h"
#include "dp_anchor.h"
#include "io_entry.h"
#include "trc1.h"
#include "zev/action_codes.h"
#include "zev0/storage.h"

TRC_UNIT();

namespace zevp::standin {

namespace {

void WaitForTermination(ProcessEntry* entry) {
  pthread_mutex_lock(&entry->mutex);
  while (entry->terminationFlag == 0) pthread_cond_wait(&entry->condition, &entry->mutex);
  pthread_mutex_unlock(&entry->mutex);
}

}  // namespace

void IdleUntilTerminated(ProcessEntry* entry) {
  DPAB* anchor = entry->anchor;
  WaitForTermination(entry);
  ZEVP_ReleaseProcessResources(anchor, entry);
  ZEVP_EndThread();
}

void UpdateMIBinteresToDCH(DPAB*) { TRC(TRC_ERROR, "***** MIB interest update not available"); }

void DoNoDataStatusReport(DPAB*) { TRC(TRC_ERROR, "***** no-data status report not available"); }

int LoadSNMPcommunityName() {
  TRC(TRC_ERROR, "***** SNMP community name file not available");
  return 0;
}

void UpdateMonitorNodeCommunity(DPAB*) { TRC(TRC_ERROR, "***** SNMP node communities not available"); }

int LoadSNMPNetworkName() {
  TRC(TRC_ERROR, "***** SNMP network name file not available");
  return 0;
}

void UpdateMonitorNetworkSymbolicName(DPAB*) { TRC(TRC_ERROR, "***** SNMP network names not available"); }

void FreeSNMPNameList() {}

char* LocateSNMPnodeCommunityName(uint32_t) { return nullptr; }

int LoadSNMPManagedNodeList(DPAB*, const char* file) {
  TRC(TRC_ERROR, "***** SNMP managed node list not available: %s not loaded", file);
  return 0;
}

void SNMPapplOnline(DPAB*, ApplicationEntry* application) {
  TRC(TRC_ERROR, "***** SNMP collection not available: application %s not started", application->ApplName);
}

void SNMPapplOffline(DPAB*, ApplicationEntry* application) {
  TRC(TRC_ERROR, "***** SNMP collection not available: application %s not taken offline", application->ApplName);
}

void StopSNMPcollection(SourceEntry* source) {
  TRC(TRC_ERROR, "***** SNMP collection not available: collection of source @%p not stopped",
      static_cast<void*>(source));
}

void SNMPWorkerTask(ActionWorkerTaskEntry* worker, ProcessEntry* own) {
  ZEVP_ReportWorkerStart(worker, 0);
  while (ActionEntry* entry = ZEVP_AwaitWorkerAction(worker, own)) {
    TRC(TRC_ERROR, "***** SNMP worker not available: action %s %u given back", entry->ActionName, entry->ActionID);
    ZEVP_GiveActionBack(own->anchor, worker, entry);
  }
  ZEVP_LeaveWorkerList(own->anchor, worker);
}

ActionEntry* AllocateAutoStartActionEntry(DPAB* anchor) {
  BSV1_GetLock(&anchor->actionListLock);
  ActionEntry* entry = ZEVP_AllocateActionEntry(anchor);
  if (entry != nullptr) {
    entry->ActionName = ZEVP_CopyActionText(ZEVP_SNMPSTARTGET, sizeof ZEVP_SNMPSTARTGET - 1);
    entry->ActionOwner = ZEVP_CopyActionText("SNMPAUTOINIT", 12);
    entry->ActionType = ZEV_ACTION_SNMP;
    entry->FieldCount = ZEVP_ACTION_FIELDS_REQUIRED;
    if (entry->ActionName == nullptr || entry->ActionOwner == nullptr) {
      ZEVP_ReleaseActionEntry(anchor, entry);
      entry = nullptr;
    }
  }
  BSV1_ReleaseLock(&anchor->actionListLock);
  return entry;
}

void DoAutoStartMIBmonitorTasks(DPAB*, const char* applicationName) {
  TRC(TRC_ERROR, "***** MIB interest file not available: no MIB collection started for %s",
      applicationName != nullptr ? applicationName : "any application");
}

char* LocateNetworkBySymbolicName(const char* symbolicName) {
  TRC(TRC_DETAIL, "No network symbolic names: %s not found", symbolicName);
  return nullptr;
}

namespace {

void notSupported(ActionEntry* entry) {
  TRC(TRC_ERROR, "***** Action %s not supported by this data provider", entry->ActionName);
  entry->ActionStatus = ZEV_ACTION_DP_NOSUPPORT;
}

}  // namespace

void ScheduleDPconfigurationRequest(DPAB*, ActionEntry* entry) { notSupported(entry); }

}  // namespace zevp::standin
