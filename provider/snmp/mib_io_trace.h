// The trace rule of SNMP requests and replies: a line of the class is written when
// the file's unit has the class on, or always while ZEVP_SNMP_DEBUG_MIB_IO is on.
#pragma once

#include "dp_environment.h"
#include "trc1.h"

// For a file with TRC_UNIT().
#define ZEVP_MIBIO_TRC(cls, ...)                                                          \
  do {                                                                                    \
    if (ZEVP_DEBUG_MIBIO.load() != 0 || TRC_ON(cls)) TRC1_Printf(&trcUnit_, __LINE__, __VA_ARGS__); \
  } while (0)
