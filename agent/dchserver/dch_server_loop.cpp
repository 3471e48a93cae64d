// The request loop: takes each message of the request ring, tells the transport's own
// messages (ready, resend, disconnect) from DCH requests by the kind the ring keeps
// beside them, and hands requests to the dispatch.
#include <algorithm>
#include <cerrno>
#include <cstring>

#include "appl_space_list.h"
#include "bsv1.h"
#include "dc_waiting_list.h"
#include "dch/channel_functions.h"
#include "dch_message_parser.h"
#include "dch_server.h"
#include "trc1.h"
#include "zev0/text.h"

TRC_UNIT();

namespace {

constexpr int kDumpBytes = 100;
// A take that failed is tried again after this pause rather than at once.
constexpr unsigned kFailedTakePauseSeconds = 1;

}  // namespace

// Until the destructor's stop marker; messages without a request code are traced and
// dropped, never an end of the loop: the agent would run on without its server.
void DCHserver::processRequest() {
  char* request = nullptr;
  int requestSize = 0;
  int lastStatus = 0;
  for (;;) {
    DCHmessageKind kind;
    if (!takeRequest(&request, &requestSize, &kind)) {
      BSV1_Sleep(kFailedTakePauseSeconds);
      continue;
    }
    if (_stopping.load()) {
      if (isStopMarker(kind)) break;
      TRC(TRC_DETAIL, "DCHserver stopping: %s not handled.", DCH_MessageKindText(kind));
      continue;
    }
    lastStatus = handleTaken(kind, request, requestSize, lastStatus);
  }
  delete[] request;
}

// The ring always gives a sender name (255 blanks for none), so a name still empty
// after the take means that nothing was taken and the buffer holds the previous
// request. The transport's error state is no witness: its thread overwrites it.
bool DCHserver::takeRequest(char** request, int* requestSize, DCHmessageKind* kind) {
  std::memset(_clientName, 0, sizeof _clientName);
  _ipcSrv->ipc_get_data(request, requestSize, _requester.clientAddr, &_requester.clientAddrLen, _clientName,
                        &_requester.connectedSockFD, kind, &_requester.connectionGeneration);
  if (_clientName[0] != '\0') return true;
  TRC(TRC_ERROR, "Error: no message taken from the request ring <%d>.", _ipcSrv->ipcGetError());
  return false;
}

// The transport reports the close of a TCP connection only: a disconnect without one
// is the destructor's stop marker.
bool DCHserver::isStopMarker(DCHmessageKind kind) const {
  return kind == DCHmessageKind::disconnect && _requester.connectedSockFD == 0;
}

int DCHserver::handleTaken(DCHmessageKind kind, char* request, int requestSize, int lastStatus) {
  switch (kind) {
    case DCHmessageKind::disconnect:
      // Without a connection it would clear every datagram waiter.
      if (_requester.connectedSockFD == 0)
        TRC(TRC_ERROR, "Error: %s without a connection ignored.", DCH_DISCONNECT_TEXT);
      else
        processDisconnect(_requester.connectedSockFD);
      return lastStatus;
    case DCHmessageKind::serverReady:
      signalReady();
      return lastStatus;
    case DCHmessageKind::resend:
      sendStatus(DCH_STATUS_RESEND, kNoHandle);
      return DCH_STATUS_RESEND;
    case DCHmessageKind::message:
      return handleMessage(request, requestSize, lastStatus);
  }
  return lastStatus;
}

int DCHserver::handleMessage(char* request, int requestSize, int lastStatus) {
  uint16_t requestCode = 0;
  if (DCH_PeekFirstField(request, static_cast<size_t>(requestSize), &requestCode) == DCH_requestType)
    return dispatch(requestCode, request);
  // After a resend the rest of the cut message may follow on its own.
  if (lastStatus == DCH_STATUS_RESEND) {
    TRC(TRC_ERROR, "Warning: Buffer expansion stage. Message ignored.");
  } else if (TRC_ON(TRC_ERROR)) {
    TRC1_Printf(&trcUnit_, __LINE__, "Error: dataType of DCH_requestType missing");
    ZEV0_PrintDump(request, 0, std::min(kDumpBytes, requestSize));
  }
  return lastStatus;
}

void DCHserver::signalReady() {
  if (ZEVA_GetLock(&_readyLock, this) != 0) return;
  _readyState = 1;
  int rc = pthread_cond_signal(&_readyCond);
  if (rc != 0) TRC(TRC_ERROR, "Error: pthread_cond_signal failed. rc=%d errno=%d", rc, errno);
  ZEVA_ReleaseLock(&_readyLock, this);
  TRC(TRC_DETAIL, "DCHserver is ready for requests.");
}

// Offline before unregister: an application with a source online cannot be unregistered.
void DCHserver::processDisconnect(unsigned int connectedSockFD) {
  _buckets->sendOffline([this](char* message) { return dp_offline(message); }, connectedSockFD);
  _buckets->deregisterDP([this](char* message) { return dp_unregister(message); }, connectedSockFD);
  _waitList->cleanupEntries(connectedSockFD);
}
