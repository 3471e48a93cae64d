// The kernel's tables of the IPv4 sockets in the calling process's network namespace
// (/proc/net/tcp, /proc/net/udp): a test reads what a server has opened without
// talking to it, so that it disturbs nothing it goes on to check.
#pragma once

#include <string>

// True when a TCP socket whose local port is the port (any address) is in the state,
// as the kernel writes it ("0A" listening, "06" TIME_WAIT).
bool TcpSocketInState(unsigned short port, const std::string& state);

// True when a TCP socket listens on the port and a UDP socket is bound to it: a server
// of both is ready for either. That the port is no longer free tells less, as a server
// binds one before the other, and binds before it listens.
bool TcpAndUdpServed(unsigned short port);

// True when the namespace has a UDP socket bound to the port (any address).
bool UdpPortBound(unsigned short port);
// The bytes waiting in the receive queue of the namespace's UDP socket bound to the
// port; -1 when there is none.
long UdpReceiveQueue(unsigned short port);
