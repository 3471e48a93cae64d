// New TCP connections of a server loop. A connection from a socket partner connected
// already is bound at once, to be closed as a duplicate. Any other connection waits,
// beside the others, for its first data: a known partner's is bound then; a socket
// partner not known yet must send its association record first, before its time runs
// out; an API session opens with its first request that it takes.
#pragma once

#include <netinet/in.h>
#include <poll.h>

#include <cstdint>
#include <string>
#include <unordered_set>
#include <vector>

#include "partner_binding.h"

struct DPAB;
struct IOEntry;
struct ProcessEntry;

namespace zevp {

class UnfinishedRecords;

// How long a new socket partner's connection waits for its first data.
constexpr int ZEVP_FIRST_DATA_WAIT_SECONDS = 5;
// Connections waiting for their first data at most; one more makes the longest
// waiting one go.
constexpr size_t ZEVP_WAITING_CONNECTIONS_MAX = 64;

class NewConnections {
 public:
  // receive: the loop's buffer for one receive, of receiveSize bytes and a zero byte.
  NewConnections(DPAB* anchor, ProcessEntry* server, char* receive, int receiveSize, UnfinishedRecords* unfinished);
  ~NewConnections();
  NewConnections(const NewConnections&) = delete;
  NewConnections& operator=(const NewConnections&) = delete;

  // Accepts one connection from the listening socket; false when none waited.
  bool accept(int listenSocket);
  // The waiting connections, to be watched for their first data.
  void watch(std::vector<pollfd>* watched) const;
  // Milliseconds until the first waiting connection's time runs out; -1 when none waits.
  int64_t nextDeadlineMs() const;
  // Takes the first data of each waiting connection that is readable, and refuses
  // those whose time ran out.
  void serve(const std::unordered_set<int>& readable);

 private:
  struct Waiting {
    int socket;
    sockaddr_in peer;
    int64_t deadlineMs;
    bool known;  // from a partner known when it was accepted
  };

  IOEntry* knownPartner(const sockaddr_in& peer) const;
  static bool connected(IOEntry* partner);
  // Closes a connection that sent nothing: refused with a message when its partner
  // was not known, quietly when it was.
  void giveUp(const Waiting& connection);
  void refuseSilent(const Waiting& connection);
  void dropKnown(const Waiting& connection);
  // Closes a connection that no partner could be found or made for.
  void abandon(const Waiting& connection);
  void firstData(const Waiting& connection, int received);
  // An API connection's first request: one a session takes opens the session and goes
  // to it; any other is answered and the connection waits on.
  void firstRequest(const Waiting& connection, int received);
  // Binds the connection to the partner; the bytes after an association record, if
  // any, are the partner's first records. False when the partner is connected
  // already: the connection is closed.
  bool bind(int socket, const sockaddr_in& peer, IOEntry* partner, int received, const std::string& records);

  DPAB* anchor_;
  ProcessEntry* server_;
  PartnerMode mode_;
  char* receive_;
  int receiveSize_;
  UnfinishedRecords* unfinished_;
  std::vector<Waiting> waiting_;
};

// Now on the basic services' clock, in milliseconds.
int64_t NowMs();

}  // namespace zevp
