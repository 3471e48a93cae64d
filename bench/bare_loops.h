// The bare loopback request/reply loops that the DCH is measured against: a server
// that answers each request with a fixed reply and does nothing else, and a client
// that sends a request and waits for the reply, over TCP (a message framed by its
// total length word, as DCH messages are) or UDP (one datagram each way). Like the
// DCH server, the bare server serves one request at a time, on one thread.
//
// Handed over, the bare server keeps the order of the DCH server and nothing else of it:
// its receive thread hands each request (TCP or UDP) through a ring of four under a
// mutex and two conditions to a reply thread, which answers it; with the row copy, the
// reply thread first sends a copy of the request to a consumer parked on a UDP socket (a
// thread that only receives), as the DCH server sends a row before its status. It shows
// what that order costs on the machine by itself.
#pragma once

#include <netinet/in.h>

#include <atomic>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "loopback_sockets.h"
#include "tally.h"

class BareServer {
 public:
  enum class Order { direct, handedOver, handedOverWithRowCopy };
  // Answers every request on 127.0.0.1 with `reply`, over TCP and UDP; port() tells where.
  explicit BareServer(std::string reply, Order order = Order::direct);
  ~BareServer();
  BareServer(const BareServer&) = delete;
  BareServer& operator=(const BareServer&) = delete;
  unsigned short port() const { return sockets_.port(); }
  // The copies the parked consumer took (with the row copy).
  Tally& copies() { return copies_; }

 private:
  struct Request {
    int sockFD;  // the connection; -1 for a datagram
    sockaddr_in sender;
    std::string message;
  };

  void serve();
  bool answerConnection(int sockFD);
  void answerDatagram();
  void handOver(Request request);
  void replyInOrder();
  void consume();
  void wakeConsumer();

  std::string reply_;
  Order order_;
  LoopbackPortServer sockets_;
  std::atomic<bool> stopping_{false};
  std::thread thread_;
  // Handed over: the ring, the reply thread, and the parked consumer.
  std::mutex ringLock_;
  std::condition_variable notFull_;
  std::condition_variable notEmpty_;
  std::deque<Request> ring_;
  std::thread replier_;
  int consumerSocket_ = -1;
  Tally copies_;
  std::thread consumer_;
};

// Bytes framed by their total length word, as the bare server reads a TCP request: for a
// bare loop whose requests are as long as ones that carry no such word.
std::string FramedForBareServer(const std::string& bytes);

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

// The order of a data provider's DCH link built bare, to show what that order costs by
// itself: the caller's thread hands each request to a client thread and sleeps until it
// is done; the client sends it on its TCP connection and sleeps until a receive thread,
// which alone reads the connection, has taken the reply and woken it; then the client
// wakes the caller. Each hand-over has a mutex and a condition of its own. exchange() is
// false when a reply does not come whole or the connection failed.
class BareProviderLink {
 public:
  explicit BareProviderLink(unsigned short port);
  ~BareProviderLink();
  BareProviderLink(const BareProviderLink&) = delete;
  BareProviderLink& operator=(const BareProviderLink&) = delete;
  bool exchange(const std::string& request, size_t replySize);

 private:
  void sendRequests();
  void receiveReplies();

  int sockFD_;
  std::atomic<bool> failed_{false};
  std::atomic<bool> stopping_{false};
  std::atomic<size_t> replySize_{0};
  // The caller's hand-over: the request, and whether it is done.
  std::mutex workLock_;
  std::condition_variable workCame_;
  const std::string* request_ = nullptr;
  std::mutex callerLock_;
  std::condition_variable callerWakes_;
  bool done_ = false;
  // The receive thread's: whether the reply came.
  std::mutex statusLock_;
  std::condition_variable replyCame_;
  bool replied_ = false;
  std::thread client_;
  std::thread receiver_;
};
