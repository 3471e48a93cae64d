// The receive thread of one DCH connection. A connection that breaks, or a peer
// that sends a message length no agent sends, ends the thread with status -3 for
// a request that waits; the DCH client connects again at its next work.
#include "dch_receive_task.h"

#include <cerrno>

#include "dch_comm.h"
#include "dch_inbound_messages.h"
#include "dch_inbound_stream.h"
#include "dch_transport_table.h"
#include "dp_anchor.h"
#include "process_entry.h"
#include "trc1.h"
#include "zev0/storage.h"
#include "zev0/sockets.h"

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
      if (stream.held() > 0) TRC(TRC_DETAIL, "#####Received data concatenated to residual data");
      stream.append(buffer, static_cast<size_t>(bytes));
      if (ZEVP_TakeInboundDCHmessages(comm, stream)) continue;
      connectionLost(connection);
      return;
    }
    if (takeFailure(connection, bytes, errorNumber) == After::end) return;
  }
}

}  // namespace

void* ZEVP_DCHreceiveDataTask(void* argument) {
  auto* comm = static_cast<DCHcomm*>(argument);
  BSV1_GetLock(&comm->SendLock);
  Connection connection{comm, comm->Socket, comm->ConnectionState == ZEVP_DCH_OVER_TCP};
  BSV1_ReleaseLock(&comm->SendLock);
  pthread_mutex_lock(&comm->ReceiveReadyMutex);
  comm->ReceiveTaskRunning = 1;
  ++comm->ReceiveTaskStarts;
  pthread_cond_broadcast(&comm->ReceiveReadyCond);
  pthread_mutex_unlock(&comm->ReceiveReadyMutex);
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
  // The last use of the block: once the thread is seen to end, it may be freed.
  pthread_mutex_lock(&comm->ReceiveReadyMutex);
  comm->ReceiveTaskRunning = 0;
  pthread_cond_broadcast(&comm->ReceiveReadyCond);
  pthread_mutex_unlock(&comm->ReceiveReadyMutex);
  return &ZEVP_ThreadRC;
}

// A request is pending from its send until its status: seen under the send lock,
// its sender is in (or on its way into) the status wait, where it gives up the
// status mutex. A failed send sets and clears the flag under one hold of the send
// lock, so it is never seen; and the send lock is let go before the status mutex
// is taken. The flag is cleared under the status mutex, which the sender holds but
// in its wait, so the wake-up after the unlock cannot be lost; given after it, the
// woken sender does not find the mutex still held (the block outlives this thread).
void ZEVP_SignalDCHreceiveStatus(DCHcomm* comm) {
  BSV1_GetLock(&comm->SendLock);
  bool pending = comm->StatusPending != 0;
  int32_t request = comm->RequestAwaited;
  BSV1_ReleaseLock(&comm->SendLock);
  if (!pending) {
    TRC(TRC_DETAIL, ">>>>>Signal DCH client bypassed. No receive outstanding");
    return;
  }
  TRC(TRC_DETAIL, ">>>>>Notifying request %d to DCH client", request);
  pthread_mutex_lock(&comm->StatusMutex);
  comm->StatusPending = 0;
  pthread_mutex_unlock(&comm->StatusMutex);
  pthread_cond_signal(&comm->StatusCond);
  TRC(TRC_DETAIL, ">>>>>Signal DCH client task for status");
}
