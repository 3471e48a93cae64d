// The channel library's verbosity switch: ZEVA_VERBOSE, read once per process.
#include <atomic>

#include "bsv1.h"
#include "dch/channel_functions.h"

namespace {

// Atomics: the first calls of several threads may each read the (same) value.
std::atomic<short> DV_Debug_InitializeDone{0};
// The first character of ZEVA_VERBOSE ('N' when unset); _ZEVA_VERBOSE is a reserved name in C++.
std::atomic<char> zevaVerbose{'N'};

}  // namespace

char DV_Debug_Initialize() {
  if (DV_Debug_InitializeDone.load(std::memory_order_acquire) == 0) {
    const char* value = BSV1_GetEnv("ZEVA_VERBOSE", 0);
    zevaVerbose.store(value != nullptr ? value[0] : 'N');
    DV_Debug_InitializeDone.store(1, std::memory_order_release);
  }
  return zevaVerbose.load();
}

int DV_Debug() {
  switch (DV_Debug_Initialize()) {
    case 'Y':
      return 1;
    case 'D':
      return 2;
    default:
      return 0;
  }
}
