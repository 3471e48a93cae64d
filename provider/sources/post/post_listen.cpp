// The listen service of the POST port: one UDP socket and one TCP listening socket
// on the same port, and the TCP connections of the senders, all in one poll. A
// datagram is one message; each receive on a connection is one message, answered
// on that connection with its stamp.
#include <arpa/inet.h>
#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>

#include <cerrno>
#include <cstring>
#include <vector>

#include "application_entry.h"
#include "dp_anchor.h"
#include "dp_log.h"
#include "io_entry.h"
#include "post_categories.h"
#include "post_connections.h"
#include "post_message.h"
#include "post_server.h"
#include "process_entry.h"
#include "select_interrupt.h"
#include "source_entry.h"
#include "table_entry.h"
#include "trc1.h"
#include "zev0/codepage.h"
#include "zev0/env.h"
#include "zev0/sockets.h"

TRC_UNIT();

namespace {

constexpr int kListenBacklog = 10;
constexpr size_t kMaxConnections = 64;
// Datagrams taken in one pass: a flood of them leaves the connections their turn.
constexpr int kDatagramsPerPass = 64;
constexpr int kAcceptsPerPass = 16;
constexpr int32_t kTCPrecordLength = 4096;
constexpr int32_t kUDPrecordLength = 1600;

// A datagram that is the shut-down text, or its beginning, wakes the loop and is no
// message; a longer one that begins with it is a message.
bool IsInterrupt(const char* data, size_t length) {
  return length <= sizeof SelectShutDownMsg - 1 && std::memcmp(data, SelectShutDownMsg, length) == 0;
}

std::string PeerText(const sockaddr_in& peer) {
  char dotted[INET_ADDRSTRLEN] = "";
  inet_ntop(AF_INET, &peer.sin_addr, dotted, sizeof dotted);
  return dotted;
}

class PostListener {
 public:
  PostListener(DPAB* anchor, ProcessEntry* entry, SourceEntry* source)
      : anchor_(anchor), entry_(entry), source_(source), io_(source->IO), buffer_(ZEVP_POST_MESSAGE_MAX) {}
  ~PostListener() {
    for (const zevp::PostConnections::Connection& connection : connections_.all()) forgetPartner(connection.socket);
    forgetPartner(udp_);
    if (udp_ >= 0) ZEV0_CloseTheSocket(udp_);
    if (tcp_ >= 0) ZEV0_CloseTheSocket(tcp_);
  }

  // Opens the sockets on the port (network order); false when neither opened.
  bool open(uint16_t port) {
    sockaddr_in local{};
    udp_ = ZEV0_OpenLocalSocket(SOCK_DGRAM, port, &local, 0);
    tcp_ = ZEV0_OpenLocalSocket(SOCK_STREAM, port, &local, 0);
    if (udp_ < 0 && tcp_ < 0) {
      TRC(TRC_ERROR, "***** cannot open any socket, post socket communication impossible");
      return false;
    }
    if (tcp_ >= 0 && listen(tcp_, kListenBacklog) != 0) {
      TRC(TRC_ERROR, "TCP listen failed errno %d. Post TCP inbound not available", errno);
      ZEV0_CloseTheSocket(tcp_);
      tcp_ = -1;
    }
    return true;
  }

  void serve() {
    while (entry_->terminationFlag != 1) {
      std::vector<pollfd> watched;
      if (udp_ >= 0) watched.push_back({udp_, POLLIN, 0});
      if (tcp_ >= 0) watched.push_back({tcp_, POLLIN, 0});
      for (const zevp::PostConnections::Connection& connection : connections_.all())
        watched.push_back({connection.socket, POLLIN, 0});
      int ready = poll(watched.data(), watched.size(), -1);
      if (ready < 0 && errno != EINTR) {
        TRC(TRC_ERROR, "***** poll of the post sockets failed errno %d", errno);
        return;
      }
      for (const pollfd& polled : watched) {
        if (polled.revents == 0) continue;
        if (polled.fd == tcp_)
          acceptWaiting();
        else if (polled.fd == udp_)
          drainDatagrams();
        else
          receive(polled.fd);
      }
    }
  }

 private:
  // The connections waiting, a bounded number a pass: a short backlog that fills
  // makes new senders wait for their connect to be tried again.
  void acceptWaiting() {
    for (int taken = 0; taken < kAcceptsPerPass && accept(); ++taken) {
    }
  }

  bool accept() {
    sockaddr_in peer{};
    socklen_t length = sizeof peer;
    int socket = ::accept4(tcp_, reinterpret_cast<sockaddr*>(&peer), &length, SOCK_CLOEXEC);
    if (socket < 0) {
      if (errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR)
        TRC(TRC_ERROR, "***** Accept for TCP socket failed errno %d", errno);
      return false;
    }
    // A sender that neither sends nor reads must not hold the one thread.
    fcntl(socket, F_SETFL, fcntl(socket, F_GETFL) | O_NONBLOCK);
    TRC(TRC_DETAIL, "### New TCP partner %s[%d] connection accepted. Socket %d", PeerText(peer).c_str(),
        ntohs(peer.sin_port), socket);
    connections_.add(socket, peer);
    recordPartner(socket, socket, peer, kTCPrecordLength);
    return true;
  }

