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

char* LocateNetworkBySymbolicName(const char* symbolicName) {
  TRC(TRC_DETAIL, "No network symbolic names: %s not found", symbolicName);
  return nullptr;
}

uint32_t KnownNetworkMask(uint32_t) { return 0; }

namespace {

void notSupported(ActionEntry* entry) {
  TRC(TRC_ERROR, "***** Action %s not supported by this data provider", entry->ActionName);
  entry->ActionStatus = ZEV_ACTION_DP_NOSUPPORT;
}

}  // namespace

void ScheduleDPconfigurationRequest(DPAB*, ActionEntry* entry) { notSupported(entry); }

}  // namespace zevp::standin
