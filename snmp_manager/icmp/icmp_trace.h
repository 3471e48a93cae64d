// The trace rule of ICMP probing: a line is written when its unit's class is on,
// or while any of the discovery switches (route, enterprise, network) is on. For
// a file with TRC_UNIT().
#pragma once

#include "debug_switches.h"

#define ICMP_TRC(cls, ...)                                                                                    \
  do {                                                                                                        \
    if (ZEVS_DEBUG_Route.load() != 0 || ZEVS_DEBUG_Enterprise.load() != 0 || ZEVS_DEBUG_Network.load() != 0 || \
        TRC_ON(cls))                                                                                          \
      TRC1_Printf(&trcUnit_, __LINE__, __VA_ARGS__);                                                          \
  } while (0)
