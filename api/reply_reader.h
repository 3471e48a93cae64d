// The reply of the API data provider to a data request, in local code: the status in
// decimal, a blank, the provider's start stamp in decimal and optionally '#' and reply
// data. Read within its length, as a datagram carries no terminator.
#pragma once

#include <cstdint>

namespace zevpapi {

struct ReplyReading {
  bool hasStatus = false;  // false: the reply does not begin with a decimal status
  int status = 0;
  bool hasStamp = false;  // false: no blank, so no stamp
  int32_t stamp = 0;
  int dataOffset = 0;  // of the reply data, when dataLength is above 0
  int dataLength = 0;
};

ReplyReading ReadReply(const char* reply, int length);

// The number at the start of the text, up to `end`, as atol reads it (leading white
// space and a sign), kept to 32 bits as the handle keeps it.
int32_t NumberAt(const char* text, const char* end);

}  // namespace zevpapi
