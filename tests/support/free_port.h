// A loopback port that is free for both TCP and UDP, for a server a test starts.
#pragma once

// Chosen at random below the kernel's ephemeral range, so that the client sockets of
// other tests running at the same time cannot take it between the check and the bind,
// and reserved for this process (the other test processes pass it by) until it ends.
// 0 when none was found.
unsigned short FreeLoopbackPort();

// True when both a UDP and a TCP socket can bind the port on 127.0.0.1 right now.
bool LoopbackPortIsFree(unsigned short port);

// The first of `count` consecutive loopback ports, each free and reserved as above;
// 0 when none was found.
unsigned short FreeLoopbackPorts(int count);

// A base for the console ports of data providers of any type (ZEVP_DPCONSOLE_PORT),
// the base and the eight ports above it free and reserved; 0 when none was found.
unsigned short FreeConsoleBase();
