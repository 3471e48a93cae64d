// Process globals that the data-provider environment sets when it starts.
#pragma once

#include <atomic>
#include <cstdint>

// The value of ZEV_GEO_LOCATION, null when it is not set.
extern std::atomic<const char*> ZEV_Agent_Geographic_Location;

// The SNMP debug switches, read when an SNMP data provider starts: 0 or 1.
extern std::atomic<int32_t> ZEVP_DEBUG_MIBMGR;
extern std::atomic<int32_t> ZEVP_DEBUG_MIBIO;
extern std::atomic<int32_t> ZEVP_DEBUG_Network;

// The release named in the start banner.
constexpr char ZEVP_RELEASE_IDENTIFIER[] = "ZEV350 (SR1-14114611) 02-08-2002";
