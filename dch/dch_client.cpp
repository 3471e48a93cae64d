// The DCH client: construction on the transport of the process's IPC type, destruction, the
// settings, and the steps that every exchange shares (write the request, read one reply,
// take its status).
#include "dch/dch_client.h"

#include <cstdlib>
#include <cstring>
#include <new>

#include "dch/channel_functions.h"
#include "dch/ipc_lpc.h"
#include "dch/ipc_sock.h"
#include "dch_message_parser.h"
#include "trc1.h"
#include "zev0/sockets.h"
#include "zev0/typed_field.h"

TRC_UNIT();

DCHclient::DCHclient(int interruptSocket, int useFromSockPool)
    : _ipcType(ZEVA_GetIPCtype()), _interruptFD(IPCSOCK_NO_SOCKET) {
  if (_ipcType == kSocketsIPC) {
    auto* transport = new (std::nothrow) ipcSock(DCHIPC_DCHCLIENT, 0, useFromSockPool);
    _ipcClient = transport;
    if (transport == nullptr) {
      TRC(TRC_ERROR, "Error: ipcSock creation failed.");
      _error = 1;
    } else {
      if (interruptSocket != 0) openInterruptSocket();
      _DCHtimeout = static_cast<short>(transport->DCHtimeout());
      _ipcReadTimeout = _DCHtimeout;
    }
  } else if (_ipcType == kLocalProcedureCallIPC) {
    _ipcClient = new (std::nothrow) ipcLPC(DCHIPC_CLIENT, nullptr, 0);
    if (_ipcClient == nullptr) _error = 1;
  } else {
    TRC(TRC_ERROR, "Error: Unrecognized IPC type %d", _ipcType);
    std::exit(1);
  }
  if (_ipcClient != nullptr && _ipcClient->ipcGetError() > 0) {
    TRC(TRC_ERROR, "Error: DCH Client cannot continue. IPC initialization failed");
    std::exit(1);
  }
}

DCHclient::~DCHclient() {
  dropReply();
  if (_ipcType == kSocketsIPC) {
    if (_ipcClient != nullptr) _ipcClient->releaseIPC();
    if (_interruptFD != IPCSOCK_NO_SOCKET) ZEV0_CloseTheSocket(_interruptFD);
  }
  delete _ipcClient;
}

void DCHclient::setReadTimeout(int seconds) { _ipcReadTimeout = seconds != 0 ? seconds : _DCHtimeout; }

void DCHclient::setRetryRead(int retry) {
  if (_ipcClient != nullptr) _ipcClient->ipcSetRetryRead(retry);
}

bool DCHclient::usable(long* status) const {
  if (status != nullptr) *status = 0;
  return _error < 1;
}

int DCHclient::fail(long* status, long localStatus) {
  if (status != nullptr) *status = localStatus;
  return failWith(1);
}

int DCHclient::failWith(int error) {
  _error = error;
  return error;
}

void DCHclient::clearRequest() { memset(_requestBuffer, 0, sizeof _requestBuffer); }

// A length of 0 is a request that could not be built (its builder has said why).
bool DCHclient::writeRequest(const char* request, uint32_t length) {
  if (length == 0) return false;
  return _ipcClient->ipcWrite(request, static_cast<int>(length), 0) == static_cast<int>(length);
}

bool DCHclient::readReply(int wait) {
  void* reply = nullptr;
  if (_ipcClient->ipcRead(&reply, wait) < 1) return false;
  _readBuffer = static_cast<char*>(reply);
  return true;
}

// The transport hands back the whole message, as long as its first word says.
uint32_t DCHclient::replyLength() const { return ZEV0_MessageTotalLength(_readBuffer); }

void DCHclient::dropReply() {
  delete[] _readBuffer;
  _readBuffer = nullptr;
}

// Reads a status reply (with the handle when handle is not null) into the out-parameters.
int DCHclient::awaitStatus(long* status, int wait, long whenNoStatus, long* handle) {
  if (!readReply(wait)) {
    TRC(TRC_ERROR, "Error: ipcRead with wait[%d] failed", wait);
    return fail(status, DCHCLIENT_STATUS_NO_REPLY);
  }
  DCHstatusReply reply;
  bool parsed = handle != nullptr ? DCH_ParseStatusReplyWithHandle(_readBuffer, replyLength(), &reply)
                                  : DCH_ParseStatusReply(_readBuffer, replyLength(), &reply);
  dropReply();
  if (!parsed) return fail(status, whenNoStatus);
  if (status != nullptr) *status = reply.status;
  if (handle != nullptr) *handle = static_cast<long>(reply.handle);
  return _error;
}

// The request of length bytes in _requestBuffer, then its status reply within the DCH time-out.
int DCHclient::sendAndAwaitStatus(long* status, uint32_t length, const char* writeError, long whenNoStatus) {
  if (!writeRequest(_requestBuffer, length)) {
    TRC(TRC_ERROR, "%s", writeError);
    return fail(status, DCHCLIENT_STATUS_NOT_SENT);
  }
  return awaitStatus(status, _DCHtimeout, whenNoStatus, nullptr);
}
