// The debug switches of the SNMP manager's areas, and the trace rule they make:
// a trace line of an area is written when its unit's class is on, or always while
// the area's switch is on. The manager task sets them at its start
// (manager_switches.h).
#pragma once

#include <atomic>
#include <cstdint>

#include "trc1.h"

extern std::atomic<int32_t> ZEVS_DEBUG_VERBOSE;
extern std::atomic<int32_t> ZEVS_DEBUG_Enterprise;
extern std::atomic<int32_t> ZEVS_DEBUG_Network;
extern std::atomic<int32_t> ZEVS_DEBUG_Route;
extern std::atomic<int32_t> ZEVS_DEBUG_Ploven;
extern std::atomic<int32_t> ZEVS_DEBUG_Trap;

// A trace line of the area whose switch is debugFlag, for a file with TRC_UNIT().
#define ZEVS_TRC(debugFlag, cls, ...)                                                  \
  do {                                                                                 \
    if ((debugFlag).load() != 0 || TRC_ON(cls)) TRC1_Printf(&trcUnit_, __LINE__, __VA_ARGS__); \
  } while (0)
