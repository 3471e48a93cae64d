// The order of a data provider's input road built bare: what the socket, API and POST
// servers fix, with no work in them. One server thread waits on a UDP socket, a TCP
// listener and its connections on one loopback port; each record it takes (a datagram,
// a TCP receive, or a line of one) goes as a row through the data provider's DCH link
// built bare (BareProviderLink: the server's thread, the DCH client and the receive
// thread) to a server of the DCH server's order, which copies it to a parked consumer
// before its status; once the receive's records are through, the partner gets the
// reply, when there is one, on its own socket. The rows counted are the consumer's.
#pragma once

#include <atomic>
#include <memory>
#include <string>
#include <thread>

#include "bare_loops.h"
#include "loopback_sockets.h"
#include "tally.h"

class BareInputRoad {
 public:
  // How a TCP partner's bytes make records: each receive one, or each line of it.
  enum class Records { receives, lines };
  // `row` is the data request that a record becomes; `reply` what a partner gets after
  // each receive (none when empty).
  BareInputRoad(std::string row, Records records, std::string reply = std::string());
  ~BareInputRoad();
  BareInputRoad(const BareInputRoad&) = delete;
  BareInputRoad& operator=(const BareInputRoad&) = delete;

  unsigned short port() const { return sockets_.port(); }
  // The rows at the parked consumer.
  Tally& rows() { return dch_.copies(); }

 private:
  bool serveConnection(int sockFD);
  void serveDatagram();
  bool passRecord();

  std::string row_;
  Records records_;
  std::string reply_;
  BareServer dch_;
  BareProviderLink link_;
  LoopbackPortServer sockets_;
  std::atomic<bool> stopping_{false};
  std::thread thread_;
};
