// One tagged request of a handle in a buffer of its own, and the reply data it brings.
#pragma once

#include <initializer_list>

#include "records.h"

namespace zevpapi {

// A buffer of the handle for one request, given back to the handle after it.
class RequestBuffer {
 public:
  // requestSize below 1: the default size.
  explicit RequestBuffer(APIhandle* handle, int requestSize = 0);
  ~RequestBuffer();
  RequestBuffer(const RequestBuffer&) = delete;
  RequestBuffer& operator=(const RequestBuffer&) = delete;
  // 0 when the buffer was had, else the failure's status.
  int status() const { return status_; }
  void* data() const { return data_; }

 private:
  void* data_ = nullptr;
  int status_;
};

// The reply data of the buffer's handle into the buffer, taken from the handle: 0 and
// the size, or 80 when the reply brought none (or the failure's status).
int TakeReplyData(void* userBuffer, int* dataSize);

// Called with the reply data of a request: the status of taking it (0 or 80) and the
// data in the request's buffer.
using ReplyDataTaker = void (*)(APIhandle* handle, int replyStatus, const char* data, int size);

// The tagged request with the texts as values, exchanged; with `taken`, the reply data
// is taken into the buffer and handed on before the buffer goes back.
int TaggedRequest(APIhandle* handle, int tag, std::initializer_list<const char*> texts,
                  ReplyDataTaker taken = nullptr);

}  // namespace zevpapi
