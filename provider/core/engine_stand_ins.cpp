#include "engine_stand_ins.h"

#include "application_entry.h"
#include "dch_comm.h"
#include "dch_message_parser.h"
#include "dch_requests.h"
#include "dch_work_queue.h"
#include "dp_anchor.h"
#include "dp_shutdown.h"
#include "io_entry.h"
#include "shutdown_request.h"
#include "trc1.h"
#include "url_management.h"
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

void HTTPmanagerTask(ProcessEntry* entry) {
  DPAB* anchor = entry->anchor;
  WaitForTermination(entry);
  // Before the entry goes: once the thread count falls, shut-down may free the anchor.
  zevp::ReleaseURLmanagement(anchor);
  ZEVP_ReleaseProcessResources(anchor, entry);
  ZEVP_EndThread();
}

int CheckDPalreadyActive(DPAB*) { return 0; }

sockaddr_in* ConstructTrapDestinationArray(const char*, int32_t* count) {
  if (count != nullptr) *count = 0;
  return nullptr;
}

StatisticBlock* InitializeStatisticBlock() { return nullptr; }

void ConsoleService(DPAB* anchor, ZEVP_ProcessRoutine) {
  WaitForShutdownRequest(anchor);
  ZEVP_ShutdownCleanUp(anchor, 1);
  anchor->shutdownFlag = 1;
}

void ProvideAction(DPAB*, const DCHactionMessage* action) {
  TRC(TRC_ERROR, "***** no automation server: DCH action %u dropped", action->actionID);
}

void OutputBatchDataRecord(SourceEntry* source) {
  TRC(TRC_ERROR, "***** no batch output: row of source @%p dropped", static_cast<void*>(source));
}

void ProvideActionReply(SourceEntry* source, DCHcomm* comm) {
  TRC(TRC_ERROR, "***** action replies not available: action of source @%p not answered", static_cast<void*>(source));
  ZEVP_SetDCHstatus(comm, ZEVP_DCH_SEND_FAILED);
}

void UpdateStatLogFileIO(int32_t, int32_t) {}

void ProcessSockRequestByState(DPAB* anchor, ProcessEntry* caller, IOEntry* partner, int, char*) {
  SourceEntry* source = partner != nullptr ? partner->Source : nullptr;
  if (source != nullptr && caller != nullptr && ZEVP_SourceStateOf(source) == ZEVP_Inactive) {
    Routines().queueAndWaitDCHstatus(anchor, caller, source);
    return;
  }
  TRC(TRC_ERROR, "***** socket request state machine not available: partner @%p left as it is",
      static_cast<void*>(partner));
}

void UpdateMIBinteresToDCH(DPAB*) { TRC(TRC_ERROR, "***** MIB interest update not available"); }

void DoNoDataStatusReport(DPAB*) { TRC(TRC_ERROR, "***** no-data status report not available"); }

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

void CloseBatchOutputFile(ApplicationEntry*) {}

}  // namespace zevp::standin
