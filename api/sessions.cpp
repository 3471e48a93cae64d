// TCP sessions: a handle connected to the API data provider sends its requests on the
// connection and waits for each reply without a time-out.
#include <arpa/inet.h>
#include <poll.h>
#include <sys/socket.h>

#include <cerrno>

#include "api_trace.h"
#include "handles.h"
#include "records.h"
#include "socket_waits.h"
#include "status_codes.h"

namespace zevpapi {

namespace {

constexpr int kConnectWaitSeconds = 3;

int Abandon(APIhandle* handle, int status) {
  CloseSessionSocket(handle);
  return status;
}

// Connected only once the pending connect has ended without an error: a refused one
// makes the socket writable as well.
bool ConnectCompleted(int socket) {
  const Clock::time_point deadline = DeadlineIn(kConnectWaitSeconds);
  if (!AwaitSocket(socket, POLLOUT, &deadline)) {
    TraceStep("session", "connection not made within %d seconds", kConnectWaitSeconds);
    return false;
  }
  int error = 0;
  socklen_t length = sizeof error;
  if (getsockopt(socket, SOL_SOCKET, SO_ERROR, &error, &length) != 0) error = errno;
  TraceStep("session", "connection ended with error %d", error);
  return error == 0;
}

int OpenTCP(APIhandle* handle) {
  int status = ZEVP_GetAPIdpAddr(reinterpret_cast<sockaddr*>(&DPAA->dpAddress));
  if (status != kSuccess) return status;
  int socket = ZEVP_OpenSocket(SOCK_STREAM);
  if (socket < 0) return kConnectFailed;  // without a socket there is no connection
  handle->sessionSocket = socket;
  sockaddr_in local{};
  local.sin_family = AF_INET;
  local.sin_addr.s_addr = htonl(INADDR_ANY);
  if (bind(socket, reinterpret_cast<sockaddr*>(&local), sizeof local) != 0) {
    TraceStep("session", "bind failed, errno %d", errno);
    return Abandon(handle, kBindFailed);
  }
  socklen_t length = sizeof local;
  getsockname(socket, reinterpret_cast<sockaddr*>(&local), &length);
  handle->sessionKey = ntohs(local.sin_port);
  if (connect(socket, reinterpret_cast<const sockaddr*>(&DPAA->dpAddress), sizeof DPAA->dpAddress) != 0 &&
      errno != EAGAIN && errno != EINPROGRESS) {
    TraceStep("session", "connect failed, errno %d", errno);
    return Abandon(handle, kConnectFailed);
  }
  if (!ConnectCompleted(socket)) return Abandon(handle, kConnectFailed);
  handle->connected = 1;
  TraceStep("session", "socket %d connected, key %u", socket, handle->sessionKey);
  return kSuccess;
}

int OpenSession(APIhandle* handle) {
  if (DPAA == nullptr || !HandlePassesCheck(handle)) return kInvalidHandle;
  if (handle->sessionSocket != 0) return kSessionOpen;
  if (DPAA->transport == 'I') return ZEVP_OpenTCP(handle);
  if (DPAA->transport == 'R') return ZEVP_OpenRPC(handle);
  return kUnknownTransport;
}

}  // namespace

}  // namespace zevpapi

using zevpapi::CallScope;

extern "C" int ZEVP_OpenTCP(APIhandle* handle) {
  if (handle == nullptr || DPAA == nullptr) return zevpapi::kInvalidHandle;
  return zevpapi::OpenTCP(handle);
}

extern "C" int ZEVP_OpenRPC(APIhandle*) { return zevpapi::kRpcTransport; }

extern "C" int dp_OpenSession(APIhandle* handle, int* status) {
  CallScope call("dp_OpenSession", status);
  return call.finish(zevpapi::OpenSession(handle));
}

extern "C" int dp_CloseSession(APIhandle* handle, int* status) {
  CallScope call("dp_CloseSession", status);
  if (!zevpapi::HandlePassesCheck(handle)) return call.finish(zevpapi::kInvalidHandle);
  zevpapi::CloseSessionSocket(handle);
  return call.finish(zevpapi::kSuccess);
}
