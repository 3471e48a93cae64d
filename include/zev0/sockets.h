// The process's TCP and UDP endpoints, all opened the same way: bound to the
// address of the local host name in effect, non-blocking, address reuse on
// unless asked otherwise, never descriptor 0.
#pragma once

#include <netinet/in.h>

#include <cstdint>

// type: SOCK_DGRAM (UDP) or SOCK_STREAM (TCP). port: network byte order, 0 for
// any. address: receives the local address and the requested port (still 0 for
// any port: ZEV0_RetrieveSockPort gives the one assigned). noReuse: exactly 1
// turns SO_REUSEADDR (and, for TCP, TCP_NODELAY) off; a UDP socket on any port
// never has SO_REUSEADDR, so that no two are given the same port. Returns the descriptor,
// which the caller closes with ZEV0_CloseTheSocket, or -1 when the socket could
// not be made or bound.
int ZEV0_OpenLocalSocket(int type, uint16_t port, sockaddr_in* address, int noReuse);

// The local port bound to the socket, in host byte order; 0 when it cannot be read.
unsigned short ZEV0_RetrieveSockPort(int socketDescriptor);

// The result of ioctl (negative on failure), e.g. FIONBIO with 1 for non-blocking.
int ZEV0_SetSocketIoctl(int socketDescriptor, unsigned long request, void* argument);

// Closes the descriptor and traces the outcome.
void ZEV0_CloseTheSocket(int socketDescriptor);

// The socket-library start-up hook: nothing to start here. Returns 1.
int ZEV0_WinSockInitialization();

namespace zev0 {

// Asks for a receive buffer of the bytes, for a socket whose datagrams come in bursts
// faster than its reader may take them for a while; past the system's limit only with
// the right to pass it, else the limit.
void WidenReceiveBuffer(int socketDescriptor, int bytes);

}  // namespace zev0
