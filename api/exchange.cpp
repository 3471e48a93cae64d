#include "exchange.h"

#include <arpa/inet.h>
#include <poll.h>
#include <sys/socket.h>

#include <cerrno>
#include <cstring>

#include "api_trace.h"
#include "buffers.h"
#include "reply_reader.h"
#include "socket_waits.h"
#include "status_codes.h"

namespace zevpapi {

namespace {

constexpr int kBusyPauseMs = 2000;
constexpr int kNoDataPauseMs = 30000;

// A datagram socket bound to any local address at the port; -1 when none could be
// had or bound.
int BoundDatagramSocket(uint16_t port) {
  int descriptor = ZEVP_OpenSocket(SOCK_DGRAM);
  if (descriptor < 0) return -1;
  sockaddr_in local{};
  local.sin_family = AF_INET;
  local.sin_port = htons(port);
  local.sin_addr.s_addr = htonl(INADDR_ANY);
  if (bind(descriptor, reinterpret_cast<sockaddr*>(&local), sizeof local) != 0) {
    TraceStep("exchange", "bind to port %u failed, errno %d", port, errno);
    ZEVP_CloseSocket(descriptor);
    return -1;
  }
  return descriptor;
}

// The session socket, its local port the session key (one of the system's choice when
// the key is 0).
int OpenSessionSocket(APIhandle* handle) {
  if (handle->sessionSocket != 0) return kSuccess;
  int status = ZEVP_GetAPIdpAddr(reinterpret_cast<sockaddr*>(&DPAA->dpAddress));
  if (status != kSuccess) return status;
  int descriptor = BoundDatagramSocket(handle->sessionKey);
  if (descriptor < 0) return kBindFailed;
  sockaddr_in bound{};
  socklen_t length = sizeof bound;
  getsockname(descriptor, reinterpret_cast<sockaddr*>(&bound), &length);
  handle->sessionKey = ntohs(bound.sin_port);
  handle->sessionSocket = descriptor;
  TraceStep("exchange", "session socket %d, key %u", descriptor, handle->sessionKey);
  return kSuccess;
}

// The socket on which the library pauses; nothing travels on it.
int OpenRequestSocket(APIhandle* handle) {
  if (handle->requestSocket != 0) return kSuccess;
  int descriptor = BoundDatagramSocket(0);
  if (descriptor < 0) return kBindFailed;
  handle->requestSocket = descriptor;
  return kSuccess;
}

void PauseOn(int descriptor, int milliseconds) {
  pollfd wait{descriptor, POLLIN, 0};
  poll(&wait, 1, milliseconds);
}

// Marks the handle's send and receive, so that another caller of the same handle waits.
class BusyMark {
 public:
  explicit BusyMark(APIhandle* handle) : handle_(handle) {
    while (handle_->ioBusy != 0) PauseOn(handle_->requestSocket, kBusyPauseMs);
    handle_->ioBusy = 1;
  }
  ~BusyMark() { handle_->ioBusy = 0; }
  BusyMark(const BusyMark&) = delete;
  BusyMark& operator=(const BusyMark&) = delete;

