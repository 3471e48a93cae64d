// The receive thread of one DCH connection. A connection that breaks, or a peer
// that sends a message length no agent sends, ends the thread with status -3 for
// a request that waits; the DCH client connects again at its next work.
#include "dch_receive_task.h"

#include <cerrno>

#include "dch_comm.h"
#include "dch_inbound_stream.h"
#include "dch_message_parser.h"
#include "dch_transport_table.h"
#include "dp_anchor.h"
#include "engine_routines.h"
#include "process_entry.h"
#include "trc1.h"
#include "zev0/storage.h"
#include "zev0/sockets.h"
#include "zev0/text.h"

TRC_UNIT();

namespace {

constexpr int kReceiveBufferSize = 4096;

struct Connection {
  DCHcomm* comm;
  int socket;
  bool overTCP;
};

bool stillConnected(const Connection& connection) {
  BSV1_GetLock(&connection.comm->SendLock);
  bool same = connection.comm->Socket == connection.socket;
  BSV1_ReleaseLock(&connection.comm->SendLock);
  return same;
}

// A UDP receive that timed out or failed concerns the request in flight. While
// none is, it is not a status: stored, it would overwrite the status of the
// request just done.
void storeStatusOfPendingRequest(DCHcomm* comm, int32_t status) {
  BSV1_GetLock(&comm->SendLock);
  bool pending = comm->StatusPending != 0;
  if (pending) comm->DCHstatus = status;
  BSV1_ReleaseLock(&comm->SendLock);
  if (pending) ZEVP_SignalDCHreceiveStatus(comm);
}

// The connection is gone: a request that waits ends with -3.
void connectionLost(const Connection& connection) {
  DCHcomm* comm = connection.comm;
  BSV1_GetLock(&comm->SendLock);
  if (comm->Socket == connection.socket) comm->Socket = 0;
  comm->DCHstatus = ZEVP_DCH_CONNECTION_LOST;
  BSV1_ReleaseLock(&comm->SendLock);
  ZEVP_SignalDCHreceiveStatus(comm);
}

bool takeStatusReply(DCHcomm* comm, char* message, uint32_t length) {
  DCHstatusReply reply;
  if (!DCH_ParseStatusReply(message, length, &reply)) return false;
  BSV1_GetLock(&comm->SendLock);
  comm->DCHstatus = reply.status;
  comm->DCHhandle = reply.hasHandle ? reply.handle : 0;
  BSV1_ReleaseLock(&comm->SendLock);
  TRC(TRC_DETAIL, "Received DCH status %d", reply.status);
  if (reply.hasHandle) TRC(TRC_DETAIL, "Received DCH Handle %08X", reply.handle);
  ZEVP_SignalDCHreceiveStatus(comm);
  return true;
}

void traceAction(const DCHactionMessage& action) {
  if (!TRC_ON(TRC_DETAIL)) return;
  auto text = [](const DCHview& view) { return static_cast<int>(view.length); };
  TRC1_Printf(&trcUnit_, __LINE__, "DCH dp_provideAction ActionSourceNode %.*s", text(action.node),
              action.node.data);
  TRC1_Printf(&trcUnit_, __LINE__, "DCH dp_provideAction ActionType %d", action.actionType);
  TRC1_Printf(&trcUnit_, __LINE__, "DCH dp_provideAction ActionName %.*s", text(action.name), action.name.data);
  TRC1_Printf(&trcUnit_, __LINE__, "DCH dp_provideAction ActionID   %08X", action.actionID);
  TRC1_Printf(&trcUnit_, __LINE__, "DCH dp_provideAction ActionParm %.*s", text(action.parms), action.parms.data);
  TRC1_Printf(&trcUnit_, __LINE__, "DCH dp_provideAction ActionOwner %.*s", text(action.owner), action.owner.data);
}

void takeActionMessage(DCHcomm* comm, char* message, uint32_t length) {
  DCHactionMessage action;
  if (!DCH_ParseActionMessage(message, length, &action)) return;
  traceAction(action);
  zevp::Routines().provideAction(comm->Anchor, &action);
}

// One whole message; false when the peer no longer speaks the DCH.
bool takeMessage(DCHcomm* comm, char* message, uint32_t length) {
  uint16_t requestCode = 0;
  int firstField = DCH_PeekFirstField(message, length, &requestCode);
  TRC(TRC_DETAIL, "Extracted DCHfieldType: %d", firstField);
  if (firstField == DCH_status) return takeStatusReply(comm, message, length);
  if (firstField == DCH_requestType && requestCode == DCH_dp_provideAction) {
    takeActionMessage(comm, message, length);
    return true;
  }
  TRC(TRC_ERROR, "***** unsupported DCH request ignored");
  if (TRC_ON(TRC_ERROR)) ZEV0_PrintDump(message, 0, static_cast<int>(length));
  return true;
}

// Every whole message the stream holds; false when the connection must be dropped.
bool takeMessages(DCHcomm* comm, DCHinboundStream& stream) {
  char* message;
  uint32_t length;
  for (;;) {
    switch (stream.front(&message, &length)) {
      case DCHinboundStream::Next::message:
        if (stream.held() > length)
          TRC(TRC_DETAIL, ">>>>> data length received %d, not equal protocol specification %d, multiple requests in packet",
              static_cast<int>(stream.held()), static_cast<int>(length));
        if (!takeMessage(comm, message, length)) {
          TRC(TRC_ERROR, "***** DCH status reply not readable, connection dropped");
          return false;
        }
        stream.pop();
        break;
      case DCHinboundStream::Next::needMore:
        if (stream.held() > 0)
          TRC(TRC_DETAIL, ">>>>> Incomplete DCH packet remains in buffer, residual %d bytes. Doing next receive",
              static_cast<int>(stream.held()));
        return true;
      case DCHinboundStream::Next::badLength:
        TRC(TRC_ERROR, "***** DCH message of a length no agent sends, connection dropped");
        return false;
    }
  }
}

enum class After { receiveAgain, end };

// What a failed or empty receive means. TCP: 0 bytes is the agent's close, and
// errno counts only for a call that failed.
After takeFailure(const Connection& connection, int bytes, int errorNumber) {
  if (bytes == 0) {
    if (!connection.overTCP) return After::receiveAgain;  // an empty datagram
    TRC(TRC_DETAIL, ">>>>> DCH disconnect received");
    connectionLost(connection);
    return After::end;
  }
  switch (errorNumber) {
    case EAGAIN:
      TRC(TRC_DETAIL, ">>>>> DCH communication timed out");
      storeStatusOfPendingRequest(connection.comm, ZEVP_DCH_TIMED_OUT);
      return After::receiveAgain;
    case ENOTSOCK:
    case EBADF:
      TRC(TRC_ERROR, ">>>>> DCH socket no longer valid.  Exiting...");
      connectionLost(connection);
      return After::end;
    default:
      if (connection.overTCP) {
        TRC(TRC_DETAIL, ">>>>> DCH disconnect received, errno %d", errorNumber);
        connectionLost(connection);
        return After::end;
      }
      TRC(TRC_ERROR, ">>>>> DCH communication failed");
      storeStatusOfPendingRequest(connection.comm, ZEVP_DCH_SEND_FAILED);
      return After::receiveAgain;
  }
}

void serve(const Connection& connection, char* buffer) {
  DCHcomm* comm = connection.comm;
  DPAB* anchor = comm->Anchor;
  DCHinboundStream stream;
  while (anchor->shutdownFlag == 0 && stillConnected(connection)) {
    TRC(TRC_DETAIL, ">>>>> Wait to receive DCH data or status");
    int errorNumber = 0;
    int bytes = anchor->transport->receive(comm, buffer, kReceiveBufferSize, &errorNumber);
    // Dropped by the DCH client, which reports that itself.
    if (!stillConnected(connection)) return;
    if (bytes > 0) {
      stream.append(buffer, static_cast<size_t>(bytes));
      if (takeMessages(comm, stream)) continue;
      connectionLost(connection);
      return;
    }
    if (takeFailure(connection, bytes, errorNumber) == After::end) return;
  }
}

}  // namespace

