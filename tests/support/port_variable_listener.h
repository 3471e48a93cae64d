// A UDP socket on a free loopback port, named by the environment variable that
// sets a listen port of the system (ZEVP_DP_PORT, ...): what the system sends to
// that port arrives here. The variable is unset again at the end.
#pragma once

#include <string>

class PortVariableListener {
 public:
  explicit PortVariableListener(const char* variable);
  ~PortVariableListener();
  PortVariableListener(const PortVariableListener&) = delete;
  PortVariableListener& operator=(const PortVariableListener&) = delete;

  // The next datagram within the time (real milliseconds), or empty.
  std::string next(int waitMs);
  unsigned short port() const { return port_; }

 private:
  const char* variable_;
  int socket_;
  unsigned short port_;
};
