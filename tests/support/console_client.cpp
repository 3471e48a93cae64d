#include "console_client.h"

#include <arpa/inet.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>

#include "eventually.h"
#include "raw_dch_peer.h"
#include "zev0/codepage.h"

ConsoleClient::ConsoleClient() : socket_(socket(AF_INET, SOCK_DGRAM, 0)) {
  sockaddr_in own = rawdch::LoopbackAddress(0);
  bind(socket_, reinterpret_cast<sockaddr*>(&own), sizeof own);
}

ConsoleClient::~ConsoleClient() { close(socket_); }

bool ConsoleClient::send(unsigned short port, const std::string& command) {
  std::string bytes = command;
  ZEV0_ConvertDataToNetwork(bytes.data(), static_cast<int32_t>(bytes.size()));
  return sendRaw(port, bytes);
}

bool ConsoleClient::sendRaw(unsigned short port, const std::string& bytes) {
  sockaddr_in to = rawdch::LoopbackAddress(port);
  return sendto(socket_, bytes.data(), bytes.size(), 0, reinterpret_cast<sockaddr*>(&to), sizeof to) ==
         static_cast<ssize_t>(bytes.size());
}

std::string ConsoleClient::receive(int waitMs) {
  pollfd watched{socket_, POLLIN, 0};
  if (poll(&watched, 1, waitMs) <= 0) return std::string();
  char datagram[65536];
  ssize_t received = recv(socket_, datagram, sizeof datagram, 0);
  if (received <= 0) return std::string();
  ZEV0_ConvertDataToLocal(datagram, static_cast<int32_t>(received));
  return std::string(datagram, static_cast<size_t>(received));
}

std::string ConsoleClient::exchange(unsigned short port, const std::string& command, int waitMs) {
  if (!send(port, command)) return std::string();
  auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(waitMs);
  for (;;) {
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    std::string reply = receive(static_cast<int>(std::max<long>(left.count(), 0)));
    if (reply != "99 ") return reply;
  }
}

std::string AwaitConsole(unsigned short port, int waitMs) {
  constexpr int kTryWaitMs = 1000;
  std::string reply;
  Eventually(
      [&] {
        ConsoleClient console;
        reply = console.exchange(port, "GETPORT", kTryWaitMs);
        return reply.rfind("0 ", 0) == 0;
      },
      waitMs);
  return reply;
}
