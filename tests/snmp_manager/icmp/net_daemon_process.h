// The ICMP daemon zevsnetd as its real program, for a test body that runs in a
// network namespace of its own, with a client that speaks its datagrams over
// loopback.
#pragma once

#include <string>
#include <vector>

#include "tool_process.h"
#include "udp_peer.h"

class NetDaemonProcess {
 public:
  // The daemon's port (ZEVP_SNMP_NETDAEMON_PORT); its verbose trace goes to a file
  // of its scratch folder.
  explicit NetDaemonProcess(unsigned short port);

  // Starts it with the settings ("NAME=value") over the port, trace and host name
  // (ZEV_DP_HOSTNAME=127.0.0.1); with awaitPort, waits until its port is bound.
  // False (with failure()) when it could not start or its port was not bound.
  bool start(const std::vector<std::string>& settings = {}, bool awaitPort = true);
  // SIGTERM, then the wait status (-1 when it did not end within the time).
  int terminate(int waitMs = 5000) { return process_.terminate(waitMs); }
  int waitForEnd(int waitMs) { return process_.waitForEnd(waitMs); }
  long residentKilobytes() const { return process_.residentKilobytes(); }
  // The trace file's lines so far.
  std::vector<std::string> traceLines() const;
  // The trace's lines without their time stamps, as one text.
  std::string traceText() const;
  unsigned short port() const { return port_; }
  const std::string& failure() const { return failure_; }

 private:
  unsigned short port_;
  ToolProcess process_;
  std::string failure_;
};

// A UDP socket on 127.0.0.1 that sends to the daemon's port.
class NetDaemonClient {
 public:
  explicit NetDaemonClient(unsigned short daemonPort) : daemonPort_(daemonPort) {}

  void send(const std::string& text);
  // The next datagram within the time, or "(none)"; *elapsedMs (when given) is the
  // time from the last send.
  std::string receive(int waitMs, long* elapsedMs = nullptr);

 private:
  UdpPeer peer_;
  unsigned short daemonPort_;
  long sentAt_ = 0;
};
