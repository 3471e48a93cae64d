#include "tagged_request.h"

#include <cstring>

#include "buffers.h"
#include "exchange.h"
#include "format_value.h"
#include "handles.h"
#include "status_codes.h"

namespace zevpapi {

RequestBuffer::RequestBuffer(APIhandle* handle, int requestSize)
    : status_(AllocateBuffer(handle, &data_, requestSize)) {}

RequestBuffer::~RequestBuffer() {
  if (status_ == kSuccess) FreeBuffer(data_);
}

int TakeReplyData(void* userBuffer, int* dataSize) {
  if (userBuffer == nullptr) return kMissingParameter;
  int status = ClearBuffer(userBuffer);
  if (status != kSuccess) return status;
  APIhandle* handle = BlockOfUserBuffer(userBuffer)->handle;
  if (!HandlePassesCheck(handle)) return kBufferHandleInvalid;
  if (handle->replyLength < 1 || handle->replyData == nullptr) return kNoReplyData;
  // A reply's data is at most 510 bytes (a status digit and '#' come first), which the
  // smallest buffer holds.
  std::memcpy(userBuffer, handle->replyData, static_cast<size_t>(handle->replyLength));
  if (dataSize != nullptr) *dataSize = handle->replyLength;
  handle->replyLength = 0;
  handle->replyData = nullptr;
  return kSuccess;
}

int TaggedRequest(APIhandle* handle, int tag, std::initializer_list<const char*> texts, ReplyDataTaker taken) {
  RequestBuffer buffer(handle);
  if (buffer.status() != kSuccess) return buffer.status();
  ZEVP_SetAPIbufferRequest(buffer.data(), tag);
  for (const char* text : texts) {
    int status = FormatValue(buffer.data(), text, static_cast<int>(std::strlen(text)), ZEVP_API_TEXT);
    if (status != kSuccess) return status;
  }
  int status = ExchangeByTransport(BlockOfUserBuffer(buffer.data()), 0, 0);
  if (status == kSuccess && taken != nullptr) {
    int size = 0;
    int replyStatus = TakeReplyData(buffer.data(), &size);
    taken(handle, replyStatus, static_cast<const char*>(buffer.data()), size);
  }
  return status;
}

}  // namespace zevpapi
