// Waking the select loops of this process's input servers (socket, API, POST) and
// of the metafile server: a datagram to their port that they recognise as an
// interrupt and drop. They then look at what changed behind their back (a
// partner dropped, an application deleted) or at their termination flag.
#pragma once

#include <netinet/in.h>

#include <cstdint>

// The interrupt texts; a datagram that is a prefix of either is an interrupt.
constexpr char SelectShutDownMsg[] = "*DP*SOCKET*SELECT*SHUTDOWN*INTERRUPT*";
constexpr char SelectDeleteMsg[] = "*DP*SOCKET*SELECT*DELETE*INTERRUPT*";

// The type that names the metafile server.
constexpr int32_t ZEVP_METAFILE_SERVER_TYPE = 99;

// The ports of the listen loops, in host byte order: the variable when set, else
// the base plus the product's port offset (the POST port has no offset).
uint16_t ZEVP_SocketDPport();    // ZEVP_DP_PORT, else 7500 + offset
uint16_t ZEVP_APIserverPort();   // ZEVP_API_DPAPI_PORT, else 7600 + offset
uint16_t ZEVP_MetaServerPort();  // ZEVP_META_SERVER_PORT, else 7800 + offset
uint16_t ZEVP_PostDPport();      // ZEVP_POST_DP_PORT, else 7575

// Sends the text (without its zero) as one datagram from the socket to the address;
// the result is only traced.
void ZEVP_SendSelectMessage(int socket, const char* text, const sockaddr_in* address);

// Sends the text to every port that the data-provider type listens on, at the local
// host: SOCK (2) the socket port, APIS (0) the API port, ASFS (3) both, POST (4) the
// POST port, 99 the metafile server's. Any other type is refused with a trace.
void ZEVP_SendSelectInterrupt(int32_t dpType, const char* text);
