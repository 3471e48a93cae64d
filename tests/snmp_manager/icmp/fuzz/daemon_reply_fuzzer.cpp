// The data provider's reader of the ICMP daemon's replies.
#include <cstddef>
#include <cstdint>

#include "icmp_daemon_wire.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  int32_t sequence = 0;
  int32_t milliseconds = 0;
  zevs::ParseDaemonReply(reinterpret_cast<const char*>(data), size, &sequence, &milliseconds);
  return 0;
}
