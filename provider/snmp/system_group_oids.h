// The MIB-II system group's variables that node polls and identity reads get, as
// whole OBJECT IDENTIFIER fields of a request, and sysServices read from an
// INTEGER's content bytes.
#pragma once

#include <cstdint>

namespace zevp {

inline constexpr char kSysDescrField[] = {0x06, 0x08, 0x2b, 0x06, 0x01, 0x02, 0x01, 0x01, 0x01, 0x00};
inline constexpr char kSysObjectIDField[] = {0x06, 0x08, 0x2b, 0x06, 0x01, 0x02, 0x01, 0x01, 0x02, 0x00};
inline constexpr char kSysServicesField[] = {0x06, 0x08, 0x2b, 0x06, 0x01, 0x02, 0x01, 0x01, 0x07, 0x00};
inline constexpr int32_t kSystemFieldLength = sizeof kSysDescrField;

// The low 16 bits of a big-endian INTEGER of at most four content bytes.
inline uint32_t ServicesOfInteger(const char* content, int32_t length) {
  uint32_t value = 0;
  for (int32_t at = 0; at < length && at < 4; ++at) value = (value << 8) | static_cast<uint8_t>(content[at]);
  return value & 0xFFFF;
}

}  // namespace zevp
