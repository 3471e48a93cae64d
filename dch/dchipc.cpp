// The abstract DCH transport: serve or connect, the server thread and the request ring.
#include "dch/dchipc.h"

#include <new>

#include "trc1.h"
#include "zev0/threads.h"

TRC_UNIT();

namespace {

constexpr int kDefaultTimeout = 30;

}  // namespace

DCHipc::DCHipc(short typeOfService) : _typeOfService(typeOfService) {}

DCHipc::DCHipc() {
  TRC(TRC_ERROR, "Error: this constructor should not be used.");
  ipcSetError(1);
}

DCHipc::~DCHipc() {
  // A receive loop that never returns is left running: nothing stops it before the process ends.
  if (_serverThreadRunning) pthread_detach(_serverThread);
  if (_typeOfService == DCHIPC_SERVER) ipc_delete_cb();
}

int DCHipc::DCHtimeout() { return kDefaultTimeout; }

int DCHipc::startup(void* address, int connectTo) {
  switch (_typeOfService) {
    case DCHIPC_SERVER:
      TRC(TRC_DETAIL, "DCHipc SERVER Service initializing.");
      if (ipc_new_cb() != 0) break;
      if (ZEV0_CreateThread(IPCServerThread, this, PTHREAD_CREATE_JOINABLE, &_serverThread) != 0) {
        TRC(TRC_ERROR, "Error: IPCServerThread thread failed creation.");
        ipcSetError(1);
        break;
      }
      _serverThreadRunning = true;
      break;
    case DCHIPC_CLIENT:
    case DCHIPC_DCHCLIENT:
      TRC(TRC_DETAIL, "DCHipc CLIENT Service initializing.");
      ipcSetError(IPCClient(address, connectTo, _typeOfService));
      if (ipcGetError() != 0) TRC(TRC_ERROR, "Error: IPCClient failed.");
      break;
    default:
      TRC(TRC_ERROR, "Error: Invalid type of service for DCHipc: %d", _typeOfService);
      ipcSetError(1);
      break;
  }
  return ipcGetError();
}

void* DCHipc::IPCServerThread(void* channel) {
  auto* transport = static_cast<DCHipc*>(channel);
  if (transport->IPCServer() != 0) {
    TRC(TRC_ERROR, "Error: IPCServer initialization failure, cannot continue processing.");
    transport->ipcSetError(1);
  }
  return nullptr;
}

void DCHipc::joinServerThread() {
  if (!_serverThreadRunning) return;
  pthread_join(_serverThread, nullptr);
  _serverThreadRunning = false;
}

int DCHipc::ipc_new_cb() {
  _ipcCircularBuffer = new (std::nothrow) ipcCircularBuffer(this);
  if (_ipcCircularBuffer == nullptr) {
    TRC(TRC_ERROR, "Error: failed to allocate a circular buffer.");
    ipcSetError(1);
    return 1;
  }
  return 0;
}

void DCHipc::ipc_delete_cb() {
  delete _ipcCircularBuffer;
  _ipcCircularBuffer = nullptr;
}

// Only a server-mode transport has a ring.
ipcCircularBuffer* DCHipc::ring() {
  if (_ipcCircularBuffer == nullptr) TRC(TRC_ERROR, "Error: no circular buffer: type of service %d", _typeOfService);
  return _ipcCircularBuffer;
}

void DCHipc::ipc_put_data(int length, const void* message, const void* clientAddr, int clientAddrLen,
                          const char* clientName, unsigned int connectedSockFD, DCHmessageKind kind,
                          unsigned int connectionGeneration) {
  ipcCircularBuffer* buffer = ring();
  ipcSetError(buffer == nullptr ? 1
                                : buffer->put(length, message, clientAddr, clientAddrLen, clientName,
                                              connectedSockFD, kind, connectionGeneration));
}

void DCHipc::ipc_get_data(char** buffer, int* bufferSize, void* clientAddr, int* clientAddrLen, char* clientName,
                          unsigned int* connectedSockFD, DCHmessageKind* kind,
                          unsigned int* connectionGeneration) {
  ipcCircularBuffer* taken = ring();
  ipcSetError(taken == nullptr ? 1
                               : taken->get(buffer, bufferSize, clientAddr, clientAddrLen, clientName,
                                            connectedSockFD, kind, connectionGeneration));
}
