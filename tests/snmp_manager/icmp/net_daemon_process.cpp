#include "net_daemon_process.h"

#include <time.h>

#include <fstream>
#include <sstream>

#include "eventually.h"
#include "network_namespace.h"
#include "socket_tables.h"

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

void NetDaemonClient::send(const std::string& text) {
  sentAt_ = NowMs();
  peer_.send("127.0.0.1", daemonPort_, text);
}

std::string NetDaemonClient::receive(int waitMs, long* elapsedMs) {
  std::string datagram = peer_.receive(waitMs);
  if (elapsedMs != nullptr) *elapsedMs = NowMs() - sentAt_;
  return datagram.empty() ? "(none)" : datagram;
}
