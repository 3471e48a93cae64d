#include "dch_requests.h"

#include <cerrno>
#include <cstring>

#include "application_entry.h"
#include "dch_comm.h"
#include "dch_messages.h"
#include "dch_transport_table.h"
#include "dp_anchor.h"
#include "model_release.h"
#include "registration_body.h"
#include "source_entry.h"
#include "summary_block.h"
#include "table_entry.h"
#include "trc1.h"
#include "zev0/storage.h"

TRC_UNIT();

namespace {

const char* applicationName(const SourceEntry* source) { return source->Table->Application->ApplName; }

// The source belongs to a group of an application; an API source not yet
// associated does not and can send nothing.
bool hasGroup(DCHcomm* comm, const SourceEntry* source) {
  if (source->Table != nullptr && source->Table->Application != nullptr) return true;
  TRC(TRC_ERROR, "*** source @%p belongs to no attribute group, no DCH request", static_cast<const void*>(source));
  ZEVP_SetDCHstatus(comm, ZEVP_DCH_SEND_FAILED);
  return false;
}

// A short request built in the block's request buffer, or -1 when it did not fit.
void sendShortRequest(SourceEntry* source, DCHcomm* comm, uint32_t length, const char* request) {
  if (length == 0) {
    TRC(TRC_ERROR, "*** %s request does not fit the %d-byte request buffer", request, comm->RequestBufferSize);
    ZEVP_SetDCHstatus(comm, ZEVP_DCH_SEND_FAILED);
    return;
  }
  ZEVP_SendUntilAnswered(source, comm, comm->RequestBuffer);
}

void clearRequestBuffer(DCHcomm* comm) { std::memset(comm->RequestBuffer, 0, sizeof comm->RequestBuffer); }

// What the source kept for its rows: the key lists and the summary data. A
// delayed-offline copy shares them with its source and owns nothing of them.
void releaseSavedRows(SourceEntry* source) {
  if (source->CopiedFrom != nullptr) return;
  ZEVP_ReleaseSavedRows(source);
  ZEVP_ResetSummaryManagementBlock(source->Summary);
}

}  // namespace

int32_t ZEVP_DCHstatusOf(DCHcomm* comm) {
  BSV1_GetLock(&comm->SendLock);
  int32_t status = comm->DCHstatus;
  BSV1_ReleaseLock(&comm->SendLock);
  return status;
}

void ZEVP_SetDCHstatus(DCHcomm* comm, int32_t status) {
  BSV1_GetLock(&comm->SendLock);
  comm->DCHstatus = status;
  BSV1_ReleaseLock(&comm->SendLock);
}

bool ZEVP_DCHbypassed(DCHcomm* comm) {
  if (comm->Anchor->batchMode == 0) return false;
  ZEVP_SetDCHstatus(comm, DCH_STATUS_SUCCESS);
  return true;
}

void ZEVP_DCHsendAndReceive(int length, const char* buffer, DCHcomm* comm, int noWait) {
  const DCHtransportTable* transport = comm->Anchor->transport;
  BSV1_GetLock(&comm->SendLock);
  if (transport->send == nullptr) {
    comm->DCHstatus = ZEVP_DCH_SEND_FAILED;
    comm->RequestAwaited = 0;
    BSV1_ReleaseLock(&comm->SendLock);
    TRC(TRC_ERROR, "*** DP to DCH send failed: the DCH transport has no operations");
    return;
  }
  comm->StatusPending = 1;
  comm->RequestSentMs = ZEVP_SteadyMilliseconds();
  int errorNumber = 0;
  int sent = transport->send(comm, buffer, length, &errorNumber);
  if (sent < length) {
    comm->StatusPending = 0;
    comm->RequestAwaited = 0;
    bool reset = errorNumber == ECONNRESET || errorNumber == EPIPE;
    if (!reset) comm->DCHstatus = ZEVP_DCH_SEND_FAILED;
    BSV1_ReleaseLock(&comm->SendLock);
    TRC(TRC_ERROR, "*** DP to DCH send failed");
    if (reset) transport->handleDCHdisconnect(comm);
    return;
  }
  if (noWait != 0) {
    comm->StatusPending = 0;
    comm->RequestAwaited = 0;
    BSV1_ReleaseLock(&comm->SendLock);
    return;
  }
  ZEVP_CheckDCHstatus(comm);  // releases the send lock while it waits
  BSV1_GetLock(&comm->SendLock);
  comm->RequestAwaited = 0;
  BSV1_ReleaseLock(&comm->SendLock);
}

