#include "net_daemon_process.h"

#include <arpa/inet.h>
#include <poll.h>
#include <sys/socket.h>
#include <time.h>
#include <unistd.h>

#include <fstream>
#include <sstream>

#include "eventually.h"
#include "network_namespace.h"

namespace {

long NowMs() {
  timespec now{};
  clock_gettime(CLOCK_MONOTONIC, &now);
  return now.tv_sec * 1000 + now.tv_nsec / 1000000;
}

}  // namespace

NetDaemonProcess::NetDaemonProcess(unsigned short port) : port_(port), process_("zevsnetd") {}

bool NetDaemonProcess::start(const std::vector<std::string>& settings, bool awaitPort) {
  std::vector<std::string> own = {"ZEVP_SNMP_NETDAEMON_PORT=" + std::to_string(port_),
                                  "ZEVP_SNMP_NETD_VERBOSE=Y>" + process_.scratch() + "/trace",
                                  "ZEV_DP_HOSTNAME=127.0.0.1"};
  if (!process_.start({}, SettingsWith(own, settings))) {
    failure_ = process_.failure();
    return false;
  }
  if (awaitPort && !Eventually([&] { return UdpPortBound(port_); }, 5000)) {
    failure_ = "zevsnetd did not bind port " + std::to_string(port_) + ": " + traceText();
    return false;
  }
  return true;
}

std::vector<std::string> NetDaemonProcess::traceLines() const {
  std::ifstream file(process_.scratch() + "/trace");
  std::vector<std::string> lines;
  for (std::string line; std::getline(file, line);) lines.push_back(line);
  return lines;
}

std::string NetDaemonProcess::traceText() const {
  std::string text;
  for (const std::string& line : traceLines()) text += (line.size() > 9 ? line.substr(9) : line) + "\n";
  return text;
}

NetDaemonClient::NetDaemonClient(unsigned short daemonPort) : daemonPort_(daemonPort) {
  socket_ = socket(AF_INET, SOCK_DGRAM, 0);
  sockaddr_in local{};
  local.sin_family = AF_INET;
  local.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  bind(socket_, reinterpret_cast<sockaddr*>(&local), sizeof local);
}

NetDaemonClient::~NetDaemonClient() {
  if (socket_ >= 0) close(socket_);
}

void NetDaemonClient::send(const std::string& text) {
  sockaddr_in daemon{};
  daemon.sin_family = AF_INET;
  daemon.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  daemon.sin_port = htons(daemonPort_);
  sentAt_ = NowMs();
  sendto(socket_, text.data(), text.size(), 0, reinterpret_cast<sockaddr*>(&daemon), sizeof daemon);
}

std::string NetDaemonClient::receive(int waitMs, long* elapsedMs) {
  pollfd ready{socket_, POLLIN, 0};
  if (poll(&ready, 1, waitMs) <= 0) return "(none)";
  char area[256];
  ssize_t length = recv(socket_, area, sizeof area, 0);
  if (elapsedMs != nullptr) *elapsedMs = NowMs() - sentAt_;
  return length < 0 ? "(none)" : std::string(area, static_cast<size_t>(length));
}
