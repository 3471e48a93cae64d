#include <cstring>

#include "rpc_body.h"
#include "zev0/code_tables.h"

namespace rpc {

BodyReader::BodyReader(const uint8_t* body, size_t length, rpc__drep_t drep)
    : body_(body), length_(body != nullptr ? length : 0), drep_(drep) {}

void BodyReader::fail(rpc__status_t code) {
  if (fault_ == rpc__s_ok) fault_ = code;
}

// True when count more bytes are there to read; a fault otherwise.
bool BodyReader::take(size_t count) {
  if (fault_ != rpc__s_ok) return false;
  if (count > length_ - offset_) {
    fail(rpc__s_bad_body);
    return false;
  }
  return true;
}

void BodyReader::align(size_t boundary) {
  size_t pad = (boundary - offset_ % boundary) % boundary;
  if (take(pad)) offset_ += pad;
}

uint8_t BodyReader::getU8() {
  if (!take(1)) return 0;
  return body_[offset_++];
}

uint16_t BodyReader::getU16() {
  if (!take(2)) return 0;
  const uint8_t* at = body_ + offset_;
  offset_ += 2;
  if ((drep_ & rpc__drep_little_endian) != 0) return static_cast<uint16_t>(at[0] | at[1] << 8);
  return static_cast<uint16_t>(at[0] << 8 | at[1]);
}

uint32_t BodyReader::getU32() {
  if (!take(4)) return 0;
  const uint8_t* at = body_ + offset_;
  offset_ += 4;
  uint32_t value = 0;
  bool little = (drep_ & rpc__drep_little_endian) != 0;
  for (int i = 0; i < 4; ++i) value = value << 8 | at[little ? 3 - i : i];
  return value;
}

void BodyReader::getChars(char* out, size_t count) {
  getBytes(out, count);
  if (fault_ == rpc__s_ok && (drep_ & rpc__drep_ebcdic) != 0)
    zev0::EbcdicToAscii(reinterpret_cast<unsigned char*>(out), static_cast<int32_t>(count));
}

void BodyReader::getBytes(void* out, size_t count) {
  if (count == 0) return;
  if (!take(count)) {
    std::memset(out, 0, count);
    return;
  }
  std::memcpy(out, body_ + offset_, count);
  offset_ += count;
}

void BodyReader::getCountedString(char* out, size_t bound) {
  out[0] = '\0';
  align(2);
  uint16_t length = getU16();
  if (fault_ != rpc__s_ok) return;
  if (length > bound) {
    fail(rpc__s_string_bound);
    return;
  }
  // The characters and the terminator that follows them.
  if (!take(static_cast<size_t>(length) + 1)) return;
  getChars(out, length);
  out[length] = '\0';
  ++offset_;
}

uint16_t BodyReader::getCount(uint16_t maximum) {
  uint16_t count = getU16();
  if (count > maximum) {
    fail(rpc__s_array_bound);
    return 0;
  }
  return count;
}

}  // namespace rpc
