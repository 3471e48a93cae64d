// A reply datagram as it comes from the network: read within its length, its data
// always inside it.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "reply_reader.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // A datagram fills at most the 512-byte reply area.
  if (size > 512) return 0;
  // A copy of exactly the datagram's size, so that a read past it is caught.
  std::vector<char> reply(data, data + size);
  zevpapi::ReplyReading reading = zevpapi::ReadReply(reply.data(), static_cast<int>(reply.size()));
  if (reading.dataLength < 0 || reading.dataOffset < 0 ||
      static_cast<size_t>(reading.dataOffset) + static_cast<size_t>(reading.dataLength) > size)
    __builtin_trap();
  if (reading.hasStatus && (size == 0 || data[0] < '0' || data[0] > '9')) __builtin_trap();
  return 0;
}