 private:
  APIhandle* handle_;
};

// A session's request: a datagram to the data provider, or the bytes on its connection.
// A connection the data provider closed fails the send (EPIPE); it raises no signal.
int Send(APIbuffer* block) {
  APIhandle* handle = block->handle;
  ZEVP_ConvertBufferToNetwork(block->eyeCatcher, block->used);
  const size_t length = static_cast<size_t>(block->used);
  ssize_t sent = handle->connected != 0
                     ? send(handle->sessionSocket, block->eyeCatcher, length, MSG_NOSIGNAL)
                     : sendto(handle->sessionSocket, block->eyeCatcher, length, MSG_NOSIGNAL,
                              reinterpret_cast<const sockaddr*>(&DPAA->dpAddress), sizeof DPAA->dpAddress);
  TraceStep("exchange", "sent %zd of %d bytes, errno %d", sent, block->used, sent < 0 ? errno : 0);
  return sent == block->used ? kSuccess : kShortSend;
}

// The data provider answers from the socket it received on; a datagram from anywhere
// else is no reply.
bool FromDataProvider(const sockaddr_in& sender) {
  return sender.sin_addr.s_addr == DPAA->dpAddress.sin_addr.s_addr && sender.sin_port == DPAA->dpAddress.sin_port;
}

int TakeReply(APIhandle* handle, int length) {
  ZEVP_ConvertBufferToLocal(handle->replyArea, length, 0);
  ReplyReading reply = ReadReply(handle->replyArea, length);
  if (!reply.hasStatus) {
    TraceStep("exchange", "reply of %d bytes without a status", length);
    return kReceiveFailed;
  }
  if (reply.hasStamp) handle->serverStamp = reply.stamp;
  if (reply.dataLength > 0) {
    handle->replyData = handle->replyArea + reply.dataOffset;
    handle->replyLength = reply.dataLength;
  }
  TraceStep("exchange", "reply status %d, stamp %d, %d bytes of data", reply.status, handle->serverStamp,
            handle->replyLength);
  return reply.status;
}

int ReceiveReply(APIhandle* handle, int waitForData) {
  handle->replyData = nullptr;
  handle->replyLength = 0;
  const Clock::time_point deadline = DeadlineIn(DPAA->requestWait);
  const bool waitsForever = handle->connected != 0 || waitForData != 0;
  for (;;) {
    if (!AwaitSocket(handle->sessionSocket, POLLIN, waitsForever ? nullptr : &deadline)) {
      TraceStep("exchange", "no reply within %d seconds", DPAA->requestWait);
      return kTimedOut;
    }
    std::memset(handle->replyArea, 0, sizeof handle->replyArea);
    sockaddr_in sender{};
    socklen_t senderLength = sizeof sender;
    ssize_t received = recvfrom(handle->sessionSocket, handle->replyArea, sizeof handle->replyArea, 0,
                                reinterpret_cast<sockaddr*>(&sender), &senderLength);
    if (received < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR)) continue;
    if (received >= 0 && handle->connected == 0 && !FromDataProvider(sender)) {
      char from[INET_ADDRSTRLEN] = "?";
      inet_ntop(AF_INET, &sender.sin_addr, from, sizeof from);
      TraceStep("exchange", "datagram of %zd bytes from %s:%u ignored", received, from, ntohs(sender.sin_port));
      continue;
    }
    if (received < 1) {
      TraceStep("exchange", "receive gave %zd, errno %d", received, received < 0 ? errno : 0);
      return kReceiveFailed;
    }
    return TakeReply(handle, static_cast<int>(received));
  }
}

}  // namespace

int Exchange(APIbuffer* block, int receiveOnly, int waitForData) {
  APIhandle* handle = block->handle;
  int status = OpenSessionSocket(handle);
  if (status == kSuccess) status = OpenRequestSocket(handle);
  if (status != kSuccess) return status;
  for (;;) {
    {
      BusyMark busy(handle);
      if (receiveOnly == 0) {
        status = Send(block);
        if (status != kSuccess) return status;
      }
      status = ReceiveReply(handle, waitForData);
      // A failed wait or receive is answered, not waited out: the request would
      // otherwise go again every 30 seconds for good.
      if (status == kTimedOut || status == kReceiveFailed || waitForData == 0 || handle->replyLength > 0) return status;
    }
    PauseOn(handle->requestSocket, kNoDataPauseMs);
  }
}

int ExchangeByTransport(APIbuffer* block, int receiveOnly, int waitForData) {
  if (DPAA->transport == 'I') return Exchange(block, receiveOnly, waitForData);
  return ZEVP_SendReceiveAPIdataViaRPC(block, receiveOnly, waitForData);
}

}  // namespace zevpapi

extern "C" int ZEVP_SendReceiveAPIdataViaSock(APIbuffer* block, int receiveOnly, int waitForData) {
  if (block == nullptr) return zevpapi::kNullBuffer;
  if (DPAA == nullptr || (BypassInputValidation == 0 && !zevpapi::BlockIsKnown(block)))
    return zevpapi::kNotLibraryBuffer;
  return zevpapi::Exchange(block, receiveOnly, waitForData);
}

extern "C" int ZEVP_SendReceiveAPIdataViaRPC(APIbuffer*, int, int) { return zevpapi::kRpcTransport; }

extern "C" int ZEVP_SendReceiveAPIApplicationRequest(void* userBuffer, int receiveOnly, int waitForData, int* status) {
  int result;
  if (userBuffer == nullptr) {
    result = zevpapi::kNullBuffer;
  } else if (DPAA == nullptr || !zevpapi::BufferPassesCheck(userBuffer)) {
    result = zevpapi::kNotLibraryBuffer;
  } else {
    result = zevpapi::ExchangeByTransport(zevpapi::BlockOfUserBuffer(userBuffer), receiveOnly, waitForData);
  }
  if (status != nullptr) *status = result;
  return result == zevpapi::kSuccess ? 1 : 0;
}
