// The server side of the socket transport: it owns the DCH port and, on the base's server
// thread, turns every datagram and every whole TCP message into one entry of the request
// ring. It never waits on one peer: each readable connection gives one piece per wake-up,
// and a message whose rest does not come within the DCH time-out is asked for again.
#include <arpa/inet.h>
#include <fcntl.h>
#include <sys/ioctl.h>
#include <sys/socket.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>

#include "dch/channel_functions.h"
#include "dch/ipc_sock.h"
#include "ipc_sock_server_state.h"
#include "server_endpoints.h"
#include "trc1.h"
#include "zev0/hostnames.h"
#include "zev0/prodspec.h"
#include "zev0/sockets.h"
#include "zev0/text.h"
#include "zev0/typed_field.h"

TRC_UNIT();

namespace {

constexpr int kListenBacklog = 5;
constexpr int kPieceSize = 4096;
constexpr int kAddressLength = static_cast<int>(sizeof(sockaddr_in));
constexpr char kDefaultProductName[] = "Dorvane Agent";

const char* productName() {
  const char* name = ZEV0_QueryProductSpec(ZEV2_PRODUCT_NAME);
  return name != nullptr ? name : kDefaultProductName;
}

bool watchable(int sockFD) { return sockFD >= 0 && sockFD < FD_SETSIZE; }

bool inMask(int sockFD, const fd_set* mask) { return watchable(sockFD) && FD_ISSET(sockFD, mask); }

// Nothing to read after all, or a signal: the loop simply waits again.
bool transientError(int error) { return error == EAGAIN || error == EWOULDBLOCK || error == EINTR; }

void dottedName(const sockaddr_in& address, char* name, size_t size) {
  if (inet_ntop(AF_INET, &address.sin_addr, name, static_cast<socklen_t>(size)) == nullptr)
    snprintf(name, size, "0.0.0.0");
}

// Descriptor 0 stands for a free client slot: a connection accepted on it moves elsewhere.
int awayFromZero(int sockFD) {
  if (sockFD != 0) return sockFD;
  int moved = fcntl(sockFD, F_DUPFD_CLOEXEC, 1);
  ZEV0_CloseTheSocket(sockFD);
  return moved;
}

}  // namespace

int ipcSock::IPCServer() {
  _server = new (std::nothrow) ipcSockServerState;
  if (_server == nullptr) {
    TRC(TRC_ERROR, "Error: allocating %d bytes for the server failed.", static_cast<int>(sizeof(ipcSockServerState)));
    return 1;
  }
  memset(_sockClientFD, 0, sizeof _sockClientFD);
  if (!openServerSockets()) exitPortInUse();
  if (!reachableAtDCHaddress()) exitUnreachable();
  TRC(TRC_ERROR, "Successfully opened %s DCH port %d", productName(), _envPortNo);
  if (listen(_sockTCP, kListenBacklog) != 0) {
    TRC(TRC_ERROR, "Error: listen for _sockTCP failed. errno=%d", errno);
    _sockError = 1;
  } else {
    _listening = true;
  }
  ServerEndpoints::setPortSocket(_sockUDP);
  putPseudoMessage(DCHmessageKind::serverReady, _sockAddress, nullptr, 0, 0);
  return serveUntilStopped();
}

bool ipcSock::openServerSockets() {
  memset(&_sockAddress, 0, sizeof _sockAddress);
  _sockUDP = ZEV0_OpenLocalSocket(SOCK_DGRAM, htons(_envPortNo), &_sockAddress, 0);
  memset(&_sockAddress, 0, sizeof _sockAddress);
  _sockTCP = ZEV0_OpenLocalSocket(SOCK_STREAM, htons(_envPortNo), &_sockAddress, 0);
  return watchable(_sockUDP) && watchable(_sockTCP);
}

// Another agent holds the port: this one cannot serve.
void ipcSock::exitPortInUse() {
  TRC(TRC_ERROR, "Error: Could not open TCP/UDP sockets bound to %s DCH port %d", productName(), _envPortNo);
  TRC(TRC_ERROR, "Determine if another copy of %s is already active on this system.  Exiting...\n\n", productName());
  fflush(stderr);
  fflush(stdout);
  exit(1);
}

