#include "accepting_listener.h"

#include <poll.h>
#include <sys/socket.h>

#include <chrono>

int AcceptingListener::take(int waitMs) {
  pollfd readable{listeningSocket(), POLLIN, 0};
  return poll(&readable, 1, waitMs) == 1 ? accept(listeningSocket(), nullptr, nullptr) : -1;
}

std::string ReadFromConnection(int connection, size_t count, int waitMs) {
  std::string bytes;
  auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(waitMs);
  while (bytes.size() < count) {
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    pollfd readable{connection, POLLIN, 0};
    if (left.count() <= 0 || poll(&readable, 1, static_cast<int>(left.count())) != 1) break;
    char buffer[256];
    ssize_t n = recv(connection, buffer, sizeof buffer, 0);
    if (n <= 0) break;
    bytes.append(buffer, static_cast<size_t>(n));
  }
  return bytes;
}
