// The bare loopback request/reply loops that the DCH is measured against: a server
// that answers each request with a fixed reply and does nothing else, and a client
// that sends a request and waits for the reply, over TCP (a message framed by its
// total length word, as DCH messages are) or UDP (one datagram each way). Like the
// DCH server, the bare server serves one request at a time, on one thread.
#pragma once

#include <atomic>
#include <string>
#include <thread>
#include <vector>

class BareServer {
 public:
  // Answers every request on 127.0.0.1 with `reply`, over TCP and UDP; port() tells where.
  explicit BareServer(std::string reply);
  ~BareServer();
  BareServer(const BareServer&) = delete;
  BareServer& operator=(const BareServer&) = delete;
  unsigned short port() const { return port_; }

 private:
  void serve();
  bool answerConnection(int sockFD);
  void answerDatagram();

  std::string reply_;
  int listener_ = -1;
  int datagrams_ = -1;
  unsigned short port_ = 0;
  std::atomic<bool> stopping_{false};
  std::thread thread_;
  std::vector<int> connections_;
};

// A client of one connection (TCP) or one socket (UDP): exchange() sends the request
// and reads a reply of replySize bytes, empty when either fails. The DCH is measured
// through the same client, so that only the server differs.
class BareClient {
 public:
  BareClient(unsigned short port, bool tcp);
  ~BareClient();
  BareClient(const BareClient&) = delete;
  BareClient& operator=(const BareClient&) = delete;
  std::string exchange(const std::string& request, size_t replySize);

 private:
  int sockFD_;
  bool tcp_;
};
