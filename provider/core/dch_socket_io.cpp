// Sending to and receiving from the agent's DCH on the socket of the connection.
#include <arpa/inet.h>
#include <poll.h>
#include <sys/socket.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>

#include "dch_comm.h"
#include "dch_endpoint.h"
#include "dch_tcp_transport.h"
#include "statistics.h"
#include "trc1.h"

TRC_UNIT();

namespace {

using SteadyClock = std::chrono::steady_clock;

struct Connection {
  int socket;
  bool overTCP;
  sockaddr_in address;
};

Connection currentConnection(DCHcomm* comm) {
  BSV1_GetLock(&comm->SendLock);
  Connection connection{comm->Socket, comm->ConnectionState == ZEVP_DCH_OVER_TCP, comm->DCHaddress};
  BSV1_ReleaseLock(&comm->SendLock);
  return connection;
}

bool stillConnected(DCHcomm* comm, int socket) {
  BSV1_GetLock(&comm->SendLock);
  bool same = comm->Socket == socket;
  BSV1_ReleaseLock(&comm->SendLock);
  return same;
}

bool fromDCH(const sockaddr_in& sender, const sockaddr_in& dch) {
  return sender.sin_addr.s_addr == dch.sin_addr.s_addr && sender.sin_port == dch.sin_port;
}

void traceStray(const sockaddr_in& sender, ssize_t bytes) {
  char senderName[INET_ADDRSTRLEN] = "?";
  inet_ntop(AF_INET, &sender.sin_addr, senderName, sizeof senderName);
  TRC(TRC_ERROR, "***** datagram of %d bytes from %s port %d is not from the DCH, ignored", static_cast<int>(bytes),
      senderName, ntohs(sender.sin_port));
}

int millisecondsLeft(SteadyClock::time_point deadline) {
  auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - SteadyClock::now()).count();
  return left > 0 ? static_cast<int>(left) : 0;
}

// The end of the reply wait of the request in flight, when one is and its wait ends
// after the deadline: a receive that began before the request was sent would
// otherwise time it out early, by as much as the whole wait.
bool laterReplyDue(DCHcomm* comm, SteadyClock::time_point deadline, SteadyClock::time_point* due) {
  BSV1_GetLock(&comm->SendLock);
  bool pending = comm->StatusPending != 0;
  int64_t sentMs = comm->RequestSentMs;
  int32_t request = comm->RequestAwaited;
  BSV1_ReleaseLock(&comm->SendLock);
  if (!pending) return false;
  auto sent = SteadyClock::time_point(std::chrono::milliseconds(sentMs));
  auto replyDue = sent + std::chrono::seconds(ZEVP_DCHreplyWait());
  if (replyDue <= deadline) return false;
  *due = replyDue;
  TRC(TRC_DETAIL, ">>>>> DCH reply wait of request %d runs on from its send", request);
  return true;
}

// A datagram of the DCH within the reply wait, which for a request in flight runs
// from its send; others are traced and skipped.
int receiveDatagram(DCHcomm* comm, const Connection& connection, char* buffer, int size, int* errorNumber) {
  auto deadline = SteadyClock::now() + std::chrono::seconds(ZEVP_DCHreplyWait());
  for (;;) {
    // A socket shut down by a reconnect stays readable without a datagram.
    if (!stillConnected(comm, connection.socket)) return 0;
    TRC(TRC_DETAIL, ">>>>> DCH receive select wait");
    pollfd readable{connection.socket, POLLIN, 0};
    int ready = poll(&readable, 1, millisecondsLeft(deadline));
    int error = ready < 0 ? errno : 0;
    TRC(TRC_DETAIL, ">>>>> DCH receive select completed. nfds=%d, errno %d", ready, error);
    if (ready < 0 && error == EINTR) continue;
    if (ready < 0) {
      *errorNumber = error;
      return -1;
    }
    if (ready == 0 && laterReplyDue(comm, deadline, &deadline)) continue;
    if (ready == 0) {
      *errorNumber = EAGAIN;
      return -1;
    }
    TRC(TRC_DETAIL, ">>>>> DCH blocking receive wait");
    std::memset(buffer, 0, static_cast<size_t>(size));
    sockaddr_in sender{};
    socklen_t senderLength = sizeof sender;
    ssize_t bytes = recvfrom(connection.socket, buffer, static_cast<size_t>(size), MSG_DONTWAIT,
                             reinterpret_cast<sockaddr*>(&sender), &senderLength);
    *errorNumber = bytes < 0 ? errno : 0;
    TRC(TRC_DETAIL, "### recvfrom rc %d, errno %d", static_cast<int>(bytes), *errorNumber);
    if (bytes < 0 && (*errorNumber == EAGAIN || *errorNumber == EINTR)) continue;
    if (bytes < 0 || senderLength == 0 || fromDCH(sender, connection.address)) return static_cast<int>(bytes);
    traceStray(sender, bytes);
  }
}

}  // namespace

