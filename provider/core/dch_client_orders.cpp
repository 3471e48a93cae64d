#include "dch_client_orders.h"

#include <cstring>

#include "application_entry.h"
#include "bsv1.h"
#include "dch_comm.h"
#include "dch_requests.h"
#include "dch_transport_table.h"
#include "dch_work_queue.h"
#include "delayed_offline.h"
#include "dp_anchor.h"
#include "engine_routines.h"
#include "model_release.h"
#include "process_entry.h"
#include "table_entry.h"
#include "trc1.h"

TRC_UNIT();

namespace {

// Built-in log application: its sources take no rule actions.
constexpr char kDPlogApplication[] = "DVAgent";

int64_t Now() {
  BSV1_Time now;
  BSV1_GetTime(&now);
  return now.seconds;
}

const char* nodeName(const SourceEntry* source) {
  return source->pSourceNodeName != nullptr ? source->pSourceNodeName : "";
}

int32_t connectionState(DCHcomm* comm) {
  BSV1_GetLock(&comm->SendLock);
  int32_t state = comm->ConnectionState;
  BSV1_ReleaseLock(&comm->SendLock);
  return state;
}

// A registration that got through over UDP: TCP may be there by now.
void retryTCP(DCHclientWork& work) {
  if (connectionState(work.comm) != ZEVP_DCH_OVER_UDP) return;
  if (work.anchor->transport->waitDCHcomeOnline != nullptr) work.anchor->transport->waitDCHcomeOnline(work.comm);
  BSV1_GetLock(&work.comm->SendLock);
  if (work.comm->ConnectionState == ZEVP_DCH_OVER_UDP) work.comm->ConnectionState = ZEVP_DCH_UDP_CONFIRMED;
  BSV1_ReleaseLock(&work.comm->SendLock);
}

// Every source of every group of the application takes the state.
void setApplicationState(ApplicationEntry* application, int32_t state) {
  BSV1_GetLock(&application->TableListLock);
  for (TableEntry* table = application->FirstTable; table != nullptr; table = table->next) {
    BSV1_GetLock(&table->SourceListLock);
    for (SourceEntry* source = table->FirstSource; source != nullptr; source = source->next)
      ZEVP_UpdateSourceEntryState(source, state);
    BSV1_ReleaseLock(&table->SourceListLock);
  }
  BSV1_ReleaseLock(&application->TableListLock);
}

bool doRegister(DCHclientWork& work, SourceEntry* source) {
  TRC(TRC_DETAIL, ">>> Process DP register");
  ZEVP_DoDPregister(source, work.comm);
  int32_t status = ZEVP_DCHstatusOf(work.comm);
  int32_t state;
  switch (status) {
    case 0:
      state = ZEVP_Ready;
      TRC(TRC_DETAIL, ">>>>> dp_register completed");
      retryTCP(work);
      break;
    case 1:
      state = ZEVP_Register;
      TRC(TRC_DETAIL, ">>>>> dp_register completed. Application already known to DCH");
      break;
    case ZEVP_DCH_TIMED_OUT:
      state = ZEVP_Pending;
      TRC(TRC_DETAIL, ">>>>> dp_register deferred");
      break;
    default:
      state = ZEVP_Initial;
      TRC(TRC_ERROR, "*** dp_register failed. status %d", status);
      break;
  }
  if (source->Table == nullptr || source->Table->Application == nullptr) {
    ZEVP_UpdateSourceEntryState(source, state);
    work.reRegister = false;
    return false;
  }
  ApplicationEntry* application = source->Table->Application;
  if (state == ZEVP_Ready) ZEVP_ReleaseApplGroupHelp(application);
  setApplicationState(application, state);
  if (!work.reRegister) return false;
  work.reRegister = false;
  return true;
}

// A wait-for-action that fails does not stop the online request.
void waitForAction(DCHclientWork& work, SourceEntry* source, int type, const char* enabled, const char* failed) {
  ZEVP_DoDPwaitForAction(source, work.comm, type);
  if (ZEVP_DCHstatusOf(work.comm) == 0) {
    TRC(TRC_DETAIL, enabled, nodeName(source));
  } else {
    TRC(TRC_ERROR, failed, nodeName(source));
    ZEVP_SetDCHstatus(work.comm, 0);
  }
}

bool isDPlogApplication(const SourceEntry* source) {
  return source->Table != nullptr && source->Table->Application != nullptr &&
         std::strncmp(source->Table->Application->ApplName, kDPlogApplication, sizeof kDPlogApplication - 1) == 0;
}

bool doOnline(DCHclientWork& work, SourceEntry* source) {
  TRC(TRC_DETAIL, ">>> Process DP online");
  if (source->Table != nullptr && source->Table->TTL > 0 && ZEVP_TakeBackDelayedOffline(work.anchor, source)) {
    TRC(TRC_DETAIL, ">>>>>dp_online bypassed. Data TTL has not expired");
    ZEVP_UpdateSourceEntryState(source, ZEVP_Active);
    return false;
  }
  waitForAction(work, source, ZEVP_ACTION_AUTOMATION, "Automation enabled for subnode %s",
                "*** Automation unable for subnode %s. DCH API failed");
  if (source->SourceType == ZEVP_SOURCE_SNMP)
    waitForAction(work, source, ZEVP_ACTION_SNMP, "SNMP Rule enabled for subnode %s",
                  "*** SNMP Rule not enabled for subnode %s. DCH API failed");
  if (source->SourceType == ZEVP_SOURCE_BASE && !isDPlogApplication(source))
    waitForAction(work, source, ZEVP_ACTION_RULE, "Rule enabled for subnode %s",
                  "*** Rule not enabled for subnode %s. DCH API failed");
  ZEVP_DoDPonline(source, work.comm);
  int32_t status = ZEVP_DCHstatusOf(work.comm);
  if (status != 0) {
    TRC(TRC_ERROR, "*** dp_online failed. status %d", status);
    if (status != 4) return false;
    TRC(TRC_DETAIL, ">>>>>redrive dp_register");
    ZEVP_UpdateSourceEntryState(source, ZEVP_Register);
    work.reRegister = true;
    return true;
  }
  ZEVP_UpdateSourceEntryState(source, ZEVP_Active);
  TRC(TRC_DETAIL, ">>>>> dp_online completed");
  BSV1_Sleep(1);
  if (!work.redriveData) return false;
  TRC(TRC_DETAIL, ">>>>>redrive dp_data that initiated reconnection");
  ZEVP_UpdateSourceEntryState(source, ZEVP_Output);
  work.redriveData = false;
  return true;
}

bool doData(DCHclientWork& work, SourceEntry* source) {
  TRC(TRC_DETAIL, ">>> Process DP data");
  if (source->Summary != nullptr) {
    zevp::Routines().performDataSummaryOutput(source, work.comm);
  } else {
    TRC(TRC_DETAIL, ">>> Calling ZEVP_DoDPdata with currSEptr @%p", static_cast<void*>(source));
    ZEVP_DoDPdata(source, work.comm);
  }
  int32_t status = ZEVP_DCHstatusOf(work.comm);
  switch (status) {
    case 0:
      ZEVP_UpdateSourceEntryState(source, ZEVP_Active);
      TRC(TRC_DETAIL, "dp_data completed");
      if (source->Table != nullptr && source->Table->TTL > 0) source->DataExpiryTime = Now() + source->Table->TTL;
      return false;
    case ZEVP_DCH_TIMED_OUT:
      ZEVP_UpdateSourceEntryState(source, ZEVP_Inactive);
      TRC(TRC_ERROR, "*** dp_data failed. DCH request timed out");
      return false;
    case 2:
      ZEVP_UpdateSourceEntryState(source, ZEVP_Ready);
      TRC(TRC_ERROR, "*** dp_data failed. DCH synchronization required");
      work.redriveData = true;
      return true;
    default:
      TRC(TRC_ERROR, "*** dp_data failed. status %d", status);
      return false;
  }
}

void doActionReply(DCHclientWork& work, SourceEntry* source) {
  TRC(TRC_DETAIL, ">>> Process DP activity reply");
  zevp::Routines().provideActionReply(source, work.comm);
  ZEVP_UpdateSourceEntryState(source, ZEVP_Action);
}

void doOffline(DCHclientWork& work, SourceEntry* source) {
  TRC(TRC_DETAIL, ">>> Process DP offline");
  bool immediate = source->ImmediateOffline != 0 || source->SourceType == ZEVP_SOURCE_FILE ||
                   work.entry->terminationFlag == 1 || Now() >= source->DataExpiryTime;
  if (!immediate && ZEVP_PostponeOffline(work.anchor, source)) {
    ZEVP_UpdateSourceEntryState(source, ZEVP_Ready);
    return;
  }
  ZEVP_DoDPoffline(source, work.comm);
  ZEVP_UpdateSourceEntryState(source, ZEVP_Ready);
  TRC(TRC_DETAIL, "dp_offline completed");
  if (source->CopiedFrom != nullptr) work.releaseCopy = true;
}

SourceEntry* lockUnlessRegistration(SourceEntry* source) {
  if (ZEVP_SourceStateOf(source) == ZEVP_Register) return nullptr;
  BSV1_GetLock(&source->EntryLock);
  return source;
}

}  // namespace

