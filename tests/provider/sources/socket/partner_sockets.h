// Loopback sockets that play network partners (and, in process, the server's side
// of one) for the socket and API input's tests.
#pragma once

#include <netinet/in.h>

#include <string>

// Replies and acknowledgements in the API's and the partner's code: EBCDIC to and
// from the local code.
std::string ToNetworkCode(std::string text);
std::string ToLocalCode(std::string text);

// A UDP socket bound to a loopback port of its own.
class DatagramEnd {
 public:
  DatagramEnd();
  ~DatagramEnd();
  DatagramEnd(const DatagramEnd&) = delete;
  DatagramEnd& operator=(const DatagramEnd&) = delete;

  int socket() const { return socket_; }
  const sockaddr_in& address() const { return address_; }
  void sendTo(unsigned short port, const std::string& bytes) const;
  // The next datagram that comes within the time; "<none>" when none does.
  std::string next(int waitMs) const;

 private:
  int socket_;
  sockaddr_in address_{};
};

// A TCP connection to a loopback port.
class StreamEnd {
 public:
  explicit StreamEnd(unsigned short port);
  ~StreamEnd();
  StreamEnd(const StreamEnd&) = delete;
  StreamEnd& operator=(const StreamEnd&) = delete;

  bool connected() const { return socket_ >= 0; }
  int socket() const { return socket_; }
  bool send(const std::string& bytes) const;
  // What one receive takes once something came within the time; "<none>" when nothing did.
  std::string next(int waitMs) const;
  // True when the other side closed (or reset) the connection within the time.
  bool closedByPeer(int waitMs) const;
  void close();

 private:
  int socket_;
};