// A DCH address that does not resolve is left to the clients, which then fail; a
// server bound to every address is reached at any.
bool ipcSock::reachableAtDCHaddress() const {
  sockaddr_in named{};
  if (_sockAddress.sin_addr.s_addr == htonl(INADDR_ANY) || !ZEV0_ConvertNameToAddr(_envDCHname, 0, &named))
    return true;
  return named.sin_addr.s_addr == _sockAddress.sin_addr.s_addr;
}

// The DCH address names another address than the one the local host name gives, to
// which every socket of the process is bound: no client would reach the server.
void ipcSock::exitUnreachable() {
  char bound[INET_ADDRSTRLEN];
  dottedName(_sockAddress, bound, sizeof bound);
  char message[512];
  snprintf(message, sizeof message,
           "Error: the DCH address <%s> is not the address <%s> of the local host name in effect <%s>, to which "
           "%s DCH port %d is bound: no client would reach it. Set ZEVA_DCH_ADDR to that name or address, or leave "
           "it unset.  Exiting...",
           _envDCHname, bound, ZEV0_LocalHostNameString(), productName(), _envPortNo);
  TRC(TRC_ERROR, "%s", message);
  fprintf(stderr, "%s\n", message);
  fflush(stderr);
  fflush(stdout);
  exit(1);
}

int ipcSock::serveUntilStopped() {
  while (_sockError <= 1) {
    fd_set mask;
    int count = std::max(sockSetSelectReadMask(&mask), _stopPipe[0] + 1);
    FD_SET(_stopPipe[0], &mask);
    timeval limit;
    int ready = select(count, &mask, nullptr, nullptr, stallTimeout(&limit));
    if (ready < 0 && errno == EINTR) continue;
    if (ready < 0) {
      TRC(TRC_ERROR, "Error: select failed. <%d>", errno);
      _sockError = 2;
      break;
    }
    if (FD_ISSET(_stopPipe[0], &mask)) return 0;
    if (ready > 0) {
      if (inMask(_sockUDP, &mask))
        takeDatagram();
      else if (_listening && inMask(_sockTCP, &mask))
        acceptConnection();
      else
        serveConnections(&mask);
    }
    expireStalledMessages();
  }
  TRC(TRC_ERROR, "Error: IPC errors[%d], cannot continue.", _sockError.load());
  return 2;
}

// Until the earliest deadline of a message whose rest is due; null (no limit) when none is.
timeval* ipcSock::stallTimeout(timeval* limit) const {
  bool any = false;
  auto earliest = std::chrono::steady_clock::time_point::max();
  for (int slot = 0; slot < IPCSOCK_MAX_CLIENTS; ++slot) {
    const TcpMessageAssembly& message = _server->connections[slot].message;
    if (_sockClientFD[slot] <= 0 || !message.timed()) continue;
    earliest = std::min(earliest, message.deadline());
    any = true;
  }
  if (!any) return nullptr;
  auto wait = std::chrono::duration_cast<std::chrono::microseconds>(earliest - std::chrono::steady_clock::now());
  long long micros = std::max<long long>(wait.count(), 0);
  limit->tv_sec = static_cast<time_t>(micros / 1000000);
  limit->tv_usec = static_cast<suseconds_t>(micros % 1000000);
  return limit;
}

// One datagram is one message; it must be exactly as long as it declares.
void ipcSock::takeDatagram() {
  sockaddr_in sender{};
  socklen_t senderLength = sizeof sender;
  char* datagram = _server->workBuffer;
  ssize_t bytes = recvfrom(_sockUDP, datagram, IPCSOCK_DATAGRAM_BUFFER_SIZE, 0, reinterpret_cast<sockaddr*>(&sender),
                           &senderLength);
  int error = errno;
  if (bytes < 0 && transientError(error)) return;
  if (bytes <= 0) {
    TRC(TRC_ERROR, "Error: UDP - recvfrom failed. bytesRead <%d>, sockerr <%d>", static_cast<int>(bytes), error);
    _sockError = 1;
    return;
  }
  char senderName[INET_ADDRSTRLEN];
  dottedName(sender, senderName, sizeof senderName);
  uint32_t declared = bytes >= DCH_MESSAGE_HEADER_SIZE ? ZEV0_MessageTotalLength(datagram) : 0;
  if (declared != static_cast<uint32_t>(bytes)) {
    TRC(TRC_ERROR, "Error: UDP datagram of %d bytes from %s declares %u bytes: dropped", static_cast<int>(bytes),
        senderName, declared);
    return;
  }
  ipc_put_data(static_cast<int>(bytes), datagram, &sender, kAddressLength, senderName, 0, DCHmessageKind::message,
               0);
}

