#include "format_value.h"

#include <cstdint>
#include <cstdio>
#include <cstring>

#include "api_trace.h"
#include "buffers.h"
#include "handles.h"
#include "status_codes.h"

namespace zevpapi {

namespace {

// The decimal text of a binary integer of 2 or 4 bytes (of 4 or more, the first 4); an
// integer of 1 or 3 bytes has no such reading.
bool IntegerText(const void* data, int dataSize, char (&text)[16]) {
  if (dataSize == 2) {
    int16_t value;
    std::memcpy(&value, data, sizeof value);
    std::snprintf(text, sizeof text, "%d", value);
    return true;
  }
  if (dataSize < 4) return false;
  int32_t value;
  std::memcpy(&value, data, sizeof value);
  std::snprintf(text, sizeof text, "%d", value);
  return true;
}

void Append(APIbuffer* block, const void* bytes, int length) {
  std::memcpy(block->cursor, bytes, static_cast<size_t>(length));
  block->cursor += length;
  block->used += length;
}

}  // namespace

int FormatValue(void* userBuffer, const void* data, int dataSize, int dataType) {
  if (data == nullptr) return kNoData;
  if (dataSize < 1) return kBadDataSize;
  if (userBuffer == nullptr) return kNullBuffer;
  if (!BufferPassesCheck(userBuffer)) return kNotLibraryBuffer;
  APIbuffer* block = BlockOfUserBuffer(userBuffer);
  if (block->inUse == 0) return kNotLibraryBuffer;
  if (!HandleIsKnown(block->handle)) return kBufferHandleInvalid;
  // The 16 bytes of the request header that `used` counts leave room for an integer's
  // text, which may be longer than its binary size.
  if (static_cast<long long>(block->used) + dataSize + 2 > block->capacity) return kNoRoom;
  char integerText[16];
  if (dataType == ZEVP_API_BINARY_INTEGER) {
    if (!IntegerText(data, dataSize, integerText)) return kBadDataSize;
    data = integerText;
    dataSize = static_cast<int>(std::strlen(integerText));
  }
  if (dataSize == 1 && *static_cast<const char*>(data) == '\n') {
    Append(block, data, 1);
    return kSuccess;
  }
  const APIhandle* handle = block->handle;
  if (handle->beginDelimiter != kNoBeginDelimiter) Append(block, &handle->beginDelimiter, 1);
  Append(block, data, dataSize);
  if (handle->endDelimiter != kNoEndDelimiter) Append(block, &handle->endDelimiter, 1);
  return kSuccess;
}

}  // namespace zevpapi

extern "C" int dp_FormatBufferData(void* userBuffer, const void* data, int dataSize, int dataType, int* status) {
  zevpapi::CallScope call("dp_FormatBufferData", status);
  return call.finish(zevpapi::FormatValue(userBuffer, data, dataSize, dataType));
}