void ZEVP_SendUntilAnswered(SourceEntry* source, DCHcomm* comm, const char* message) {
  int length = static_cast<int>(ZEV0_MessageTotalLength(message));
  do {
    BSV1_GetLock(&comm->SendLock);
    comm->RequestAwaited = source->DCHrequestSeqNumber;
    BSV1_ReleaseLock(&comm->SendLock);
    ZEVP_DCHsendAndReceive(length, message, comm, 0);
  } while (ZEVP_DCHstatusOf(comm) == DCH_STATUS_RESEND);
}

void ZEVP_DoDPregister(SourceEntry* source, DCHcomm* comm) {
  if (ZEVP_DCHbypassed(comm) || !hasGroup(comm, source)) return;
  ZEVP_SetDCHstatus(comm, ZEVP_DCH_SEND_FAILED);
  ApplicationEntry* application = source->Table->Application;
  char* request = ZEVP_ConstructRegistrationBuffer(application);
  if (request == nullptr) {
    // An SNMP application may have no group to register yet.
    if (application->SNMPapplication != 0) ZEVP_SetDCHstatus(comm, DCH_STATUS_SUCCESS);
    return;
  }
  ZEVP_SendUntilAnswered(source, comm, request);
  ZEV0_FreeStorage(&request);
}

void ZEVP_DoDPonline(SourceEntry* source, DCHcomm* comm) {
  if (ZEVP_DCHbypassed(comm) || !hasGroup(comm, source)) return;
  TRC(TRC_DETAIL, "Sending DP online request for appl <%s> table <%s> source <%s> request <%d>",
      applicationName(source), source->Table->TableName, source->pSourceNodeName, source->DCHrequestSeqNumber);
  clearRequestBuffer(comm);
  uint32_t length = DCH_BuildOnline(comm->RequestBuffer, sizeof comm->RequestBuffer, applicationName(source),
                                    source->Table->TableName, source->pSourceNodeName);
  sendShortRequest(source, comm, length, "dp_online");
  BSV1_GetLock(&comm->SendLock);
  if (comm->DCHstatus == DCH_STATUS_SUCCESS) source->DCHhandle = comm->DCHhandle;
  BSV1_ReleaseLock(&comm->SendLock);
}

void ZEVP_DoDPoffline(SourceEntry* source, DCHcomm* comm) {
  if (ZEVP_DCHbypassed(comm)) {
    releaseSavedRows(source);
    return;
  }
  TRC(TRC_DETAIL, "Sending dp_offline request %d for SourceEntry object @%p", source->DCHrequestSeqNumber,
      static_cast<void*>(source));
  clearRequestBuffer(comm);
  uint32_t length = DCH_BuildOffline(comm->RequestBuffer, sizeof comm->RequestBuffer, source->DCHhandle);
  sendShortRequest(source, comm, length, "dp_offline");
  int32_t status = ZEVP_DCHstatusOf(comm);
  if (status == DCH_STATUS_SUCCESS)
    source->DCHhandle = 0;
  else
    TRC(TRC_ERROR, "*** dp_offline failed, status %d", status);
  releaseSavedRows(source);
}

void ZEVP_DoDPunregister(SourceEntry* source, DCHcomm* comm) {
  if (ZEVP_DCHbypassed(comm) || !hasGroup(comm, source)) return;
  clearRequestBuffer(comm);
  uint32_t length = DCH_BuildUnregister(comm->RequestBuffer, sizeof comm->RequestBuffer, applicationName(source));
  sendShortRequest(source, comm, length, "dp_unregister");
}

void ZEVP_DoDPwaitForAction(SourceEntry* source, DCHcomm* comm, int actionType) {
  if (ZEVP_DCHbypassed(comm)) return;
  clearRequestBuffer(comm);
  uint32_t length = DCH_BuildWaitForAction(comm->RequestBuffer, sizeof comm->RequestBuffer,
                                           static_cast<uint16_t>(actionType), source->pSourceNodeName);
  sendShortRequest(source, comm, length, "wait-for-action");
}
