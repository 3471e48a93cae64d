#include "loopback_sockets.h"

#include <arpa/inet.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include "raw_dch_peer.h"

namespace {

constexpr int kPortAttempts = 20;
constexpr int kPollMs = 50;

}  // namespace

bool ReadAll(int sockFD, char* buffer, size_t size) {
  for (size_t got = 0; got < size;) {
    ssize_t n = recv(sockFD, buffer + got, size - got, 0);
    if (n <= 0) return false;
    got += static_cast<size_t>(n);
  }
  return true;
}

bool SendAll(int sockFD, const char* bytes, size_t size) {
  for (size_t sent = 0; sent < size;) {
    ssize_t n = send(sockFD, bytes + sent, size - sent, MSG_NOSIGNAL);
    if (n <= 0) return false;
    sent += static_cast<size_t>(n);
  }
  return true;
}

void NoDelay(int sockFD) {
  int on = 1;
  setsockopt(sockFD, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
}

// The UDP port of the listener's number may be another program's: then another number.
LoopbackPortServer::LoopbackPortServer() {
  for (int attempt = 0; attempt < kPortAttempts; ++attempt) {
    listener_ = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address = rawdch::LoopbackAddress(0);
    bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof address);
    socklen_t length = sizeof address;
    getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &length);
    port_ = ntohs(address.sin_port);
    listen(listener_, 16);
    datagrams_ = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (bind(datagrams_, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0) break;
    close(datagrams_);
    close(listener_);
  }
}

LoopbackPortServer::~LoopbackPortServer() {
  for (int connection : connections_) close(connection);
  close(listener_);
  close(datagrams_);
}

void LoopbackPortServer::serve(const std::atomic<bool>& stopping, const std::function<void()>& onDatagram,
                               const std::function<bool(int)>& onConnection) {
  std::vector<pollfd> watched;
  while (!stopping) {
    watched.assign({{listener_, POLLIN, 0}, {datagrams_, POLLIN, 0}});
    for (int connection : connections_) watched.push_back({connection, POLLIN, 0});
    if (poll(watched.data(), watched.size(), kPollMs) <= 0) continue;
    if (watched[0].revents != 0) {
      int connection = accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
      if (connection >= 0) {
        NoDelay(connection);
        connections_.push_back(connection);
      }
    }
    if (watched[1].revents != 0) onDatagram();
    for (size_t at = 2; at < watched.size(); ++at)
      if (watched[at].revents != 0 && !onConnection(watched[at].fd)) shutdown(watched[at].fd, SHUT_RDWR);
  }
}
