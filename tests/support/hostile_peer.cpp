#include "hostile_peer.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <thread>
#include <utility>

#include "raw_dch_peer.h"

namespace {

// A connection that the server neither accepts nor refuses within this time is given up.
constexpr int kConnectWaitMs = 5000;
// A write the server does not take within this time ends the connection's records.
constexpr long kSendWaitMs = 1000;

// A connected TCP socket, or -1 when the connection was refused or not made in time.
int Connect(unsigned short port) {
  int socket = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
  if (socket < 0) return -1;
  sockaddr_in server = rawdch::LoopbackAddress(port);
  if (connect(socket, reinterpret_cast<sockaddr*>(&server), sizeof server) != 0) {
    pollfd wait{socket, POLLOUT, 0};
    int error = 0;
    socklen_t length = sizeof error;
    if (errno != EINPROGRESS || poll(&wait, 1, kConnectWaitMs) != 1 ||
        getsockopt(socket, SOL_SOCKET, SO_ERROR, &error, &length) != 0 || error != 0) {
      close(socket);
      return -1;
    }
  }
  fcntl(socket, F_SETFL, fcntl(socket, F_GETFL) & ~O_NONBLOCK);
  timeval wait{kSendWaitMs / 1000, kSendWaitMs % 1000 * 1000};
  setsockopt(socket, SOL_SOCKET, SO_SNDTIMEO, &wait, sizeof wait);
  return socket;
}

void Reset(int socket) {
  linger now{1, 0};
  setsockopt(socket, SOL_SOCKET, SO_LINGER, &now, sizeof now);
  close(socket);
}

// True when the peer has closed or reset the connection (a read finds its end or an error).
bool PeerClosed(int socket) {
  pollfd wait{socket, POLLIN, 0};
  if (poll(&wait, 1, 0) != 1) return false;
  if (wait.revents & (POLLERR | POLLHUP)) return true;
  char byte;
  ssize_t count = recv(socket, &byte, 1, MSG_PEEK | MSG_DONTWAIT);
  return count == 0 || (count < 0 && errno != EAGAIN && errno != EWOULDBLOCK);
}

}  // namespace

HostileBytes::HostileBytes(unsigned seed, std::vector<std::string> validRecords)
    : random_(seed), valid_(std::move(validRecords)) {}

size_t HostileBytes::pick(size_t below) {
  return below == 0 ? 0 : std::uniform_int_distribution<size_t>(0, below - 1)(random_);
}

std::string HostileBytes::random(size_t below) {
  std::string bytes(pick(below), '\0');
  for (char& byte : bytes) byte = static_cast<char>(pick(256));
  return bytes;
}

std::string HostileBytes::spoiled() {
  std::string bytes = valid_.empty() ? random(300) : valid_[pick(valid_.size())];
  if (bytes.empty()) return bytes;
  for (size_t spoilt = 0, count = 1 + pick(4); spoilt < count; ++spoilt)
    bytes[pick(bytes.size())] = static_cast<char>(pick(256));
  return bytes;
}

std::string HostileBytes::truncated() {
  std::string bytes = valid_.empty() ? random(300) : valid_[pick(valid_.size())];
  bytes.resize(pick(bytes.size()));
  return bytes;
}

std::string HostileBytes::oversized(size_t length) {
  std::string bytes = valid_.empty() ? std::string() : valid_[pick(valid_.size())];
  size_t start = std::min(bytes.size(), length);
  bytes.resize(length);
  for (size_t at = start; at < length; ++at) bytes[at] = static_cast<char>(pick(256));
  return bytes;
}

std::string HostileBytes::next(size_t longest) {
  switch (pick(4)) {
    case 0:
      return random(300);
    case 1:
      return spoiled();
    case 2:
      return truncated();
    default:
      return oversized(longest / 2 + pick(longest / 2 + 1));
  }
}

StreamSpellResult StreamSpell(unsigned short port, HostileBytes& bytes, int connections, int recordsEach) {
  StreamSpellResult result;
  for (int made = 0; made < connections; ++made) {
    int socket = Connect(port);
    if (socket < 0) continue;
    ++result.connected;
    bool closed = false;
    for (int record = 0; record < recordsEach && !closed; ++record) {
      std::string text = bytes.next();
      closed = PeerClosed(socket) || (!text.empty() && send(socket, text.data(), text.size(), MSG_NOSIGNAL) < 0 &&
                                      errno != EAGAIN && errno != EWOULDBLOCK);
    }
    if (closed || PeerClosed(socket)) ++result.closedByServer;
    close(socket);
  }
  return result;
}

int OpenAndDropConnections(unsigned short port, int count) {
  int accepted = 0;
  for (int made = 0; made < count; ++made) {
    int socket = Connect(port);
    if (socket < 0) continue;
    ++accepted;
    // Reset, not closed: a closed one would leave its address pair waiting out its time
    // at one end, and the next connection that drew the same pair would be held up.
    Reset(socket);
  }
  return accepted;
}

bool SendDatagram(unsigned short port, const std::string& bytes) {
  int socket = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
  if (socket < 0) return false;
  int size = static_cast<int>(kLargestDatagram) * 2;
  setsockopt(socket, SOL_SOCKET, SO_SNDBUF, &size, sizeof size);
  sockaddr_in server = rawdch::LoopbackAddress(port);
  bool taken = sendto(socket, bytes.data(), bytes.size(), 0, reinterpret_cast<sockaddr*>(&server), sizeof server) ==
               static_cast<ssize_t>(bytes.size());
  close(socket);
  return taken;
}

int DatagramSpell(unsigned short port, HostileBytes& bytes, int count) {
  int taken = 0;
  for (int sent = 0; sent < count; ++sent) taken += SendDatagram(port, bytes.next()) ? 1 : 0;
  taken += SendDatagram(port, std::string()) ? 1 : 0;
  taken += SendDatagram(port, bytes.oversized(kLargestDatagram)) ? 1 : 0;
  return taken;
}

int DatagramTrickle(unsigned short port, HostileBytes& bytes, int count, std::chrono::milliseconds interval) {
  int taken = 0;
  for (int sent = 0; sent < count; ++sent) {
    if (sent > 0) std::this_thread::sleep_for(interval);
    taken += SendDatagram(port, std::string(1, static_cast<char>(bytes.pick(256)))) ? 1 : 0;
  }
  return taken;
}

TricklingPeer::TricklingPeer(unsigned short port, std::string bytes) : socket_(Connect(port)), bytes_(std::move(bytes)) {}

TricklingPeer::~TricklingPeer() {
  if (socket_ >= 0) close(socket_);
}

bool TricklingPeer::closedByServer() {
  if (!closed_ && socket_ >= 0) closed_ = PeerClosed(socket_);
  return closed_;
}

bool TricklingPeer::step() {
  if (socket_ < 0 || sent_ >= bytes_.size() || closedByServer()) return false;
  if (send(socket_, &bytes_[sent_], 1, MSG_NOSIGNAL) != 1) {
    closed_ = true;
    return false;
  }
  ++sent_;
  return sent_ < bytes_.size();
}

size_t TricklingPeer::trickle(std::chrono::milliseconds interval) {
  while (step()) std::this_thread::sleep_for(interval);
  return sent_;
}
