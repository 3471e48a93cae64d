#include "metafile_socket_io.h"

#include <arpa/inet.h>
#include <poll.h>
#include <sys/socket.h>

#include <cerrno>
#include <chrono>

namespace zevp {

int WaitForSocket(int socket, short events, int timeoutMs) {
  pollfd watched{socket, events, 0};
  int ready;
  do {
    ready = poll(&watched, 1, timeoutMs);
  } while (ready < 0 && errno == EINTR);
  if (ready <= 0) return ready;
  return watched.revents;
}

bool SendWithin(int socket, const char* bytes, size_t length, int timeoutSeconds, int* error) {
  using Clock = std::chrono::steady_clock;
  const Clock::time_point deadline = Clock::now() + std::chrono::seconds(timeoutSeconds);
  size_t sent = 0;
  *error = 0;
  while (sent < length) {
    ssize_t result = send(socket, bytes + sent, length - sent, MSG_NOSIGNAL);
    if (result > 0) {
      sent += static_cast<size_t>(result);
      continue;
    }
    if (result < 0 && errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR) {
      *error = errno;
      return false;
    }
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    if (left <= 0 || WaitForSocket(socket, POLLOUT, static_cast<int>(left)) <= 0) return false;
  }
  return true;
}

std::string DottedAddress(const sockaddr_in& address) {
  char text[INET_ADDRSTRLEN] = {};
  inet_ntop(AF_INET, &address.sin_addr, text, sizeof text);
  return text;
}

std::string PortText(const sockaddr_in& address) { return std::to_string(ntohs(address.sin_port)); }

}  // namespace zevp
