// Connecting to the agent's DCH: TCP when the agent takes the connection within
// five seconds, else the UDP socket; then the receive thread of the connection.
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>

#include "dch_comm.h"
#include "dch_endpoint.h"
#include "dch_receive_task.h"
#include "dch_tcp_transport.h"
#include "trc1.h"
#include "zev0/hostnames.h"
#include "zev0/sockets.h"
#include "zev0/threads.h"

TRC_UNIT();

namespace {

constexpr int kConnectWaitMs = 5000;

// 0 when the TCP socket is connected within the wait, else the error (ETIMEDOUT
// for no answer). A refused connect makes the socket writable too: only the
// connect's own result or SO_ERROR tells.
int connectTCP(int socket, const sockaddr_in& address) {
  TRC(TRC_DETAIL, ">>>>> Try connect TCP to DCH");
  int rc = connect(socket, reinterpret_cast<const sockaddr*>(&address), sizeof address);
  int error = rc == 0 ? 0 : errno;
  TRC(TRC_DETAIL, "### connect rc=%d, errno %d", rc, error);
  if (rc == 0) return 0;
  if (error != EINPROGRESS && error != EINTR) return error;
  pollfd writable{socket, POLLOUT, 0};
  int ready;
  do {
    ready = poll(&writable, 1, kConnectWaitMs);
  } while (ready < 0 && errno == EINTR);
  TRC(TRC_DETAIL, ">>>>> DCH TCP connect select completed. nfds=%d", ready);
  if (ready == 0) return ETIMEDOUT;
  if (ready < 0) return errno;
  int socketError = 0;
  socklen_t length = sizeof socketError;
  if (getsockopt(socket, SOL_SOCKET, SO_ERROR, &socketError, &length) != 0) return errno;
  return socketError;
}

// Chooses the socket of the link: TCP when connected, else UDP. The caller holds
// the send lock.
void takeSocket(DCHcomm* comm, int tcp, int udp, const sockaddr_in& address) {
  int error = tcp >= 0 ? connectTCP(tcp, address) : EBADF;
  if (error == 0) {
    TRC(TRC_DETAIL, "TCP connect successful. DCH TCP available");
    comm->Socket = tcp;
    comm->ConnectionState = ZEVP_DCH_OVER_TCP;
    if (udp >= 0) ZEV0_CloseTheSocket(udp);
    return;
  }
  if (tcp >= 0) ZEV0_CloseTheSocket(tcp);
  if (error == ETIMEDOUT)
    TRC(TRC_ERROR, "TCP connection timed out. DCH TCP not available");
  else
    TRC(TRC_ERROR, "TCP connection failed. DCH TCP not available, errno %d", error);
  comm->Socket = udp >= 0 ? udp : 0;
  comm->ConnectionState = udp >= 0 ? ZEVP_DCH_OVER_UDP : ZEVP_DCH_NOT_CONNECTED;
}

void startReceiveTask(DCHcomm* comm) {
  pthread_mutex_lock(&comm->ReceiveReadyMutex);
  int32_t startsBefore = comm->ReceiveTaskStarts;
  pthread_mutex_unlock(&comm->ReceiveReadyMutex);
  pthread_t thread;
  if (ZEV0_CreateThread(ZEVP_DCHreceiveDataTask, comm, PTHREAD_CREATE_DETACHED, &thread) != 0) {
    int error = errno;
    TRC(TRC_ERROR, "***** ABORT! DCH inbound data receive task creation failed. Errno %d, Exiting...", error);
    std::printf("***** ABORT! DCH inbound data receive task creation failed. Errno %d, Exiting...\n", error);
    std::exit(1);
  }
  int rc = 0;
  pthread_mutex_lock(&comm->ReceiveReadyMutex);
  while (comm->ReceiveTaskStarts == startsBefore)
    rc = pthread_cond_wait(&comm->ReceiveReadyCond, &comm->ReceiveReadyMutex);
  pthread_mutex_unlock(&comm->ReceiveReadyMutex);
  TRC(TRC_DETAIL, ">>>>> DCH inbound data receive task creation signal received. rc %d errno %d", rc, rc);
}

}  // namespace

// No request waits afterwards, so the ending receive thread never needs the status mutex.
void ZEVP_DropDCHconnection(DCHcomm* comm) {
  BSV1_GetLock(&comm->SendLock);
  int socket = comm->Socket;
  comm->Socket = 0;
  comm->StatusPending = 0;
  BSV1_ReleaseLock(&comm->SendLock);
  if (socket != 0) shutdown(socket, SHUT_RDWR);
}

void ZEVP_TCPIP_WaitDCHcomeOnline(DCHcomm* comm) {
  ZEV0_WinSockInitialization();
  ZEVP_DropDCHconnection(comm);
  sockaddr_in local;
  int udp = ZEV0_OpenLocalSocket(SOCK_DGRAM, 0, &local, 0);
  int tcp = ZEV0_OpenLocalSocket(SOCK_STREAM, 0, &local, 0);
  if (udp < 0 && tcp < 0) {
    TRC(TRC_ERROR, "*** cannot open any socket, DCH communication impossible.  Exiting...");
    std::printf("*** cannot open any socket, DCH communication impossible.  Exiting...\n");
    std::exit(1);
  }
  DCHendpoint endpoint = ZEVP_ReadDCHendpoint();
  sockaddr_in address;
  if (ZEV0_ConvertNameToAddr(endpoint.host, endpoint.port, &address) == 0) {
    // Without an address a datagram would go to this host's own port: stay unconnected,
    // and the next request tries again.
    TRC(TRC_ERROR, "*** DCH host <%s> has no address, DCH not connected", endpoint.host);
    if (udp >= 0) ZEV0_CloseTheSocket(udp);
    if (tcp >= 0) ZEV0_CloseTheSocket(tcp);
    BSV1_GetLock(&comm->SendLock);
    comm->ConnectionState = ZEVP_DCH_NOT_CONNECTED;
    comm->DCHstatus = ZEVP_DCH_SEND_FAILED;
    BSV1_ReleaseLock(&comm->SendLock);
    return;
  }
  TRC(TRC_DETAIL, "Checking DCH at %s port %d", endpoint.host, endpoint.port);

  BSV1_GetLock(&comm->SendLock);
  comm->DCHaddress = address;
  comm->Socket = 0;
  BSV1_ReleaseLock(&comm->SendLock);
  ZEVP_AwaitReceiveTaskEnd(comm);  // the thread of the previous connection
  BSV1_GetLock(&comm->SendLock);
  takeSocket(comm, tcp, udp, address);
  comm->DCHstatus = 0;
  int socket = comm->Socket;
  BSV1_ReleaseLock(&comm->SendLock);
  int blocking = 0;
  if (socket != 0) ZEV0_SetSocketIoctl(socket, FIONBIO, &blocking);
  if (socket != 0) startReceiveTask(comm);
}

void ZEVP_TCPIP_HandleDCHdisconnect(DCHcomm* comm) {
  ZEVP_TCPIP_WaitDCHcomeOnline(comm);
  BSV1_GetLock(&comm->SendLock);
  comm->DCHstatus = ZEVP_DCH_CONNECTION_LOST;
  BSV1_ReleaseLock(&comm->SendLock);
}

void ZEVP_CloseDCHconnection(DCHcomm* comm) {
  ZEVP_DropDCHconnection(comm);
  ZEVP_AwaitReceiveTaskEnd(comm);
}
