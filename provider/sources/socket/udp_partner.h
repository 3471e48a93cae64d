// The partner of a datagram sender: found by its address, or made for it from its
// association record (socket mode) or from its BGNINP (API mode).
#pragma once

#include <netinet/in.h>

struct DPAB;
struct IOEntry;
struct ProcessEntry;

// The sender's partner for the server of the process entry, or null when the
// datagram cannot be bound to one: that is logged, and an API partner's first
// request that is refused is answered from the UDP socket. An API request comes
// in the local code already; a socket partner's bytes as they were received.
IOEntry* ZEVP_CheckExistUDPpartner(DPAB* anchor, ProcessEntry* server, const sockaddr_in* sender, int udpSocket,
                                   const char* datagram, int length);
