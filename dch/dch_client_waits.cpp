// The standing waits of the DCH client: parking at the server for rows or for source status
// notices, waiting for the next one, and the interrupt socket through which another thread
// ends a wait for rows.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "dch/dch_client.h"
#include "dch/ipc_sock.h"
#include "dch_message_parser.h"
#include "dch_messages.h"
#include "trc1.h"
#include "zev0/sockets.h"

TRC_UNIT();

namespace {

// Where the interrupt socket receives: its own bound address, loopback when it is bound to
// any address. It needs no name look-up, so a cancel works while the host name does not
// resolve.
bool interruptAddress(int interruptFD, sockaddr_in* address) {
  socklen_t length = sizeof *address;
  memset(address, 0, sizeof *address);
  if (interruptFD < 0 || getsockname(interruptFD, reinterpret_cast<sockaddr*>(address), &length) != 0) return false;
  if (address->sin_addr.s_addr == htonl(INADDR_ANY)) address->sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  return true;
}

bool sameEndpoint(const sockaddr_in& one, const sockaddr_in& other) {
  return one.sin_addr.s_addr == other.sin_addr.s_addr && one.sin_port == other.sin_port;
}

constexpr short kReadable = POLLIN | POLLERR;
// A parked consumer's rows come as datagrams, each once its provider's request is
// answered, not once the consumer took the last: the socket holds a burst of thousands
// of rows, where the system's default holds a few hundred and a consumer held up for a
// moment on a busy host would lose the rest.
constexpr int kParkedRowsReceiveBytes = 4 << 20;

}  // namespace

void DCHclient::openInterruptSocket() {
  sockaddr_in address{};
  _interruptFD = ZEV0_OpenLocalSocket(SOCK_DGRAM, 0, &address, 0);
  if (_interruptFD < 0) {
    TRC(TRC_ERROR, "Error: _interruptFD[%d]  errno=%d", _interruptFD, errno);
    _interruptFD = IPCSOCK_NO_SOCKET;
    _error = 1;
  }
}

// The waits need the socket transport; on any other the verb fails.
bool DCHclient::socketTransport(const char* verb) {
  if (_ipcType == kSocketsIPC) return true;
  TRC(TRC_ERROR, "Error: %s needs the socket transport, IPC type is %d", verb, _ipcType);
  _error = 1;
  return false;
}

int DCHclient::writeWaitRequest(uint32_t length, const char* writeError) {
  if (!writeRequest(_requestBuffer, length)) {
    TRC(TRC_ERROR, "%s", writeError);
    return failWith(1);
  }
  return _error;
}

int DCHclient::dc_waitOnDataInitialize(const char* applName, const char* attrGroup) {
  if (!usable(nullptr)) return _error;
  if (applName == nullptr || attrGroup == nullptr) {
    TRC(TRC_ERROR, "Error: applName and/or attrGroup were NULL");
    return failWith(1);
  }
  size_t applLength = strlen(applName);
  size_t groupLength = strlen(attrGroup);
  if (applLength > DCH_MAX_APPL_NAME || groupLength > DCH_MAX_ATTR_GROUP) {
    TRC(TRC_ERROR, "Error: max length exceeded: applName[%d:%s] attrGroup[%d:%s]", static_cast<int>(applLength),
        applName, static_cast<int>(groupLength), attrGroup);
    return failWith(1);
  }
  memcpy(_applName, applName, applLength + 1);
  memcpy(_attrGroup, attrGroup, groupLength + 1);
  if (_ipcType == kSocketsIPC)
    zev0::WidenReceiveBuffer(static_cast<ipcSock*>(_ipcClient)->sockUDP(), kParkedRowsReceiveBytes);
  clearRequest();
  uint32_t length = DCH_BuildWaitOnData(_requestBuffer, sizeof _requestBuffer, _applName, _attrGroup, DCH_WAIT_PARK);
  int result = writeWaitRequest(length, "Error: writing dc_waitOnDataInitialize message to DCHserver");
  _parkedForRows = result == 0;
  return result;
}

