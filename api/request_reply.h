// The reply data of a request fetch (RCVREQ), in local code: the request id in decimal, a
// blank and the request text. Read within its length, as it carries no terminator.
#pragma once

#include <cstdint>

namespace zevpapi {

struct RequestReplyReading {
  bool valid = false;  // false: no blank, so no request text
  int32_t id = 0;      // the number at the start, as atol reads it, kept to 32 bits
  int textOffset = 0;  // of the text behind the first blank
  int textLength = 0;
};

RequestReplyReading ReadRequestReply(const char* data, int length);

}  // namespace zevpapi
