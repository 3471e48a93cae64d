#include "dch_inbound_stream.h"

#include "zev0/typed_field.h"

void DCHinboundStream::append(const char* bytes, size_t count) {
  // What was handed out is gone: keep only the unfinished rest, at the front.
  bytes_.erase(bytes_.begin(), bytes_.begin() + static_cast<std::ptrdiff_t>(start_));
  start_ = 0;
  bytes_.insert(bytes_.end(), bytes, bytes + count);
}

DCHinboundStream::Next DCHinboundStream::front(char** message, uint32_t* length) {
  if (held() < DCH_MESSAGE_HEADER_SIZE) return Next::needMore;
  char* first = bytes_.data() + start_;
  uint32_t declared = ZEV0_MessageTotalLength(first);
  if (declared < kSmallestMessage || declared > kLargestMessage) return Next::badLength;
  if (held() < declared) return Next::needMore;
  *message = first;
  *length = declared;
  return Next::message;
}

void DCHinboundStream::pop() {
  if (held() < DCH_MESSAGE_HEADER_SIZE) return;
  uint32_t declared = ZEV0_MessageTotalLength(bytes_.data() + start_);
  if (declared >= kSmallestMessage && declared <= held()) start_ += declared;
}
