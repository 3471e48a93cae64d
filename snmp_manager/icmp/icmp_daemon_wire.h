// The text datagrams between the SNMP data provider and the ICMP daemon
// (docs/icmp-daemon-protocol.md): "<sequence> <dotted address>[ <wait ms>] <port>"
// asks for one echo; the reply is "<sequence> <milliseconds>" or "<sequence> -1".
// Like icmp_echo.h, only the C library is used.
#pragma once

#include <netinet/in.h>

#include <cstddef>
#include <cstdint>

namespace zevs {

// A request or reply area: 80 bytes, of which a datagram fills at most 79 so that
// the text stays terminated.
constexpr size_t kDaemonDatagramArea = 80;
constexpr int32_t kDaemonDefaultWaitMs = 1000;

// Writes the request (the wait only when above 0) into out: its length, or 0 when
// it does not fit.
size_t FormatDaemonRequest(char* out, size_t size, int32_t sequence, const char* dottedAddress, int32_t waitMs,
                           uint16_t port);

// A request as the daemon reads it.
struct DaemonRequest {
  size_t firstBlank;   // the reply is written from just behind it
  in_addr_t target;    // network byte order; 0 for the start-up probe
  bool targetValid;    // false when the address token is no dotted address
  int32_t waitMs;      // kDaemonDefaultWaitMs when absent
  uint16_t port;       // 0 when absent
};

// False for a text without a blank (no reply is due). The text is terminated.
bool ParseDaemonRequest(const char* text, DaemonRequest* request);

// Rewrites the area (size bytes, holding a request) from just behind its first
// blank with the value: "<sequence> <value>".
void WriteDaemonReply(char* area, size_t size, const DaemonRequest& request, int32_t value);

// Reads a reply of length bytes: its sequence number and milliseconds (-1 for no
// answer). False when either number is missing or malformed.
bool ParseDaemonReply(const char* text, size_t length, int32_t* sequence, int32_t* milliseconds);

}  // namespace zevs
