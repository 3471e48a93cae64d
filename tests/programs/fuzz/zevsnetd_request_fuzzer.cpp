// The ICMP daemon's request parser over a request area as the daemon receives it
// (at most 79 bytes, terminated), and the reply written over it.
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "icmp_daemon_wire.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  char area[zevs::kDaemonDatagramArea] = {};
  std::memcpy(area, data, size < sizeof area - 1 ? size : sizeof area - 1);
  zevs::DaemonRequest request{};
  if (zevs::ParseDaemonRequest(area, &request)) zevs::WriteDaemonReply(area, sizeof area, request, -1);
  return 0;
}
