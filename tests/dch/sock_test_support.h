// Loopback helpers for the socket transport's tests: the DCH environment of the test process
// (one free port for UDP and TCP alike), peers on 127.0.0.1, DCH-shaped bytes, and taking
// entries out of a server's request ring.
#pragma once

#include <netinet/in.h>

#include <cstdint>
#include <string>

#include "dch/dchipc.h"

// Sets the DCH environment of this process once, before the first transport reads it:
// QFEB0_HOSTNAME=localhost, ZEVA_DCH_ADDR=127.0.0.1, ZEVA_DCH_PORT (a port free for UDP and
// TCP; kept for children that run the test program again), ZEVA_DCH_TIMEOUT=1 and
// ZEVA_DCH_UDP_SOCKETS_IN_POOL. Returns the port.
unsigned short UseLoopbackDCH(int poolSockets = 2);

sockaddr_in LoopbackAddress(unsigned short port);
// A UDP socket bound to 127.0.0.1 and the port (0: any), or -1.
int OpenLoopbackUdp(unsigned short port = 0);
// A TCP connection to 127.0.0.1 and the port, or -1.
int ConnectLoopbackTcp(unsigned short port);
unsigned short LocalPort(int sockFD);

// total bytes whose first four declare `declared` (big-endian), the rest filled with a
// pattern that tells positions apart.
std::string DchBytes(uint32_t declared, size_t total);
inline std::string DchMessage(size_t total) { return DchBytes(static_cast<uint32_t>(total), total); }

// Sends all bytes on a connected socket (blocking); false when it could not.
bool SendAll(int sockFD, const std::string& bytes);
// Receives one datagram, or what a connection has, waiting at most the milliseconds; empty
// on time-out.
std::string ReceiveWithin(int sockFD, int waitMs, sockaddr_in* sender = nullptr);
// Whether the peer has closed the connection within the milliseconds (reads and drops data).
bool PeerClosed(int sockFD, int waitMs);

struct RingEntry {
  DCHmessageKind kind = DCHmessageKind::message;
  std::string body;  // a message: its declared total; a pseudo-message: its text
  std::string clientName;
  unsigned int sockFD = 0;
  unsigned int generation = 0;
  sockaddr_in address{};
  int addressLength = 0;
};

// Takes the next entry of the server's ring. A wait of more than 10 seconds ends the test
// program (an alarm), so that a missing entry cannot hang the run.
RingEntry TakeFromRing(DCHipc& server);
