#include "partner_sockets.h"

#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include "zev0/codepage.h"

std::string ToNetworkCode(std::string text) {
  ZEV0_ConvertDataToNetwork(text.data(), static_cast<int32_t>(text.size()));
  return text;
}

std::string ToLocalCode(std::string text) {
  ZEV0_ConvertDataToLocal(text.data(), static_cast<int32_t>(text.size()));
  return text;
}

namespace {

sockaddr_in Loopback(unsigned short port) {
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  address.sin_port = htons(port);
  return address;
}

bool Readable(int socket, int waitMs) {
  pollfd readable{socket, POLLIN, 0};
  return poll(&readable, 1, waitMs) == 1;
}

}  // namespace

DatagramEnd::DatagramEnd() : socket_(::socket(AF_INET, SOCK_DGRAM, 0)), address_(Loopback(0)) {
  bind(socket_, reinterpret_cast<const sockaddr*>(&address_), sizeof address_);
  socklen_t length = sizeof address_;
  getsockname(socket_, reinterpret_cast<sockaddr*>(&address_), &length);
}

DatagramEnd::~DatagramEnd() { ::close(socket_); }

void DatagramEnd::sendTo(unsigned short port, const std::string& bytes) const {
  sockaddr_in to = Loopback(port);
  sendto(socket_, bytes.data(), bytes.size(), 0, reinterpret_cast<const sockaddr*>(&to), sizeof to);
}

std::string DatagramEnd::next(int waitMs) const {
  if (!Readable(socket_, waitMs)) return "<none>";
  char bytes[70000];
  ssize_t n = recv(socket_, bytes, sizeof bytes, 0);
  return n < 0 ? "<none>" : std::string(bytes, static_cast<size_t>(n));
}

StreamEnd::StreamEnd(unsigned short port) : socket_(::socket(AF_INET, SOCK_STREAM, 0)) {
  sockaddr_in to = Loopback(port);
  if (connect(socket_, reinterpret_cast<const sockaddr*>(&to), sizeof to) != 0) close();
}

StreamEnd::~StreamEnd() { close(); }

void StreamEnd::close() {
  if (socket_ >= 0) ::close(socket_);
  socket_ = -1;
}

bool StreamEnd::send(const std::string& bytes) const {
  size_t sent = 0;
  while (sent < bytes.size()) {
    ssize_t n = ::send(socket_, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
    if (n <= 0) return false;
    sent += static_cast<size_t>(n);
  }
  return true;
}

std::string StreamEnd::next(int waitMs) const {
  if (!Readable(socket_, waitMs)) return "<none>";
  char buffer[4096];
  ssize_t n = recv(socket_, buffer, sizeof buffer, 0);
  return n <= 0 ? "<none>" : std::string(buffer, static_cast<size_t>(n));
}

bool StreamEnd::closedByPeer(int waitMs) const {
  if (!Readable(socket_, waitMs)) return false;
  char byte;
  return recv(socket_, &byte, 1, MSG_PEEK) <= 0;  // an end, or a reset of unread data
}
