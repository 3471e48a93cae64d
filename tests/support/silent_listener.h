// A loopback port held by a TCP listener that never accepts and never answers: to
// a program that connects, a peer that takes the connection (the system completes
// it) and then says nothing; to a server that wants the port, a port another
// process has taken.
#pragma once

class SilentListener {
 public:
  // On the port, or on a free one (FreeLoopbackPort) when it is 0.
  explicit SilentListener(unsigned short port = 0);
  ~SilentListener();
  SilentListener(const SilentListener&) = delete;
  SilentListener& operator=(const SilentListener&) = delete;

  // False when the port could not be bound or listened on.
  bool listening() const { return listening_; }
  unsigned short port() const { return port_; }

 protected:
  int listeningSocket() const { return socket_; }

 private:
  unsigned short port_;
  int socket_;
  bool listening_ = false;
};
