// A console's reply datagram as it comes from the network: read within its length, the
// parameter inside it, and the caller's 80-byte area never overrun.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "control_reply.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // A datagram fills at most the 512-byte reply area.
  if (size > 512) return 0;
  // A copy of exactly the datagram's size, so that a read past it is caught.
  std::vector<char> reply(data, data + size);
  zevpapi::ControlReplyReading reading = zevpapi::ReadControlReply(reply.data(), static_cast<int>(reply.size()));
  if (reading.parameterLength < 0 || reading.parameterOffset < 0 ||
      static_cast<size_t>(reading.parameterOffset) + static_cast<size_t>(reading.parameterLength) > size)
    __builtin_trap();
  if (reading.kind != zevpapi::ControlReplyReading::kDiscarded && (reading.code < 0 || size == 0)) __builtin_trap();
  std::vector<char> area(80);
  zevpapi::CopyReplyParameter(reply.data(), reading, area.data());
  if (reading.parameterLength > 0 && std::strlen(area.data()) > 79) __builtin_trap();
  return 0;
}
