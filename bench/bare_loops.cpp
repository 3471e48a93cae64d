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
  thread_ = std::thread([this] { serve(); });
}

BareServer::~BareServer() {
  stopping_ = true;
  thread_.join();
  for (int connection : connections_) close(connection);
  close(listener_);
  close(datagrams_);
}

// One wait on every socket, then one request of each that has one.
void BareServer::serve() {
  std::vector<pollfd> watched;
  while (!stopping_) {
    watched.assign({{listener_, POLLIN, 0}, {datagrams_, POLLIN, 0}});
    for (int connection : connections_) watched.push_back({connection, POLLIN, 0});
    if (poll(watched.data(), watched.size(), kPollMs) <= 0) continue;
    if (watched[0].revents != 0) {
      int connection = accept(listener_, nullptr, nullptr);
      if (connection >= 0) {
        NoDelay(connection);
        connections_.push_back(connection);
      }
    }
    if (watched[1].revents != 0) answerDatagram();
    for (size_t at = 2; at < watched.size(); ++at)
      if (watched[at].revents != 0 && !answerConnection(watched[at].fd)) shutdown(watched[at].fd, SHUT_RDWR);
  }
}

// Reads one message by its total length word and answers it.
bool BareServer::answerConnection(int sockFD) {
  char message[65536];
  if (!ReadAll(sockFD, message, 4)) return false;
  uint32_t total = ntohl(*reinterpret_cast<uint32_t*>(message));
  if (total < 4 || total > sizeof message || !ReadAll(sockFD, message + 4, total - 4)) return false;
  return SendAll(sockFD, reply_.data(), reply_.size());
}

void BareServer::answerDatagram() {
  char datagram[65536];
  sockaddr_in sender{};
  socklen_t length = sizeof sender;
  if (recvfrom(datagrams_, datagram, sizeof datagram, 0, reinterpret_cast<sockaddr*>(&sender), &length) > 0)
    sendto(datagrams_, reply_.data(), reply_.size(), 0, reinterpret_cast<sockaddr*>(&sender), length);
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