int DCHclient::dc_waitOnDataDestroy() {
  if (!usable(nullptr) || !_parkedForRows) return _error;
  clearRequest();
  uint32_t length =
      DCH_BuildWaitOnData(_requestBuffer, sizeof _requestBuffer, _applName, _attrGroup, DCH_WAIT_REMOVE);
  _parkedForRows = false;
  return writeWaitRequest(length, "Error: writing dc_waitOnDataDestroy message to DCHserver");
}

// The server sends rows to this socket until it has taken the removal, which goes first:
// the rows that have come by the look are handed over.
int DCHclient::dc_waitOnDataWithdraw(char* buffer, short buflen) {
  if (!usable(nullptr) || !socketTransport("dc_waitOnDataWithdraw")) return 1;
  if (buffer == nullptr || buflen < 1) {
    TRC(TRC_ERROR, "Error: User must specify an allocated buffer.");
    return failWith(1);
  }
  if (dc_waitOnDataDestroy() == 1) return 1;
  bool taken = false;
  int result = takeRow(buffer, buflen, &taken);
  return taken && result != 1 ? 0 : 1;
}

int DCHclient::dc_waitOnData(char* buffer, short buflen) {
  if (!usable(nullptr) || !socketTransport("dc_waitOnData")) return _error;
  if (buffer == nullptr || buflen < 1) {
    TRC(TRC_ERROR, "Error: User must specify an allocated buffer.");
    return failWith(1);
  }
  for (;;) {
    bool interrupted = false;
    if (waitForReadable(&interrupted) != 0) return _error;
    if (!interrupted) {
      bool taken = false;
      int result = takeRow(buffer, buflen, &taken);
      // Another process's datagram that happened onto this port is no row: wait on.
      if (taken) return result;
      continue;
    }
    if (takeInterrupt(buffer, buflen)) return failWith(DCHCLIENT_CANCELLED);
  }
}

// Waits without limit until the transport's socket (tested first: a row wins) or the
// interrupt socket can be read.
int DCHclient::waitForReadable(bool* interrupted) {
  pollfd watched[2] = {{static_cast<ipcSock*>(_ipcClient)->sockUDP(), POLLIN, 0}, {_interruptFD, POLLIN, 0}};
  int ready;
  do {
    ready = poll(watched, 2, -1);
  } while (ready < 0 && errno == EINTR);
  if (ready <= 0) {
    TRC(TRC_ERROR, "Error: select (indefinitely) failed.");
    return failWith(1);
  }
  if ((watched[0].revents & kReadable) != 0) return 0;
  if ((watched[1].revents & kReadable) != 0) {
    *interrupted = true;
    return 0;
  }
  TRC(TRC_ERROR, "Error: unrecognize FD from select");
  return failWith(1);
}

// The row message into buffer, total length word included, taken as it waits on the socket
// (one receive, no second wait); *taken false when no datagram of the server was there
// after all, so that a stray never keeps the waiter from its interrupt.
int DCHclient::takeRow(char* buffer, short buflen, bool* taken) {
  void* reply = nullptr;
  int read = static_cast<ipcSock*>(_ipcClient)->ipcReadWaiting(&reply);
  *taken = read != 0;
  if (read == 0) return _error;
  if (read < 0) {
    TRC(TRC_ERROR, "Error: while waiting for dc_waitOnData response.");
    return failWith(1);
  }
  _readBuffer = static_cast<char*>(reply);
  uint32_t length = replyLength();
  if (length > static_cast<uint32_t>(buflen)) {
    TRC(TRC_ERROR, "Error: row message of %u bytes does not fit the buffer of %d bytes", length, buflen);
    dropReply();
    return failWith(1);
  }
  memcpy(buffer, _readBuffer, length);
  dropReply();
  return _error;
}