  void drainDatagrams() {
    for (int taken = 0; taken < kDatagramsPerPass; ++taken) {
      std::memset(buffer_.data(), 0, buffer_.size());
      sockaddr_in sender{};
      socklen_t length = sizeof sender;
      ssize_t bytes = recvfrom(udp_, buffer_.data(), buffer_.size(), MSG_DONTWAIT, reinterpret_cast<sockaddr*>(&sender),
                               &length);
      if (bytes <= 0) return;
      if (IsInterrupt(buffer_.data(), static_cast<size_t>(bytes))) return;
      recordPartner(udp_, -1, sender, kUDPrecordLength);
      load(static_cast<int>(bytes));
    }
  }

  void receive(int socket) {
    const zevp::PostConnections::Connection* connection = connections_.find(socket);
    if (connection == nullptr) return;  // closed in this pass to make room
    std::memset(buffer_.data(), 0, buffer_.size());
    ssize_t bytes = recv(socket, buffer_.data(), buffer_.size(), 0);
    if (bytes < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR)) return;
    if (bytes < 1) {
      TRC(TRC_DETAIL, "TCP connection terminated for sock %d", socket);
      forgetPartner(socket);
      connections_.close(socket);
      return;
    }
    recordPartner(socket, socket, connection->peer, kTCPrecordLength);
    connections_.used(socket);
    const char* stamp = load(static_cast<int>(bytes));
    if (send(socket, stamp, std::strlen(stamp), MSG_NOSIGNAL | MSG_DONTWAIT) < 0)
      TRC(TRC_ERROR, "*** stamp not sent on socket %d errno %d", socket, errno);
  }

  const char* load(int length) {
    if (ZEVP_CheckDataConversion(reinterpret_cast<const unsigned char*>(buffer_.data()), length))
      ZEV0_ConvertDataToLocal(buffer_.data(), length);
    return ZEVP_LoadPostAttributeData(anchor_, source_, buffer_.data(), length);
  }

  // The partner of the message in hand, in the source's I/O entry. connection: -1
  // leaves the TCP socket as it is.
  void recordPartner(int socket, int connection, const sockaddr_in& peer, int32_t recordLength) {
    BSV1_GetLock(&io_->Lock);
    io_->Connected = 1;
    io_->Socket = socket;
    if (connection >= 0) io_->ConnectionSocket = connection;
    if (connection < 0) io_->PartnerAddress.sin_family = peer.sin_family;
    io_->PartnerAddress.sin_port = peer.sin_port;
    io_->PartnerAddress.sin_addr = peer.sin_addr;
    io_->RecordLength = recordLength;
    BSV1_ReleaseLock(&io_->Lock);
  }

  // The connection is closed: the I/O entry keeps no descriptor of it, which the
  // system may give to another socket next.
  void forgetPartner(int socket) {
    BSV1_GetLock(&io_->Lock);
    if (io_->ConnectionSocket == socket) io_->ConnectionSocket = 0;
    if (io_->Socket == socket) {
      io_->Connected = 0;
      io_->Socket = 0;
      io_->PartnerAddress.sin_port = 0;
    }
    BSV1_ReleaseLock(&io_->Lock);
  }

  DPAB* anchor_;
  ProcessEntry* entry_;
  SourceEntry* source_;
  IOEntry* io_;
  std::vector<char> buffer_;
  int udp_ = -1;
  int tcp_ = -1;
  zevp::PostConnections connections_{kMaxConnections};
};

void ClearPartner(IOEntry* io) {
  BSV1_GetLock(&io->Lock);
  std::memset(&io->PartnerAddress, 0, sizeof io->PartnerAddress);
  io->PartnerAddress.sin_family = AF_INET;
  BSV1_ReleaseLock(&io->Lock);
}

}  // namespace

void ZEVP_PostListenService(DPAB* anchor, ProcessEntry* entry, ApplicationEntry* application) {
  SourceEntry* source = application->FirstTable->FirstSource;
  const char* categories = ZEV0_GetEnv("ZEVP_POST_CATEGORY", nullptr);
  if (categories != nullptr) zevp::ProcessPostCategories().configure(categories);
  uint16_t port = ZEVP_PostDPport();
  ZEVP_SendDPlogMessage(anchor, 20, "POST", std::to_string(port).c_str());
  anchor->inputServerListening = 1;
  ClearPartner(source->IO);
  {
    PostListener listener(anchor, entry, source);
    if (listener.open(htons(port))) listener.serve();
  }
  anchor->inputServerListening = 0;
}
