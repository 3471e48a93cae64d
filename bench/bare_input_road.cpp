#include "bare_input_road.h"

#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>

#include "loopback_sockets.h"

namespace {

constexpr size_t kStatusReplySize = 14;
constexpr size_t kReceiveSize = 4095;  // as the input servers receive

}  // namespace

BareInputRoad::BareInputRoad(std::string row, Records records, std::string reply)
    : row_(std::move(row)),
      records_(records),
      reply_(std::move(reply)),
      dch_(std::string(kStatusReplySize, '\0'), BareServer::Order::handedOverWithRowCopy),
      link_(dch_.port()) {
  thread_ = std::thread([this] {
    sockets_.serve(stopping_, [this] { serveDatagram(); }, [this](int sockFD) { return serveConnection(sockFD); });
  });
}

BareInputRoad::~BareInputRoad() {
  stopping_ = true;
  thread_.join();
}

// A receive's records, each through the link; a line road takes every line of it.
bool BareInputRoad::serveConnection(int sockFD) {
  char bytes[kReceiveSize];
  ssize_t got = recv(sockFD, bytes, sizeof bytes, 0);
  if (got <= 0) return false;
  long records = records_ == Records::lines ? std::count(bytes, bytes + got, '\n') : 1;
  for (long record = 0; record < records; ++record)
    if (!passRecord()) return true;
  if (!reply_.empty()) SendAll(sockFD, reply_.data(), reply_.size());
  return true;
}

void BareInputRoad::serveDatagram() {
  char bytes[kReceiveSize];
  sockaddr_in sender{};
  socklen_t length = sizeof sender;
  ssize_t got = recvfrom(sockets_.datagrams(), bytes, sizeof bytes, 0, reinterpret_cast<sockaddr*>(&sender), &length);
  if (got < 0 || !passRecord() || reply_.empty()) return;
  sendto(sockets_.datagrams(), reply_.data(), reply_.size(), 0, reinterpret_cast<sockaddr*>(&sender), length);
}

bool BareInputRoad::passRecord() { return link_.exchange(row_, kStatusReplySize); }
