// The client side of the socket transport: its sockets, borrowing from the UDP pool,
// sending by UDP or on a server's TCP connection, and reading a reply joined from datagrams.
#include <arpa/inet.h>
#include <sys/socket.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <new>

#include "bsv1.h"
#include "dch/ipc_sock.h"
#include "server_endpoints.h"
#include "socket_wait.h"
#include "trc1.h"
#include "udp_socket_pool.h"
#include "zev0/hostnames.h"
#include "zev0/sockets.h"
#include "zev0/typed_field.h"

TRC_UNIT();

namespace {

constexpr int kDatagramSize = 8192;
constexpr int kMaxPieces = 16;
constexpr int kLaterPieceWaitSeconds = 10;
constexpr unsigned kPauseBetweenDatagramsSeconds = 1;
// A writer must never wait for ever on a peer that stopped reading.
constexpr int kDefaultWriteWaitSeconds = 30;

struct Piece {
  char* buffer;
  int length;
};

void discard(Piece* pieces, int count) {
  for (int at = 0; at < count; ++at) delete[] pieces[at].buffer;
}

int openUDP(sockaddr_in* address) {
  memset(address, 0, sizeof *address);
  return ZEV0_OpenLocalSocket(SOCK_DGRAM, 0, address, 0);
}

// The pieces joined in one buffer of the whole length; a single piece is handed over as it
// is (8192 bytes, zero behind the message). Null when the joined buffer cannot be had.
char* joinPieces(Piece* pieces, int count, uint32_t totalRead) {
  if (count == 1) return pieces[0].buffer;
  char* completeBuffer = new (std::nothrow) char[totalRead];
  if (completeBuffer == nullptr) {
    TRC(TRC_ERROR, "Error: allocating %d bytes for completeBuffer", static_cast<int>(totalRead));
    discard(pieces, count);
    return nullptr;
  }
  uint32_t offset = 0;
  for (int at = 0; at < count; ++at) {
    memcpy(completeBuffer + offset, pieces[at].buffer, static_cast<size_t>(pieces[at].length));
    offset += static_cast<uint32_t>(pieces[at].length);
  }
  discard(pieces, count);
  return completeBuffer;
}

}  // namespace

int ipcSock::IPCClient(void* /*address: not used*/, int connectTo, int typeOfService) {
  _sockError = 0;
  if (connectTo != 0) {
    _sockUDP = openUDP(&_sockAddress);
  } else {
    memset(&_sockAddress, 0, sizeof _sockAddress);
    _sockUDP = allocateIPC();
  }
  if (_sockUDP < 0) {
    TRC(TRC_ERROR, "Error: _sockUDP[%d]  errno=%d", _sockUDP, errno);
    _sockError = 1;
    return _sockError;
  }
  if (connectTo != 0 || typeOfService == DCHIPC_CLIENT) {
    memset(&_sockAddress, 0, sizeof _sockAddress);
    _sockTCP = ZEV0_OpenLocalSocket(SOCK_STREAM, 0, &_sockAddress, 0);
    if (_sockTCP < 0) {
      TRC(TRC_ERROR, "Error: _sockTCP[%d]  errno=%d", _sockTCP, errno);
      _sockError = 1;
      return _sockError;
    }
  }
  if (connectTo == 0 && ZEV0_ConvertNameToAddr(_envDCHname, _envPortNo, &_sockAddress) == 0) {
    TRC(TRC_ERROR, "Error: ZEV0_ConvertNameToAddr failed for[%s]", _envDCHname);
    _sockError = 1;
  }
  return _sockError;
}

int ipcSock::allocateIPC() {
  if (_useFromSockPool == 0) return openUDP(&_sockAddress);
  int sockFD = UDPSockPool::borrow(this, &_receiveTimeoutMs);
  _holdsPooledSocket = sockFD != IPCSOCK_NO_SOCKET;
  return sockFD;
}

// Once only: a second give-back would free the socket under its next borrower. A socket
// whose reply was given up on goes back spoiled (the pool closes it): it is no longer ours.
int ipcSock::releaseIPC() {
  if (_useFromSockPool == 0 || !_holdsPooledSocket) return 0;
  _holdsPooledSocket = false;
  int result = UDPSockPool::giveBack(_sockUDP, this, _replyGivenUp, _sentSinceRead, _receiveTimeoutMs);
  if (_replyGivenUp && result == 0) _sockUDP = IPCSOCK_NO_SOCKET;
  return result;
}

int ipcSock::ipcWrite(const void* buffer, int length, unsigned int connectedSockFD) {
  return ipcWriteConnection(buffer, length, connectedSockFD, 0);
}

int ipcSock::ipcWriteConnection(const void* buffer, int length, unsigned int connectedSockFD,
                                unsigned int connectionGeneration) {
  if (buffer == nullptr || length < 0) {
    TRC(TRC_ERROR, "Error: [@%p] nothing to send: %d bytes at @%p", static_cast<void*>(this), length, buffer);
    return -1;
  }
  const char* bytes = static_cast<const char*>(buffer);
  if (connectedSockFD == 0) return sendDatagrams(bytes, length);
  return sendOnConnection(bytes, length, connectedSockFD, connectionGeneration);
}

