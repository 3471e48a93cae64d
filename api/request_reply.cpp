#include "request_reply.h"

#include <cstring>

#include "reply_reader.h"

namespace zevpapi {

RequestReplyReading ReadRequestReply(const char* data, int length) {
  RequestReplyReading reading;
  if (data == nullptr || length < 1) return reading;
  const void* blank = std::memchr(data, ' ', static_cast<size_t>(length));
  if (blank == nullptr) return reading;
  reading.valid = true;
  reading.id = NumberAt(data, data + length);
  reading.textOffset = static_cast<int>(static_cast<const char*>(blank) - data) + 1;
  reading.textLength = length - reading.textOffset;
  return reading;
}

}  // namespace zevpapi
