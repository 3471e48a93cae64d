// A UDP peer of the test's own that plays an SNMP agent with a script, on 127.0.0.1
// or on an address and port of the test's choice: for each request it receives, it
// sends what the script makes of it, each reply from its own address or from
// 127.0.0.2 (a foreign address), and counts the requests. For bytes that snmpd never
// sends: stale, foreign, malformed, none at all, error statuses at will.
#pragma once

#include <netinet/in.h>

#include <atomic>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "snmp_messages.h"

struct ScriptedReply {
  SnmpBytes bytes;
  bool foreign = false;  // from 127.0.0.2
  int delayMs = 0;       // before it is sent
};

class SnmpResponder {
 public:
  using Script = std::function<std::vector<ScriptedReply>(const SnmpBytes& request)>;
  explicit SnmpResponder(Script script) : SnmpResponder(std::move(script), "127.0.0.1", 0) {}
  // On the address and port (0: a free port of the loopback address).
  SnmpResponder(Script script, const std::string& address, unsigned short port);
  ~SnmpResponder();
  SnmpResponder(const SnmpResponder&) = delete;
  SnmpResponder& operator=(const SnmpResponder&) = delete;

  // Where requests go.
  const sockaddr_in& address() const { return address_; }
  int requests() const { return requests_.load(); }
  SnmpBytes lastRequest();

 private:
  void serve();

  Script script_;
  int socket_ = -1;
  int foreign_ = -1;
  int wake_[2] = {-1, -1};
  sockaddr_in address_{};
  std::atomic<int> requests_{0};
  std::mutex lock_;
  SnmpBytes last_;
  std::thread thread_;
};

// A UDP socket on 127.0.0.1 and any port, as the code under test sends from.
class ClientSocket {
 public:
  ClientSocket();
  ~ClientSocket();
  int fd() const { return fd_; }

 private:
  int fd_;
};
