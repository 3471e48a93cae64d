// What the server sends: the status reply to the request in hand, and any message to
// a requester, on its TCP connection or as a datagram.
#include "dch/ipc_sock.h"
#include "dch_messages.h"
#include "dch_server.h"
#include "trc1.h"

TRC_UNIT();

void DCHserver::sendStatus(long status, long handle) {
  char reply[DCH_STATUS_REPLY_WITH_HANDLE_SIZE];
  // Both travel as 32-bit numbers: -1 arrives with all bits set.
  auto wireStatus = static_cast<int32_t>(status);
  uint32_t length = handle == kNoHandle ? DCH_BuildStatusReply(reply, sizeof reply, wireStatus)
                                        : DCH_BuildStatusReplyWithHandle(reply, sizeof reply, wireStatus,
                                                                         static_cast<uint32_t>(handle));
  if (length == 0) return;
  int written = sendReply(reply, static_cast<int>(length), _requester);
  TRC(TRC_DETAIL, "Status <%ld> sent to client: %d bytes", status, written);
}

int DCHserver::sendReply(const void* message, int length, const WaiterReplyAddress& to) {
  _ipcClient->setClientAddr(to.clientAddr, to.clientAddrLen);
  if (to.connectedSockFD != 0)
    TRC(TRC_DETAIL, "Sending using connection mode: connectedSockFD<%u>", to.connectedSockFD);
  else
    TRC(TRC_DETAIL, "Sending using connection-less mode");
  if (_replySock != nullptr)
    return _replySock->ipcWriteConnection(message, length, to.connectedSockFD, to.connectionGeneration);
  return _ipcClient->ipcWrite(message, length, to.connectedSockFD);
}
