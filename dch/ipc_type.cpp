// The DCH transport in use: 1 sockets, 2 local procedure call.
#include <atomic>
#include <cstdlib>

#include "bsv1.h"
#include "dch/channel_functions.h"

namespace {

// 0 until read; a value that reads as 0 is read again on the next call.
std::atomic<int> ipcType{0};

}  // namespace

int ZEVA_GetIPCtype() {
  if (ipcType.load() == 0) {
    const char* value = BSV1_GetEnv("ZEVA_DCH_IPCTYPE", 0);
    ipcType.store(value != nullptr ? std::atoi(value) : 1);
  }
  return ipcType.load();
}