// With every slot taken, the connection is closed at once: left pending it would keep the
// listener readable and starve the connected clients.
void ipcSock::acceptConnection() {
  sockaddr_in peer{};
  socklen_t peerLength = sizeof peer;
  int sockFD = accept4(_sockTCP, reinterpret_cast<sockaddr*>(&peer), &peerLength, SOCK_CLOEXEC);
  if (sockFD < 0) {
    int error = errno;
    if (transientError(error) || error == ECONNABORTED) return;
    TRC(TRC_ERROR, "Error: accept failed. errno=%d", error);
    _sockError = 1;
    return;
  }
  int slot = sockGetAvailableIndex();
  if (slot < 0) {
    TRC(TRC_ERROR, "Error: Maximum of %d TCP clients has been reached.", IPCSOCK_MAX_CLIENTS);
    ZEV0_CloseTheSocket(sockFD);
    return;
  }
  sockFD = awayFromZero(sockFD);
  if (!watchable(sockFD)) {
    TRC(TRC_ERROR, "Error: accepted socket %d cannot be watched: closed", sockFD);
    if (sockFD >= 0) ZEV0_CloseTheSocket(sockFD);
    return;
  }
  // A peer that stops reading must not block the writers of its replies.
  int nonBlocking = 1;
  ZEV0_SetSocketIoctl(sockFD, FIONBIO, &nonBlocking);
  ServerConnection& connection = _server->connections[slot];
  connection.generation = ServerEndpoints::opened(sockFD);
  connection.peer = peer;
  dottedName(peer, connection.peerName, sizeof connection.peerName);
  _sockClientFD[slot] = sockFD;
  TRC(TRC_DETAIL, "_sockClientFD[%d]=%d accepted from %s, generation %u", slot, sockFD, connection.peerName,
      connection.generation);
}

void ipcSock::serveConnections(const fd_set* mask) {
  sockResetIndex();
  int slot;
  for (int sockFD = sockCheckReadMask(mask, &slot); sockFD != -1; sockFD = sockCheckReadMask(mask, &slot)) {
    if (sockFD > 0) readPiece(slot);
  }
}

// One receive per wake-up; a piece asks for a full 4096 bytes, not for the rest of the
// message, so two messages written back to back count as one of the wrong length.
void ipcSock::readPiece(int slot) {
  int sockFD = _sockClientFD[slot];
  TcpMessageAssembly& message = _server->connections[slot].message;
  char* piece = _server->workBuffer;
  ssize_t bytes = recv(sockFD, piece, kPieceSize, 0);
  int error = errno;
  if (bytes < 0 && transientError(error)) return;
  bool initRead = !message.inProgress();
  TcpMessageState state = bytes > 0 ? message.add(piece, static_cast<int>(bytes), _envDCHtimeout)
                                    : TcpMessageState::partial;
  if (DV_Debug() == 2) {
    TRC1_Printf(&trcUnit_, __LINE__, "ipcBufCount=%d totalLen=%d totalRead=%d bytesRead=%d initRead=%d moreData=%d",
                message.pieces(), static_cast<int>(message.totalLen()), static_cast<int>(message.totalRead()),
                static_cast<int>(bytes), initRead ? 1 : 0, state == TcpMessageState::partial && bytes > 0 ? 1 : 0);
    if (bytes > 0) ZEV0_PrintDump(piece, 0, static_cast<int>(bytes));
  }
  if (bytes <= 0) {
    // A reset, or an end with nothing of a message read, is the end of the connection; an
    // end in mid-message first asks for the message again.
    if ((bytes < 0 && error == ECONNRESET) || !message.inProgress())
      closeConnection(slot);
    else
      askForResend(slot);
    return;
  }
  finishPiece(slot, state);
}

