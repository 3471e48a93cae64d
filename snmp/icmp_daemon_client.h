// The SNMP data provider's client side of the ICMP network daemon.
#pragma once

#include <atomic>

// The UDP socket to the ICMP daemon; 0 while none is open. The manager task
// closes it at its end.
extern std::atomic<int> ICMPdaemonSock;
