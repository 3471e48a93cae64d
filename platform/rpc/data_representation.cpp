#include <cstdint>
#include <cstring>

#include "rpc_drep.h"

rpc__drep_t rpc__local_drep() {
  const uint16_t one = 1;
  uint8_t first;
  std::memcpy(&first, &one, 1);
  return first == 1 ? rpc__drep_little_endian : rpc__drep_big_endian_ascii;
}

bool rpc__drep_is_valid(rpc__drep_t drep) {
  return (drep & ~(rpc__drep_little_endian | rpc__drep_ebcdic)) == 0;
}
