#include "port_variable_listener.h"

#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdlib>

#include "free_port.h"

PortVariableListener::PortVariableListener(const char* variable) : variable_(variable) {
  socket_ = socket(AF_INET, SOCK_DGRAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  port_ = FreeLoopbackPort();
  address.sin_port = htons(port_);
  EXPECT_EQ(bind(socket_, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
  setenv(variable, std::to_string(port_).c_str(), 1);
}

PortVariableListener::~PortVariableListener() {
  close(socket_);
  unsetenv(variable_);
}

std::string PortVariableListener::next(int waitMs) {
  pollfd readable{socket_, POLLIN, 0};
  if (poll(&readable, 1, waitMs) != 1) return {};
  char buffer[128];
  ssize_t n = recv(socket_, buffer, sizeof buffer, 0);
  return n > 0 ? std::string(buffer, static_cast<size_t>(n)) : std::string();
}