void ipcSock::finishPiece(int slot, TcpMessageState state) {
  ServerConnection& connection = _server->connections[slot];
  TcpMessageAssembly& message = connection.message;
  switch (state) {
    case TcpMessageState::partial:
      return;
    case TcpMessageState::complete:
      ipc_put_data(static_cast<int>(message.totalRead()), message.data(), &connection.peer, kAddressLength,
                   connection.peerName, static_cast<unsigned int>(_sockClientFD[slot]), DCHmessageKind::message,
                   connection.generation);
      message.reset();
      return;
    case TcpMessageState::wrongLength:
      askForResend(slot);
      return;
    case TcpMessageState::refusedTotal:
      TRC(TRC_ERROR, "Error: _sockClientFD[%d]=%d declares a message of %u bytes, not within %u..%u: closed", slot,
          _sockClientFD[slot], message.totalLen(), TCP_MESSAGE_MIN_BYTES, TCP_MESSAGE_MAX_BYTES);
      closeConnection(slot);
      return;
  }
}

// The clock is read only while some message is due (on some hosts each reading is a
// system call).
void ipcSock::expireStalledMessages() {
  std::chrono::steady_clock::time_point now{};
  bool nowRead = false;
  for (int slot = 0; slot < IPCSOCK_MAX_CLIENTS; ++slot) {
    const TcpMessageAssembly& message = _server->connections[slot].message;
    if (_sockClientFD[slot] <= 0 || !message.timed()) continue;
    if (!nowRead) {
      now = std::chrono::steady_clock::now();
      nowRead = true;
    }
    if (!message.expired(now)) continue;
    TRC(TRC_ERROR, "Error: _sockClientFD[%d]=%d sent no more of its message within %d seconds", slot,
        _sockClientFD[slot], _envDCHtimeout);
    askForResend(slot);
  }
}

// The bytes read are dropped; the connection stays, and the DCH server answers with the
// resend status.
void ipcSock::askForResend(int slot) {
  ServerConnection& connection = _server->connections[slot];
  TRC(TRC_ERROR, "Error: TCP received %d bytes, expected %d bytes", static_cast<int>(connection.message.totalRead()),
      static_cast<int>(connection.message.totalLen()));
  connection.message.reset();
  putPseudoMessage(DCHmessageKind::resend, connection.peer, connection.peerName,
                   static_cast<unsigned int>(_sockClientFD[slot]), connection.generation);
}

void ipcSock::closeConnection(int slot) {
  ServerConnection& connection = _server->connections[slot];
  int sockFD = _sockClientFD[slot];
  TRC(TRC_DETAIL, "_sockClientFD[%d]=%d closed TCP connection: continue...", slot, sockFD);
  ServerEndpoints::close(sockFD);
  _sockClientFD[slot] = 0;
  connection.message.release();
  putPseudoMessage(DCHmessageKind::disconnect, connection.peer, nullptr, static_cast<unsigned int>(sockFD),
                   connection.generation);
  connection.generation = 0;
}

// The kind travels beside the text, which is there for traces only.
void ipcSock::putPseudoMessage(DCHmessageKind kind, const sockaddr_in& address, const char* clientName,
                               unsigned int connectedSockFD, unsigned int connectionGeneration) {
  const char* text = DCH_MessageKindText(kind);
  ipc_put_data(static_cast<int>(strlen(text)), text, &address, kAddressLength, clientName, connectedSockFD, kind,
               connectionGeneration);
}

int ipcSock::sockSetSelectReadMask(fd_set* mask) {
  FD_ZERO(mask);
  int highest = -1;
  auto watch = [mask, &highest](int sockFD) {
    if (!watchable(sockFD)) return;
    FD_SET(sockFD, mask);
    highest = std::max(highest, sockFD);
  };
  if (_listening) watch(_sockTCP);
  watch(_sockUDP);
  for (int sockFD : _sockClientFD) {
    if (sockFD > 0) watch(sockFD);
  }
  return highest + 1;
}

int ipcSock::sockGetAvailableIndex() const {
  for (int slot = 0; slot < IPCSOCK_MAX_CLIENTS; ++slot) {
    if (_sockClientFD[slot] == 0) return slot;
  }
  return -1;
}

int ipcSock::sockCheckReadMask(const fd_set* mask, int* index) {
  int slot = _sockIndex++;
  *index = -1;
  if (slot >= IPCSOCK_MAX_CLIENTS) return -1;
  int sockFD = _sockClientFD[slot];
  if (sockFD <= 0 || !inMask(sockFD, mask)) return 0;
  *index = slot;
  return sockFD;
}