void* ZEVP_DCHreceiveDataTask(void* argument) {
  auto* comm = static_cast<DCHcomm*>(argument);
  pthread_mutex_lock(&comm->ReceiveReadyMutex);
  BSV1_GetLock(&comm->SendLock);
  Connection connection{comm, comm->Socket, comm->ConnectionState == ZEVP_DCH_OVER_TCP};
  BSV1_ReleaseLock(&comm->SendLock);
  pthread_mutex_lock(&comm->StatusMutex);
  ++comm->ReceiveTaskStarts;
  pthread_cond_broadcast(&comm->StatusCond);
  pthread_mutex_unlock(&comm->StatusMutex);
  unsigned long thread = BSV1_ThreadID();
  TRC(TRC_DETAIL, ">>>>> DCH inbound data receive process started. Thread: %lX", thread);

  auto* buffer = static_cast<char*>(ZEV0_GetStorage(kReceiveBufferSize));
  if (buffer != nullptr)
    serve(connection, buffer);
  else
    connectionLost(connection);
  ZEV0_FreeStorage(&buffer);

  BSV1_GetLock(&comm->SendLock);
  if (comm->Socket == connection.socket) comm->Socket = 0;
  BSV1_ReleaseLock(&comm->SendLock);
  ZEV0_CloseTheSocket(connection.socket);
  TRC(TRC_DETAIL, ">>>>> DCH inbound data receive process ended. Thread: %lX", thread);
  pthread_mutex_unlock(&comm->ReceiveReadyMutex);
  return &ZEVP_ThreadRC;
}

void ZEVP_SignalDCHreceiveStatus(DCHcomm* comm) {
  BSV1_GetLock(&comm->SendLock);
  if (comm->StatusPending != 0) {
    TRC(TRC_DETAIL, ">>>>>Notifying request %d to DCH client", comm->RequestAwaited);
    pthread_mutex_lock(&comm->StatusMutex);
    comm->StatusPending = 0;
    pthread_cond_signal(&comm->StatusCond);
    pthread_mutex_unlock(&comm->StatusMutex);
    TRC(TRC_DETAIL, ">>>>>Signal DCH client task for status");
  } else {
    TRC(TRC_DETAIL, ">>>>>Signal DCH client bypassed. No receive outstanding");
  }
  BSV1_ReleaseLock(&comm->SendLock);
}
