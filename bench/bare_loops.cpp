#include "bare_loops.h"

#include <arpa/inet.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdint>
#include <cstring>

#include "raw_dch_peer.h"

namespace {

constexpr int kPollMs = 50;

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

// As the DCH's sockets are: no delay for small messages.
void NoDelay(int sockFD) {
  int on = 1;
  setsockopt(sockFD, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
}

}  // namespace

BareServer::BareServer(std::string reply) : reply_(std::move(reply)) {
  listener_ = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in address = rawdch::LoopbackAddress(0);
  bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof address);
  socklen_t length = sizeof address;
  getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &length);
  port_ = ntohs(address.sin_port);
  listen(listener_, 16);
  datagrams_ = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
  bind(datagrams_, reinterpret_cast<sockaddr*>(&address), sizeof address);
  threads_.emplace_back([this] { acceptLoop(); });
  threads_.emplace_back([this] { serveDatagrams(); });
}

BareServer::~BareServer() {
  stopping_ = true;
  shutdown(listener_, SHUT_RDWR);
  for (int connection : connections_) shutdown(connection, SHUT_RDWR);
  for (std::thread& thread : threads_) thread.join();
  for (int connection : connections_) close(connection);
  close(listener_);
  close(datagrams_);
}

void BareServer::acceptLoop() {
  while (!stopping_) {
    pollfd watched{listener_, POLLIN, 0};
    if (poll(&watched, 1, kPollMs) != 1) continue;
    int connection = accept(listener_, nullptr, nullptr);
    if (connection < 0) continue;
    NoDelay(connection);
    connections_.push_back(connection);
    threads_.emplace_back([this, connection] { serveConnection(connection); });
  }
}

// Reads one message by its total length word, answers it, and again.
void BareServer::serveConnection(int sockFD) {
  std::string message(65536, '\0');
  while (!stopping_) {
    if (!ReadAll(sockFD, &message[0], 4)) return;
    uint32_t total = ntohl(*reinterpret_cast<uint32_t*>(&message[0]));
    if (total < 4 || total > message.size() || !ReadAll(sockFD, &message[4], total - 4)) return;
    if (!SendAll(sockFD, reply_.data(), reply_.size())) return;
  }
}

void BareServer::serveDatagrams() {
  char datagram[65536];
  while (!stopping_) {
    pollfd watched{datagrams_, POLLIN, 0};
    if (poll(&watched, 1, kPollMs) != 1) continue;
    sockaddr_in sender{};
    socklen_t length = sizeof sender;
    if (recvfrom(datagrams_, datagram, sizeof datagram, 0, reinterpret_cast<sockaddr*>(&sender), &length) <= 0)
      continue;
    sendto(datagrams_, reply_.data(), reply_.size(), 0, reinterpret_cast<sockaddr*>(&sender), length);
  }
}

BareClient::BareClient(unsigned short port, bool tcp)
    : sockFD_(socket(AF_INET, (tcp ? SOCK_STREAM : SOCK_DGRAM) | SOCK_CLOEXEC, 0)), tcp_(tcp) {
  sockaddr_in server = rawdch::LoopbackAddress(port);
  if (tcp) NoDelay(sockFD_);
  connect(sockFD_, reinterpret_cast<sockaddr*>(&server), sizeof server);
}

BareClient::~BareClient() { close(sockFD_); }

std::string BareClient::exchange(const std::string& request, size_t replySize) {
  std::string reply(replySize, '\0');
  if (tcp_) {
    if (!SendAll(sockFD_, request.data(), request.size()) || !ReadAll(sockFD_, &reply[0], replySize)) return {};
    return reply;
  }
  if (send(sockFD_, request.data(), request.size(), 0) != static_cast<ssize_t>(request.size()) ||
      recv(sockFD_, &reply[0], replySize, 0) != static_cast<ssize_t>(replySize))
    return {};
  return reply;
}