// At most 8192 bytes a datagram, with a pause before each after the first.
int ipcSock::sendDatagrams(const char* buffer, int length) {
  int sent = 0;
  while (sent < length) {
    if (sent > 0) BSV1_Sleep(kPauseBetweenDatagramsSeconds);
    ssize_t bytes = sendDatagram(buffer + sent, std::min(length - sent, kDatagramSize));
    if (bytes <= 0) {
      TRC(TRC_ERROR, "Error: [@%p] SENDTO - Sent %d bytes out of %d: errno=%d: _sockUDP=%d", static_cast<void*>(this),
          sent, length, errno, _sockUDP);
      return -1;
    }
    sent += static_cast<int>(bytes);
    _sentSinceRead = true;
  }
  return sent;
}

ssize_t ipcSock::sendDatagram(const char* datagram, int length) {
  ssize_t bytes = -1;
  if (_connectTo != 0 && ServerEndpoints::sendFromPort(datagram, static_cast<size_t>(length), _sockAddress, &bytes))
    return bytes;
  return sendto(_sockUDP, datagram, static_cast<size_t>(length), MSG_DONTWAIT,
                reinterpret_cast<const sockaddr*>(&_sockAddress), sizeof _sockAddress);
}

// Sends what the socket takes and waits, at most the DCH time-out in all, while it takes
// nothing; the connection is checked again before every send.
int ipcSock::sendOnConnection(const char* buffer, int length, unsigned int connectedSockFD,
                              unsigned int connectionGeneration) {
  SocketDeadline deadline(_envDCHtimeout > 0 ? _envDCHtimeout : kDefaultWriteWaitSeconds);
  int sent = 0;
  while (sent < length) {
    ssize_t bytes = 0;
    if (!ServerEndpoints::send(connectedSockFD, connectionGeneration, buffer + sent,
                               static_cast<size_t>(length - sent), &bytes)) {
      TRC(TRC_ERROR, "Error: [@%p] connection %u (generation %u) is no longer open: %d bytes not sent",
          static_cast<void*>(this), connectedSockFD, connectionGeneration, length - sent);
      return -1;
    }
    if (bytes > 0) {
      sent += static_cast<int>(bytes);
      continue;
    }
    if (bytes < 0 && errno == EINTR) continue;
    if (bytes < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
      int ready = SocketWait(static_cast<int>(connectedSockFD), true, deadline);
      if (ready <= 0) {
        TRC(TRC_ERROR, "Error: [@%p] select - count=%d errno=%d", static_cast<void*>(this), ready, errno);
        return -1;
      }
      continue;
    }
    TRC(TRC_ERROR, "Error: [@%p] SEND - Sent %d bytes out of %d: errno=%d", static_cast<void*>(this), sent, length,
        errno);
    return -1;
  }
  return sent;
}

bool ipcSock::fromDCHpeer(const sockaddr_in& sender) const {
  return sender.sin_addr.s_addr == _sockAddress.sin_addr.s_addr && sender.sin_port == _sockAddress.sin_port;
}

// One datagram from the DCH server; datagrams of anyone else are ignored. The number of
// bytes, or 0 with *timedOut set, or -1. The receive itself waits: its first wait is the
// whole wait, so that the socket's time-out stays the same from call to call.
int ipcSock::awaitDatagram(char* piece, int size, int waitSeconds, bool* timedOut) {
  SocketDeadline deadline(waitSeconds);
  int limitMs = waitSeconds > 0 ? waitSeconds * 1000 : -1;
  for (;;) {
    if (limitMs == 0) {
      *timedOut = true;
      return 0;
    }
    if (!SetReceiveTimeout(_sockUDP, limitMs, &_receiveTimeoutMs)) {
      TRC(TRC_ERROR, "Error: [@%p] receive time-out of %d ms on %d - errno=%d", static_cast<void*>(this), limitMs,
          _sockUDP, errno);
      return -1;
    }
    sockaddr_in sender{};
    socklen_t senderLength = sizeof sender;
    ssize_t bytes = recvfrom(_sockUDP, piece, static_cast<size_t>(size), 0, reinterpret_cast<sockaddr*>(&sender),
                             &senderLength);
    int error = errno;
    limitMs = deadline.remainingMs();
    if (bytes < 0 && (error == EAGAIN || error == EWOULDBLOCK)) limitMs = 0;
    if (bytes < 0 && (error == EAGAIN || error == EWOULDBLOCK || error == EINTR)) continue;
    if (bytes > 0 && !fromDCHpeer(sender)) {
      traceStray(sender, bytes);
      continue;
    }
    return static_cast<int>(bytes);
  }
}

