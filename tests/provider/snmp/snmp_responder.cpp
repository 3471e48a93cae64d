#include "snmp_responder.h"

#include <arpa/inet.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>

#include "free_port.h"

namespace {

int BoundSocket(const char* address, unsigned short port) {
  int fd = socket(AF_INET, SOCK_DGRAM, 0);
  sockaddr_in local{};
  local.sin_family = AF_INET;
  local.sin_port = htons(port);
  inet_pton(AF_INET, address, &local.sin_addr);
  if (fd >= 0 && bind(fd, reinterpret_cast<sockaddr*>(&local), sizeof local) != 0) {
    close(fd);
    return -1;
  }
  return fd;
}

}  // namespace

SnmpResponder::SnmpResponder(Script script, const std::string& address, unsigned short port)
    : script_(std::move(script)) {
  if (port == 0) port = FreeLoopbackPort();
  socket_ = BoundSocket(address.c_str(), port);
  foreign_ = BoundSocket("127.0.0.2", 0);
  address_.sin_family = AF_INET;
  address_.sin_port = htons(port);
  inet_pton(AF_INET, address.c_str(), &address_.sin_addr);
  if (pipe(wake_) != 0) wake_[0] = wake_[1] = -1;
  thread_ = std::thread([this] { serve(); });
}

SnmpResponder::~SnmpResponder() {
  if (wake_[1] >= 0 && write(wake_[1], "x", 1) != 1) {
  }
  thread_.join();
  for (int fd : {socket_, foreign_, wake_[0], wake_[1]})
    if (fd >= 0) close(fd);
}

SnmpBytes SnmpResponder::lastRequest() {
  std::lock_guard<std::mutex> hold(lock_);
  return last_;
}

void SnmpResponder::serve() {
  for (;;) {
    pollfd ready[2] = {{socket_, POLLIN, 0}, {wake_[0], POLLIN, 0}};
    if (poll(ready, 2, -1) < 0 || (ready[1].revents & POLLIN) != 0) return;
    unsigned char buffer[2048];
    sockaddr_in sender{};
    socklen_t length = sizeof sender;
    ssize_t got = recvfrom(socket_, buffer, sizeof buffer, 0, reinterpret_cast<sockaddr*>(&sender), &length);
    if (got <= 0) continue;
    SnmpBytes request(buffer, buffer + got);
    {
      std::lock_guard<std::mutex> hold(lock_);
      last_ = request;
    }
    ++requests_;
    for (const ScriptedReply& reply : script_(request)) {
      if (reply.delayMs > 0) {
        pollfd wake{wake_[0], POLLIN, 0};
        if (poll(&wake, 1, reply.delayMs) > 0) return;
      }
      sendto(reply.foreign ? foreign_ : socket_, reply.bytes.data(), reply.bytes.size(), 0,
             reinterpret_cast<sockaddr*>(&sender), sizeof sender);
    }
  }
}

ClientSocket::ClientSocket() : fd_(BoundSocket("127.0.0.1", 0)) {}

ClientSocket::~ClientSocket() {
  if (fd_ >= 0) close(fd_);
}