int ZEVP_TCPIP_DCHreceive(DCHcomm* comm, char* buffer, int size, int* errorNumber) {
  *errorNumber = 0;
  Connection connection = currentConnection(comm);
  if (connection.socket == 0) {
    *errorNumber = ENOTCONN;
    return -1;
  }
  if (!connection.overTCP) return receiveDatagram(comm, connection, buffer, size, errorNumber);
  TRC(TRC_DETAIL, ">>>>> DCH blocking receive wait");
  std::memset(buffer, 0, static_cast<size_t>(size));
  ssize_t bytes;
  do {
    bytes = recv(connection.socket, buffer, static_cast<size_t>(size), 0);
  } while (bytes < 0 && errno == EINTR);
  *errorNumber = bytes < 0 ? errno : 0;
  TRC(TRC_DETAIL, "### recvfrom rc %d, errno %d", static_cast<int>(bytes), *errorNumber);
  return static_cast<int>(bytes);
}

// The caller holds the send lock. Over TCP a send may take part of a piece: the
// rest goes next. MSG_NOSIGNAL: a connection the agent closed answers EPIPE rather
// than ending the process.
int ZEVP_TCPIP_DCHsend(DCHcomm* comm, const char* buffer, int length, int* errorNumber) {
  *errorNumber = 0;
  TRC(TRC_DETAIL, ">>>>>Sending request %d to DCH. Total data length %d", comm->RequestAwaited, length);
  if (comm->Socket == 0) {
    *errorNumber = ENOTCONN;
    TRC(TRC_ERROR, "*** no DCH connection to send on");
    return 0;
  }
  bool overTCP = comm->ConnectionState == ZEVP_DCH_OVER_TCP;
  if (!overTCP && length > ZEVP_DCH_SEND_PIECE) {
    *errorNumber = EMSGSIZE;
    TRC(TRC_ERROR, "*** request of %d bytes does not fit one DCH datagram", length);
    return 0;
  }
  int sent = 0;
  for (int piece = 1; sent < length; ++piece) {
    size_t size = static_cast<size_t>(std::min(length - sent, ZEVP_DCH_SEND_PIECE));
    ssize_t rc = overTCP ? send(comm->Socket, buffer + sent, size, MSG_NOSIGNAL)
                         : sendto(comm->Socket, buffer + sent, size, MSG_NOSIGNAL,
                                  reinterpret_cast<const sockaddr*>(&comm->DCHaddress), sizeof comm->DCHaddress);
    *errorNumber = rc < 0 ? errno : 0;
    TRC(TRC_DETAIL, "### sendto %d rc %d, errno %d", piece, static_cast<int>(rc), *errorNumber);
    if (rc < 0 && *errorNumber == EINTR) continue;
    if (rc < 0) break;
    sent += static_cast<int>(rc);
  }
  if (sent == length) ZEVP_UpdateStatLogDCHio(1);
  return sent;
}
