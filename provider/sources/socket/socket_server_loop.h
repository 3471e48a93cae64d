// One server loop: its sockets, its passes and its end. Each pass waits (poll) for
// datagrams, data of bound TCP partners, new connections and the first data of
// waiting ones, then serves what came under the anchor's application-definition
// lock, so that a console DELETE or REFRESH waits for the pass and the pass for it.
#pragma once

#include <netinet/in.h>

#include <cstddef>
#include <cstdint>
#include <unordered_set>
#include <vector>

#include "new_connections.h"
#include "partner_binding.h"
#include "partner_records.h"

struct DPAB;
struct IOEntry;
struct ProcessEntry;

namespace zevp {

// Bytes taken in one receive: a zero byte always follows them in the buffer.
constexpr int ZEVP_RECEIVE_SIZE = 4095;
// Datagrams taken in one pass at most, so that a flood of them starves no connection.
constexpr int ZEVP_DATAGRAMS_PER_PASS = 64;
// API datagram partners holding sources of their own at most.
constexpr size_t ZEVP_DATAGRAM_SESSIONS_MAX = 64;
// Connections accepted in one pass at most.
constexpr int ZEVP_CONNECTIONS_PER_PASS = 16;
// The loop looks at its termination flag at least this often.
constexpr int ZEVP_TERMINATION_LOOK_MS = 1000;

class SocketServerLoop {
 public:
  SocketServerLoop(DPAB* anchor, ProcessEntry* entry, uint16_t port);
  ~SocketServerLoop();
  SocketServerLoop(const SocketServerLoop&) = delete;
  SocketServerLoop& operator=(const SocketServerLoop&) = delete;

  // Opens the sockets and logs that it listens; false when none opened.
  bool start();
  // Passes until the termination flag is seen at the end of one.
  void run();
  // Takes every bound partner offline and closes the sockets.
  void shutDown();

 private:
  void pass();
  void watchPartners(std::vector<pollfd>* watched);
  // UDP (udp_datagrams.cpp).
  void receiveDatagrams();
  void datagram(int length, const sockaddr_in& sender);
  void renewExpiry(IOEntry* partner);
  // Unbinds a datagram partner whose input ended; an API partner's dynamic source goes.
  void unbindDatagramPartner(IOEntry* partner);
  void endOldestDatagramSession();
  // Bound TCP partners (tcp_partner_input.cpp).
  void servePartners(std::unordered_set<int>* readable);
  // The partner's data or end; true when its dynamic source is to be released.
  bool partnerInput(IOEntry* partner);
  bool connectionEnded(IOEntry* partner, int error);

  char* clearedBuffer();

  DPAB* anchor_;
  ProcessEntry* entry_;
  PartnerMode mode_;
  uint16_t port_;  // network byte order
  int udp_ = -1;
  int listen_ = -1;
  int64_t expiryFactor_;
  std::vector<char> receive_;
  UnfinishedRecords unfinished_;
  NewConnections connections_;
};

}  // namespace zevp
