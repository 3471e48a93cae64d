// The DP log messages of the socket and API servers, by number; the texts belong
// to the DP log. Their inserts follow each name.
#pragma once

#include <cstdint>

constexpr int32_t ZEVP_DPLOG_SERVER_LISTENING = 20;     // label, port text
constexpr int32_t ZEVP_DPLOG_TCP_ACCEPTED = 21;         // host, address, port, application, group
constexpr int32_t ZEVP_DPLOG_TCP_NO_METAFILE = 22;      // host
constexpr int32_t ZEVP_DPLOG_TCP_NO_SOURCE = 23;        // host, application, host
constexpr int32_t ZEVP_DPLOG_SESSION_ENDED = 24;        // "TCP" or "UDP", host, port, application, group
constexpr int32_t ZEVP_DPLOG_API_SESSION_OPENED = 25;   // host
constexpr int32_t ZEVP_DPLOG_API_SESSION_CLOSED = 26;   // host
constexpr int32_t ZEVP_DPLOG_UDP_NO_SOURCE = 29;        // host, application, host
constexpr int32_t ZEVP_DPLOG_METAFILE_REFUSED = 30;     // "TCP" or "UDP", host, association record
constexpr int32_t ZEVP_DPLOG_UDP_ACCEPTED = 31;         // host, address, port, application, group
constexpr int32_t ZEVP_DPLOG_BEGIN_INPUT_DONE = 33;     // application, group, host
constexpr int32_t ZEVP_DPLOG_BEGIN_INPUT_FAILED = 34;   // application, group, host
constexpr int32_t ZEVP_DPLOG_END_INPUT = 35;            // application, group, host
constexpr int32_t ZEVP_DPLOG_NO_ASSOCIATION = 56;       // "TCP" or "UDP", host
