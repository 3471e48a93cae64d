// The data-provider types: the index is the type number that the agent, the
// data-provider engine, the launchers and the console pass around (a signed
// 32-bit value), the code is its four-letter name.
#pragma once

#include <cstdint>

enum ZEV_DPtype : int32_t {
  ZEV_DP_APIS = 0,
  ZEV_DP_FILE = 1,
  ZEV_DP_SOCK = 2,
  ZEV_DP_ASFS = 3,  // API, socket and file together
  ZEV_DP_POST = 4,
  ZEV_DP_SNMP = 5,
  ZEV_DP_APPC = 6,
  ZEV_DP_ODBC = 7,
  ZEV_DP_HTTP = 8,
  ZEV_DP_SMTP = 9,
  ZEV_DP_MQUE = 10,
  ZEV_DP_MSMQ = 11,
  ZEV_DP_NODP = 12,
};

constexpr int32_t ZEV_DP_TYPE_COUNT = 13;

inline constexpr const char* DPtypeString[ZEV_DP_TYPE_COUNT] = {
    "APIS", "FILE", "SOCK", "ASFS", "POST", "SNMP", "APPC", "ODBC", "HTTP", "SMTP", "MQUE", "MSMQ", "NODP",
};
