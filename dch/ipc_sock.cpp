// The socket transport: construction in either mode, destruction, and the small accessors.
#include "dch/ipc_sock.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "dch/channel_functions.h"
#include "trc1.h"
#include "udp_socket_pool.h"
#include "zev0/sockets.h"

TRC_UNIT();

namespace {

void closeOwnSocket(int sockFD) {
  if (sockFD >= 0) ZEV0_CloseTheSocket(sockFD);
}

}  // namespace

ipcSock::ipcSock(short typeOfService, int connectTo, int useFromSockPool)
    : DCHipc(typeOfService), _useFromSockPool(useFromSockPool), _connectTo(connectTo) {
  if (ZEVA_GetLock(ZEVA_GetEnvVarsInitLock(), this) == 0) {
    if (_envVarsInit == 0) {
      _envVarsInit = 1;
      getEnvVariables();
    }
    if (useFromSockPool != 0 && connectTo == 0 && typeOfService == DCHIPC_DCHCLIENT &&
        UDPSockPool::make(_envDCHUDPSocks) != 0)
      _sockError = 1;
    ZEVA_ReleaseLock(ZEVA_GetEnvVarsInitLock(), this);
  }
  // Without a way to wake its loop, a server could not be destroyed safely.
  if (typeOfService == DCHIPC_SERVER && (pipe2(_stopPipe, O_CLOEXEC) != 0 || _stopPipe[0] >= FD_SETSIZE)) {
    TRC(TRC_ERROR, "Error: stop pipe of the server failed. errno=%d", errno);
    _sockError = 1;
    ipcSetError(1);
    return;
  }
  int started = startup(nullptr, connectTo);
  _serverStarted = typeOfService == DCHIPC_SERVER && started == 0;
  _sockError = started;
  if (_sockError != 0) TRC(TRC_ERROR, "Error: startup failed. _sockError=%d", _sockError.load());
  _sockError = ipcGetError();
  if (_sockError != 0) TRC(TRC_ERROR, "Error: _sockError=%d", _sockError.load());
}

ipcSock::ipcSock() : DCHipc() {
  TRC(TRC_ERROR, "Error: this constructor should not be used.");
  _sockError = 1;
}

ipcSock::~ipcSock() {
  if (ipcTypeOfService() == DCHIPC_SERVER) {
    stopServer();
    return;
  }
  // An owner that forgot to give its pooled socket back would shrink the pool for good.
  if (_holdsPooledSocket) releaseIPC();
  closeOwnSocket(_sockTCP);
  if (_useFromSockPool == 0 || (ipcTypeOfService() == DCHIPC_DCHCLIENT && !UDPSockPool::holds(_sockUDP)))
    closeOwnSocket(_sockUDP);
}

void ipcSock::setClientAddr(const void* address, int /*length: always a 16-byte IPv4 record*/) {
  if (address == nullptr)
    memset(&_sockAddress, 0, sizeof _sockAddress);
  else
    memcpy(&_sockAddress, address, sizeof _sockAddress);
}

int ipcSock::DCHtimeout() { return _envDCHtimeout; }

unsigned short ipcSock::sockPortTCP() {
  _portTCP = ZEV0_RetrieveSockPort(_sockTCP);
  return _portTCP;
}

unsigned short ipcSock::sockPortUDP() {
  _portUDP = ZEV0_RetrieveSockPort(_sockUDP);
  return _portUDP;
}
