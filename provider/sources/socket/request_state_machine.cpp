#include "request_state_machine.h"

#include "action_hand_over.h"
#include "api_request.h"
#include "application_entry.h"
#include "dch_work_queue.h"
#include "engine_routines.h"
#include "io_entry.h"
#include "partner_records.h"
#include "partner_replies.h"
#include "partner_sources.h"
#include "socket_log_numbers.h"
#include "source_entry.h"
#include "statistics.h"
#include "table_entry.h"
#include "trc1.h"
#include "zev0/storage.h"

TRC_UNIT();

namespace zevp {

namespace {

constexpr int32_t kOnlineRecordLength = 1600;

const char* stateText(int32_t state) {
  const char* name = ZEVP_SourceStateName(state);
  return name != nullptr ? name : "?";
}

void wrongState(PartnerRequest& request, const char* format, int32_t state) {
  TRC(TRC_ERROR, format, stateText(state));
  request.status = ZEVP_API_WRONG_STATE;
}

void invalidState(PartnerRequest& request, int32_t state) {
  TRC(TRC_ERROR, "*** Invalid source state value: %d, ignored", state);
  request.status = ZEVP_API_WRONG_STATE;
}

void setState(SourceEntry* source, int32_t state) { Routines().updateSourceEntryState(source, state); }

// A partner without a connection leaves the read set; a connection stays in it, so
// that its end is seen.
void dropFromReadSet(IOEntry* partner) {
  BSV1_GetLock(&partner->Lock);
  if (!HasTCPconnection(partner)) partner->Active = 0;
  partner->NewBinding = 1;
  BSV1_ReleaseLock(&partner->Lock);
}

// The application, group and partner host of an API partner's log message.
void logBeginEndInput(PartnerRequest& request, int32_t message) {
  const TableEntry* group = request.source->Table;
  std::string host = PeerHostName(request.partner->PartnerAddress);
  Routines().sendDPlogMessage(request.anchor, message, group != nullptr ? group->Application->ApplName : nullptr,
                              group != nullptr ? group->TableName : nullptr, host.c_str(), nullptr, nullptr);
}

void dispatch(PartnerRequest& request) {
  int32_t state = ZEVP_SourceStateOf(request.source);
  switch (state) {
    case ZEVP_Initial:
      wrongState(request, "*** Logic error. received source in wrong state <%s>", state);
      return;
    case ZEVP_Connected:
      if (!request.api()) {
        wrongState(request, "*** Logic error. socket received source in wrong state <%s>", state);
        return;
      }
      ConnectedSteps(request);
      if (ZEVP_SourceStateOf(request.source) == ZEVP_Ready) ReadySteps(request);
      return;
    case ZEVP_Ready:
      if (request.api())
        ReadySteps(request);
      else
        OnlineSteps(request);
      return;
    case ZEVP_Active:
      TRC(TRC_ERROR, "*** Logic error. UDP receive source in wrong state <%s>", stateText(state));
      request.status = ZEVP_API_SEQUENCE_ERROR;
      return;
    case ZEVP_Input:
      if (request.api())
        APIinputSteps(request);
      else
        SocketRecords(request);
      return;
    case ZEVP_Output:
    case ZEVP_Action:
    case ZEVP_Reply:
      wrongState(request, "*** Logic error. received source in wrong state <%s>", state);
      return;
    case ZEVP_Inactive:
      OfflineSteps(request);
      return;
    default:
      invalidState(request, state);
      return;
  }
}

void reply(PartnerRequest& request) {
  IOEntry* partner = request.partner;
  bool connection = HasTCPconnection(partner);
  int socket = connection ? partner->ConnectionSocket : partner->Socket;
  if (socket <= 0) {
    TRC(TRC_ERROR, "*** no socket for the reply to %s, status %d not sent", NodeNameOf(request.source),
        request.status);
    return;
  }
  ZEVP_SendAPIreply(request.anchor, socket, connection ? nullptr : &partner->PartnerAddress, request.status,
                    request.replyData ? request.data.data() : nullptr, static_cast<int>(request.data.size()));
}

}  // namespace

int32_t QueueAndWait(PartnerRequest& request) {
  Routines().queueAndWaitDCHstatus(request.anchor, request.caller, request.source);
  return ZEVP_SourceStateOf(request.source);
}

bool SendRow(PartnerRequest& request) {
  SourceEntry* source = request.source;
  setState(source, ZEVP_Output);
  const int32_t state = QueueAndWait(request);
  if (state == ZEVP_Active || state == ZEVP_Output) setState(source, ZEVP_Input);
  if (state == ZEVP_Active) return true;
  TRC(TRC_ERROR, "*** dp_data failed for %s [%d]", NodeNameOf(source), state);
  return false;
}

void OnlineSteps(PartnerRequest& request) {
  IOEntry* partner = request.partner;
  SourceEntry* source = request.source;
  BSV1_GetLock(&partner->Lock);
  if (partner->RecordLength < kOnlineRecordLength) partner->RecordLength = kOnlineRecordLength;
  BSV1_ReleaseLock(&partner->Lock);
  if (QueueAndWait(request) != ZEVP_Active) {
    TRC(TRC_ERROR, "*** dp_online failed for %s [%d]", NodeNameOf(source), ZEVP_SourceStateOf(source));
    dropFromReadSet(partner);
    request.status = ZEVP_API_ONLINE_FAILED;
    if (request.api()) logBeginEndInput(request, ZEVP_DPLOG_BEGIN_INPUT_FAILED);
    return;
  }
  setState(source, ZEVP_Input);
  BSV1_GetLock(&partner->Lock);
  partner->Active = 1;
  BSV1_ReleaseLock(&partner->Lock);
  request.status = ZEVP_API_DONE;
  request.replyData = true;
  request.data = source->AttrDelimiter != nullptr ? source->AttrDelimiter : "";
  if (request.api()) {
    logBeginEndInput(request, ZEVP_DPLOG_BEGIN_INPUT_DONE);
    return;
  }
  if (request.bytes != nullptr && !BeginsWith(request.bytes, request.length, "//")) SocketRecords(request);
}

void SocketRecords(PartnerRequest& request) {
  IOEntry* partner = request.partner;
  SourceEntry* source = request.source;
  for (const RecordView& record : CutRecords(request.bytes, request.length)) {
    bool association = BeginsWith(record.text, record.length, "//");
    BSV1_GetLock(&partner->Lock);
    bool skip = partner->NewBinding != 0 && association;
    partner->NewBinding = 0;
    BSV1_ReleaseLock(&partner->Lock);
    if (skip) continue;
    // A record that does not make a row is passed by; the next ones still may.
    if (LoadPartnerRecord(request.anchor, partner, record.text, record.length) == 0) {
      TRC(TRC_DETAIL, "Record of %d bytes of %s makes no row, next record", record.length, NodeNameOf(source));
      continue;
    }
    if (Routines().checkDataSummaryReady(source) == 0) {
      setState(source, ZEVP_Input);
      continue;
    }
    SendRow(request);
  }
}

void OfflineSteps(PartnerRequest& request) {
  IOEntry* partner = request.partner;
  SourceEntry* source = request.source;
  TRC(TRC_DETAIL, ">>>>> Socket/API server performs dp_offline for %s on request", NodeNameOf(source));
  if (QueueAndWait(request) != ZEVP_Ready) {
    TRC(TRC_ERROR, "*** dp_offline failed for %s [%d]", NodeNameOf(source), ZEVP_SourceStateOf(source));
    request.status = ZEVP_API_OFFLINE_FAILED;
    setState(source, ZEVP_Ready);
  } else {
    request.status = ZEVP_API_DONE;
  }
  if (request.api()) {
    if (source->Table != nullptr) logBeginEndInput(request, ZEVP_DPLOG_END_INPUT);
    if (source->Dynamic != 0) {
      DisassociateDynamicSource(source);
      BSV1_GetLock(&source->DataLock);
      ZEV0_FreeStorage(&source->pSourceNodeName);
      source->SourceNodeNameLength = 0;
      BSV1_ReleaseLock(&source->DataLock);
      if (HasTCPconnection(partner)) setState(source, ZEVP_Connected);
    }
  }
  BSV1_GetLock(&partner->Lock);
  if (!HasTCPconnection(partner)) {
    partner->Active = 0;
    partner->NewBinding = 1;
  }
  BSV1_ReleaseLock(&partner->Lock);
}

}  // namespace zevp

void ZEVP_ProcessSockRequestByState(DPAB* anchor, ProcessEntry* caller, IOEntry* partner, int n, char* buffer) {
  if (partner == nullptr) {
    TRC(TRC_ERROR, "*** Logic error. Received null I/O object pointer");
    return;
  }
  SourceEntry* source = partner->Source;
  if (source == nullptr) {
    TRC(TRC_ERROR, "*** Logic error. Partner @%p has no source", static_cast<void*>(partner));
    return;
  }
  bool received = n > 0 && buffer != nullptr;
  zevp::PartnerRequest request;
  request.anchor = anchor;
  request.caller = caller;
  request.partner = partner;
  request.source = source;
  request.mode = zevp::ModeOfPartner(partner);
  request.bytes = received ? buffer : nullptr;
  request.length = received ? n : 0;
  if (request.api() && received) ZEVP_UpdateStatLogAPIcalls(1);
  zevp::dispatch(request);
  // A request is answered; a source taken offline without one is not: the client
  // library would take such a reply for the answer to its next request.
  if (request.api() && received) zevp::reply(request);
  if (request.actionDelivered) ZEVP_CheckActionRequestCompletion(source);
}
