// The socket steps that the bare loops share: whole reads and sends, no delay for small
// messages, and a TCP listener with a UDP socket on one loopback port.
#pragma once

#include <atomic>
#include <cstddef>
#include <functional>
#include <vector>

bool ReadAll(int sockFD, char* buffer, size_t size);
bool SendAll(int sockFD, const char* bytes, size_t size);
// As the DCH's sockets are: no delay for small messages.
void NoDelay(int sockFD);

// A listening TCP socket and a UDP socket bound to the same free loopback port, and the
// connections it accepted, served by one thread.
class LoopbackPortServer {
 public:
  LoopbackPortServer();
  ~LoopbackPortServer();
  LoopbackPortServer(const LoopbackPortServer&) = delete;
  LoopbackPortServer& operator=(const LoopbackPortServer&) = delete;

  unsigned short port() const { return port_; }
  int datagrams() const { return datagrams_; }
  // Until `stopping`: one wait on every socket, then onDatagram() when the UDP socket has
  // one, and onConnection(socket) for each connection that has data (false shuts it down).
  void serve(const std::atomic<bool>& stopping, const std::function<void()>& onDatagram,
             const std::function<bool(int)>& onConnection);

 private:
  int listener_ = -1;
  int datagrams_ = -1;
  unsigned short port_ = 0;
  std::vector<int> connections_;
};
