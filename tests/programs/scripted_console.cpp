#include "scripted_console.h"

#include <arpa/inet.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include "raw_dch_peer.h"
#include "zev0/codepage.h"

ScriptedConsole::ScriptedConsole(unsigned short port, Script script)
    : socket_(socket(AF_INET, SOCK_DGRAM, 0)), script_(std::move(script)) {
  sockaddr_in own = rawdch::LoopbackAddress(port);
  if (socket_ >= 0 && bind(socket_, reinterpret_cast<sockaddr*>(&own), sizeof own) != 0) {
    close(socket_);
    socket_ = -1;
  }
  if (socket_ >= 0) thread_ = std::thread(&ScriptedConsole::serve, this);
}

ScriptedConsole::~ScriptedConsole() {
  stop_ = true;
  if (thread_.joinable()) thread_.join();
  if (socket_ >= 0) close(socket_);
}

std::vector<std::string> ScriptedConsole::commands() {
  std::lock_guard<std::mutex> lock(mutex_);
  return commands_;
}

void ScriptedConsole::serve() {
  while (!stop_) {
    pollfd watched{socket_, POLLIN, 0};
    if (poll(&watched, 1, 20) <= 0) continue;
    char datagram[65536];
    sockaddr_in sender{};
    socklen_t senderLength = sizeof sender;
    ssize_t received = recvfrom(socket_, datagram, sizeof datagram, 0, reinterpret_cast<sockaddr*>(&sender), &senderLength);
    if (received < 0) continue;
    ZEV0_ConvertDataToLocal(datagram, static_cast<int32_t>(received));
    std::string command(datagram, static_cast<size_t>(received));
    {
      std::lock_guard<std::mutex> lock(mutex_);
      commands_.push_back(command);
    }
    for (std::string reply : script_(command)) {
      ZEV0_ConvertDataToNetwork(reply.data(), static_cast<int32_t>(reply.size()));
      sendto(socket_, reply.data(), reply.size(), 0, reinterpret_cast<sockaddr*>(&sender), sizeof sender);
    }
  }
}
