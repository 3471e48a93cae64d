// The DP log messages that the application model sends (through the routine
// table's sendDPlogMessage), by number; the texts belong to the DP log.
#pragma once

#include <cstdint>

// Loading applications: 4 and 57 take the upper-cased metafile name and the
// application name, 5 the metafile name.
constexpr int32_t ZEVP_DPLOG_APPLICATION_LOADED = 4;
constexpr int32_t ZEVP_DPLOG_METAFILE_FAILED = 5;
constexpr int32_t ZEVP_DPLOG_ALREADY_REGISTERED = 57;
// Deleting an application: its name.
constexpr int32_t ZEVP_DPLOG_APPLICATION_DELETED = 10;
// A summary array that cannot grow: the group's name.
constexpr int32_t ZEVP_DPLOG_SUMMARY_CANNOT_GROW = 77;

// The metafile server.
constexpr int32_t ZEVP_DPLOG_META_LISTEN_FAILED = 37;      // "TCP Socket", errno
constexpr int32_t ZEVP_DPLOG_META_ALREADY_ACTIVE = 38;
constexpr int32_t ZEVP_DPLOG_META_SERVER_READY = 39;
constexpr int32_t ZEVP_DPLOG_META_CLIENT_ACCEPTED = 40;    // host, address, port
constexpr int32_t ZEVP_DPLOG_META_CLIENT_LEFT = 41;        // host, address, port
constexpr int32_t ZEVP_DPLOG_META_REQUEST = 42;            // host, metafile
constexpr int32_t ZEVP_DPLOG_META_SERVER_ENDED = 43;
constexpr int32_t ZEVP_DPLOG_META_SENT = 44;               // metafile, records, host
constexpr int32_t ZEVP_DPLOG_META_NOT_FOUND = 45;          // metafile, host
constexpr int32_t ZEVP_DPLOG_META_SEND_NO_STORAGE = 51;    // metafile

// The metafile client.
constexpr int32_t ZEVP_DPLOG_META_CLIENT_UNAVAILABLE = 46;
constexpr int32_t ZEVP_DPLOG_META_CONNECT_FAILED = 47;     // server address, port
constexpr int32_t ZEVP_DPLOG_META_CLIENT_CONNECTED = 48;   // server
constexpr int32_t ZEVP_DPLOG_META_CLIENT_NO_STORAGE = 49;
constexpr int32_t ZEVP_DPLOG_META_SERVER_LOST = 50;
constexpr int32_t ZEVP_DPLOG_META_CONNECT_RETRY = 52;      // server, seconds
