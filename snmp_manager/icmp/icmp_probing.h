// ICMP echo probing of one node or of every host of a network: through the ICMP
// daemon zevsnetd when it answered at start-up, else with a raw socket of the
// process's own. Each answering host's response time goes into its network entry
// (ZEVS_UpdateResponseTimeStatus); only replies to the echo sent count.
#pragma once

#include <atomic>
#include <cstdint>

struct NetworkEntry;

// Asks the daemon (on the local host, port ZEVP_SNMP_NETDAEMON_PORT else 7980)
// once, waiting at most 5 seconds: ICMPdaemonActive is set when it answers.
void ZEVS_CheckICMPdaemonStatus();

// The hosts that answered: the node at *address (network byte order), or with
// wholeNetwork every host 1 … 254 below the network's range. 0 for a network in
// state 2 or 3, without sending. network: the entry whose host records are
// updated; second (may be null): also given the time of a raw-socket reply.
// waitMs: the caller's wait (500, 1000, a configured time-out).
int ZEVS_CheckActiveNode(const uint32_t* address, uint16_t port, int wholeNetwork, NetworkEntry* network,
                         NetworkEntry* second, int32_t waitMs);
// The same through the process's own raw socket.
int ZEVS_SendAndReceiveICMPpacket(const uint32_t* address, uint16_t port, int wholeNetwork, NetworkEntry* network,
                                  NetworkEntry* second, int32_t waitMs);

// Builds the ICMP message into *buffer (a new zeroed 1600-byte block when null,
// then always fresh): fresh with the next sequence number of the process (and, for
// type 8, the send time and the text); reused, a new identifier and checksum only.
// The length in bytes.
int32_t ZEVS_FormatICMPbuffer(char** buffer, int reuse, uint8_t type, uint8_t code, uint16_t identifier,
                              const char* text);

// The daemon client's state: 1 once the daemon answered; its UDP socket (0 while
// none is open; the manager task closes it at its end with CloseIcmpDaemonSocket).
extern std::atomic<int32_t> ICMPdaemonActive;
extern std::atomic<int> ICMPdaemonSock;

namespace zevs {

constexpr int32_t kIcmpBufferSize = 1600;
// The text of the data provider's echoes.
extern const char kEchoRequestText[];

// True while the network is excluded (state 2 or 3): nothing is probed.
bool ProbingExcluded(const NetworkEntry* network);
// True once the block's shut-down flag is set.
bool ProbingStopped();
// Waits until the descriptor is readable (true), the deadline (SteadyMicroseconds)
// has passed or probing is stopped (false); a stop is seen within 20 ms.
bool ReadableUnlessStopped(int descriptor, int64_t deadline);
// Closes the daemon socket between two exchanges, never amid one; probes after it
// use the raw socket.
void CloseIcmpDaemonSocket();
// The whole-network probes go to hosts 1 … this, and below the network's range.
constexpr int32_t kLastProbedHost = 254;

// For tests: forgets the raw socket and the daemon (as at process start), so that
// the next probe opens its socket again and logs a refusal again.
void ResetIcmpProbingForTests();

}  // namespace zevs
