// The traces of URL monitoring: on by their class, or every one of them while the
// URL management block's debug switch (ZEVP_HTTP_DEBUG) is on.
#pragma once

#include <atomic>

#include "trc1.h"

namespace zevp {
extern std::atomic<int> HTTPdebugTraces;
}  // namespace zevp

#define HTTP_TRC(cls, ...)                                                                        \
  do {                                                                                            \
    if (zevp::HTTPdebugTraces.load(std::memory_order_relaxed) != 0 || TRC_ON(cls))                \
      TRC1_Printf(&trcUnit_, __LINE__, __VA_ARGS__);                                              \
  } while (0)
