// The console's UDP port, which is also the lock that keeps a second data provider
// of the same type from running on the host: the check at start-up, and the console
// IO thread that owns the port, hands each command to the console service, and
// answers busy and still-working replies on its own.
#pragma once

#include <netinet/in.h>

#include <cstdint>
#include <string>

struct DPAB;

// The base of the console ports: ZEVP_DPCONSOLE_PORT, else 7700 and the product's
// DP_PORT_OFFSET. A data provider's console port is the base and its type number.
uint16_t ZEVP_ConsoleBasePort();
uint16_t ZEVP_ConsolePortOf(int32_t dpType);

// 1 when a data provider of the anchor's type already holds its console port on this
// host (ZEVPV89E shown), or when the console transport is RPC, which cannot serve; else 0.
int ZEVP_CheckDPalreadyActive(DPAB* anchor);

// Thread routines of the console IO thread by transport (the argument is the
// anchor): UDP sockets, and RPC, which is not available and only tells the service so.
void* ZEVP_SockConsoleSupport(void* anchor);
void* ZEVP_RPCConsoleSupport(void* anchor);

// Sends one reply datagram from the socket, converted to the network code; a
// failure is traced. Nothing goes to an all-zero address (a command from an action).
void ZEVP_SendConsoleDatagram(int socket, const sockaddr_in& client, std::string text);

namespace zevp {

// How long the IO thread waits for a datagram before it tells the client of a
// command in progress that it still runs (15 seconds); tests shorten it.
int ConsoleInterimMs();
void SetConsoleInterimMs(int milliseconds);

}  // namespace zevp
