// The socket data provider's and the API data provider's input server: one loop per
// mode that serves UDP datagrams and TCP connections on one port, binds each sender
// or connection to a partner and hands what it receives to the partner's request
// state machine (docs/socket-input.md).
#pragma once

#include <cstdint>

struct DPAB;
struct ProcessEntry;

// Thread routines (ZEVP_CreateProcess): the socket server (port ZEVP_DP_PORT, else
// 7500 + offset) and the API server (ZEVP_API_DPAPI_PORT, else 7600 + offset),
// which serves in API mode also for an ASFS data provider. Each ends its thread.
void ZEVP_SocketServer(ProcessEntry* entry);
void ZEVP_SOCKpgmAPIServer(ProcessEntry* entry);

// Serves the port (network byte order) in the mode of the entry's process type (0:
// API) until the entry's termination flag is seen; at once when no socket opens.
void ZEVP_CommonSocketServer(DPAB* anchor, ProcessEntry* entry, uint16_t port);
