// The reply data of a request fetch as it comes from the network: read within its
// length, the request text inside it.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "request_reply.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // Reply data is what a 512-byte reply holds behind its status and '#'.
  if (size > 510) return 0;
  // A copy of exactly the data's size, so that a read past it is caught.
  std::vector<char> reply(data, data + size);
  zevpapi::RequestReplyReading reading = zevpapi::ReadRequestReply(reply.data(), static_cast<int>(reply.size()));
  if (!reading.valid) return 0;
  if (reading.textLength < 0 || reading.textOffset < 1 ||
      static_cast<size_t>(reading.textOffset) + static_cast<size_t>(reading.textLength) != size ||
      data[reading.textOffset - 1] != ' ')
    __builtin_trap();
  return 0;
}