// Receives the datagram on the interrupt socket into buffer; true when it is this client's
// own interrupt (a datagram from anyone else is dropped and the wait goes on).
bool DCHclient::takeInterrupt(char* buffer, short buflen) {
  sockaddr_in sender{};
  socklen_t senderLength = sizeof sender;
  ssize_t bytes = recvfrom(_interruptFD, buffer, static_cast<size_t>(buflen), 0, reinterpret_cast<sockaddr*>(&sender),
                           &senderLength);
  if (bytes < 0) return false;
  sockaddr_in own{};
  if (interruptAddress(_interruptFD, &own) && sameEndpoint(sender, own)) return true;
  char senderName[INET_ADDRSTRLEN] = "?";
  inet_ntop(AF_INET, &sender.sin_addr, senderName, sizeof senderName);
  TRC(TRC_ERROR, "Error: datagram of %d bytes from %s:%d on the interrupt socket ignored", static_cast<int>(bytes),
      senderName, ntohs(sender.sin_port));
  return false;
}

int DCHclient::dc_waitOnDataCancel() {
  if (!usable(nullptr) || !socketTransport("dc_waitOnDataCancel")) return _error;
  sockaddr_in destination;
  if (!interruptAddress(_interruptFD, &destination)) {
    TRC(TRC_ERROR, "Error: no address of the interrupt socket [%d]: errno=%d", _interruptFD, errno);
    return failWith(1);
  }
  char message[DCH_INTERRUPT_SIZE];
  uint32_t length = DCH_BuildInterrupt(message, sizeof message);
  ssize_t sent = sendto(_interruptFD, message, length, 0, reinterpret_cast<const sockaddr*>(&destination),
                        sizeof destination);
  if (length == 0 || sent != static_cast<ssize_t>(length)) {
    TRC(TRC_ERROR, "Error: SENDTO - Sent %d bytes out of %d", static_cast<int>(sent), static_cast<int>(length));
    return failWith(1);
  }
  // The cancel's own outcome: the waiting thread may already have taken the interrupt and
  // set the flag to -1 by now.
  return 0;
}

int DCHclient::dc_waitForDPStatusInitialize() {
  if (!usable(nullptr)) return _error;
  clearRequest();
  uint32_t length = DCH_BuildWaitForDPStatus(_requestBuffer, sizeof _requestBuffer, DCH_WAIT_PARK);
  return writeWaitRequest(length, "Error: writing dc_waitForDPStatus message to DCHserver");
}

int DCHclient::dc_waitForDPStatusDestroy() {
  if (!usable(nullptr)) return _error;
  clearRequest();
  uint32_t length = DCH_BuildWaitForDPStatus(_requestBuffer, sizeof _requestBuffer, DCH_WAIT_REMOVE);
  return writeWaitRequest(length, "Error: writing dc_waitForDPStatus message to DCHserver");
}

char* DCHclient::dc_waitForDPStatus() {
  if (_error > 0) {
    TRC(TRC_DETAIL, "Bypassed ipcRead, _error <%d>", _error.load());
    return nullptr;
  }
  if (!readReply(0)) {
    TRC(TRC_ERROR, "Error: ipcRead with wait[FOREVER] failed");
    failWith(1);
    return nullptr;
  }
  DCHstatusNotice notice;
  bool parsed = DCH_ParseStatusNotice(_readBuffer, replyLength(), &notice);
  if (parsed) {
    clearRequest();
    snprintf(_requestBuffer, sizeof _requestBuffer, "%.*s,%.*s,%.*s,%d", static_cast<int>(notice.applName.length),
             notice.applName.data, static_cast<int>(notice.attrGroup.length), notice.attrGroup.data,
             static_cast<int>(notice.sourceName.length), notice.sourceName.data, notice.requestCode);
  }
  dropReply();
  if (!parsed) {
    failWith(1);
    return nullptr;
  }
  return _requestBuffer;
}