// The DCH server's datagram that is waiting on the socket, taken without waiting: its
// bytes; 0 when none of the server's is there (datagrams of others are dropped); -1 when
// the receive failed or the server's datagram was empty.
int ipcSock::takeWaitingDatagram(char* piece, int size) {
  for (;;) {
    sockaddr_in sender{};
    socklen_t senderLength = sizeof sender;
    ssize_t bytes = recvfrom(_sockUDP, piece, static_cast<size_t>(size), MSG_DONTWAIT,
                             reinterpret_cast<sockaddr*>(&sender), &senderLength);
    if (bytes < 0 && errno == EINTR) continue;
    if (bytes < 0) return errno == EAGAIN || errno == EWOULDBLOCK ? 0 : -1;
    if (fromDCHpeer(sender)) return bytes > 0 ? static_cast<int>(bytes) : -1;
    traceStray(sender, bytes);
  }
}

void ipcSock::traceStray(const sockaddr_in& sender, ssize_t bytes) {
  char senderName[INET_ADDRSTRLEN] = "?";
  inet_ntop(AF_INET, &sender.sin_addr, senderName, sizeof senderName);
  TRC(TRC_ERROR, "Error: [@%p] datagram of %d bytes from %s:%d ignored: not the DCH server", static_cast<void*>(this),
      static_cast<int>(bytes), senderName, ntohs(sender.sin_port));
}

// A read that does not end with a whole message leaves its reply (or the rest of it) to
// come later: the socket is marked so that no later borrower meets it.
int ipcSock::ipcRead(void** readBuffer, int wait) {
  int result = readMessage(readBuffer, wait, false);
  if (result < 1) _replyGivenUp = true;
  return result;
}

// The server keeps this socket's address for later messages: a pooled one is not lent again.
void ipcSock::retireSocket() { _replyGivenUp = true; }

// A message cut short is a failure here: 0 says only that nothing of the server's waited.
int ipcSock::ipcReadWaiting(void** readBuffer) {
  int result = readMessage(readBuffer, 0, true);
  if (result < 0) _replyGivenUp = true;
  return result;
}

// Each datagram is received into the piece that keeps it.
int ipcSock::readMessage(void** readBuffer, int wait, bool firstWaiting) {
  Piece pieces[kMaxPieces];
  int count = 0;
  uint32_t totalRead = 0;
  uint32_t totalLen = 0;
  int lastBytes = 0;
  for (;;) {
    if (count == kMaxPieces) {
      TRC(TRC_ERROR, "Error: [@%p] Max %d number of 16K buffers already read.", static_cast<void*>(this), kMaxPieces);
      discard(pieces, count);
      return -1;
    }
    char* piece = new (std::nothrow) char[kDatagramSize];
    if (piece == nullptr) {
      TRC(TRC_ERROR, "Error: allocating %d bytes for ipcBuffer", kDatagramSize);
      discard(pieces, count);
      return -1;
    }
    int bytes;
    if (count == 0 && firstWaiting) {
      bytes = takeWaitingDatagram(piece, kDatagramSize);
      if (bytes == 0) {
        delete[] piece;
        return 0;
      }
    } else {
      int pieceWait = count == 0 ? wait : kLaterPieceWaitSeconds;
      bool timedOut = false;
      bytes = awaitDatagram(piece, kDatagramSize, pieceWait, &timedOut);
      if (timedOut) {
        delete[] piece;
        // The rest of a message that was waiting is not waited for again.
        if (ipcGetRetryRead() != 0 && !firstWaiting) {
          TRC(TRC_DETAIL, "[@%p] select timed out - wait=%d count=%d errno=%d...trying again",
              static_cast<void*>(this), pieceWait, 0, errno);
          continue;
        }
        TRC(TRC_ERROR, "select timed out - wait=%d count=%d errno=%d...not retrying", pieceWait, 0, errno);
        discard(pieces, count);
        return firstWaiting ? -1 : 0;
      }
    }
    if (bytes <= 0) {
      delete[] piece;
      break;
    }
    memset(piece + bytes, 0, static_cast<size_t>(kDatagramSize - bytes));
    pieces[count++] = Piece{piece, bytes};
    if (count == 1) totalLen = ZEV0_MessageTotalLength(piece);
    totalRead += static_cast<uint32_t>(bytes);
    lastBytes = bytes;
    // A total beyond what 16 datagrams hold can never be completed.
    if (totalLen == 0 || totalLen <= totalRead || totalLen > static_cast<uint32_t>(kMaxPieces * kDatagramSize)) break;
  }
  if (count == 0 || totalLen != totalRead) {
    TRC(TRC_ERROR, "Error: [@%p] totalLen=%d, bytesRead=%d errno=%d", static_cast<void*>(this),
        static_cast<int>(totalLen), static_cast<int>(totalRead), errno);
    discard(pieces, count);
    return -1;
  }
  char* message = joinPieces(pieces, count, totalRead);
  if (message == nullptr) return -1;
  *readBuffer = message;
  _sentSinceRead = false;
  return lastBytes;
}