DCHorderHeld::DCHorderHeld(SourceEntry* source, DCHcomm* comm)
    : locked_(lockUnlessRegistration(source)), status_(comm) {}

DCHorderHeld::~DCHorderHeld() {
  if (locked_ != nullptr) BSV1_ReleaseLock(&locked_->EntryLock);
}

void ZEVP_UnregisterThroughSource(DCHclientWork& work, SourceEntry* source) {
  TRC(TRC_DETAIL, ">>> Process DP unregister");
  if (source->Table != nullptr && source->Table->Application != nullptr) {
    while (SourceEntry* copy = ZEVP_TakeDelayedOfflineOfApplication(work.anchor, source->Table->Application)) {
      ZEVP_DoDPoffline(copy, work.comm);
      TRC(TRC_STORAGE, "Freeing Source entry @%p", static_cast<void*>(copy));
      ZEVP_ReleaseOfflineCopy(work.anchor, &copy);
    }
  }
  ZEVP_DoDPunregister(source, work.comm);
  ZEVP_UpdateSourceEntryState(source, ZEVP_Initial);
  TRC(TRC_DETAIL, "dp_unregister completed");
}

bool ZEVP_PerformDCHorder(DCHclientWork& work, SourceEntry* source) {
  switch (ZEVP_SourceStateOf(source)) {
    case ZEVP_Initial:
      TRC(TRC_ERROR, "*** Logic error. Source in Initial state, ignored");
      return false;
    case ZEVP_Register:
      return doRegister(work, source);
    case ZEVP_Ready:
      return doOnline(work, source);
    case ZEVP_Active:
      TRC(TRC_ERROR, "*** Logic error. Source in Active state, ignored");
      return false;
    case ZEVP_Input:
      TRC(TRC_ERROR, "*** Logic error. Source in Input state, ignored");
      return false;
    case ZEVP_Output:
      return doData(work, source);
    case ZEVP_Action:
      TRC(TRC_ERROR, "*** Logic error. Source in Action state, ignored");
      return false;
    case ZEVP_Reply:
      doActionReply(work, source);
      return false;
    case ZEVP_Inactive:
      doOffline(work, source);
      return false;
    case ZEVP_Unregister:
      ZEVP_UnregisterThroughSource(work, source);
      return false;
    default:
      TRC(TRC_ERROR, "*** Invalid source state %d, ignored", ZEVP_SourceStateOf(source));
      return false;
  }
}
