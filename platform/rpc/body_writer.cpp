#include <cstring>

#include "rpc_body.h"
#include "zev0/code_tables.h"

namespace rpc {

BodyWriter::BodyWriter(rpc__drep_t drep) : drep_(drep) {
  // Most bodies fit here; longer ones grow the buffer.
  bytes_.reserve(1024);
}

void BodyWriter::fail(rpc__status_t code) {
  if (fault_ == rpc__s_ok) fault_ = code;
}

bool BodyWriter::room(size_t count) {
  if (fault_ != rpc__s_ok) return false;
  if (count > kMaximumBody - bytes_.size()) {
    fail(rpc__s_too_big);
    return false;
  }
  return true;
}

void BodyWriter::align(size_t boundary) {
  size_t pad = (boundary - bytes_.size() % boundary) % boundary;
  if (room(pad)) bytes_.insert(bytes_.end(), pad, 0);
}

void BodyWriter::putU8(uint8_t value) {
  if (room(1)) bytes_.push_back(value);
}

void BodyWriter::putU16(uint16_t value) {
  if (!room(2)) return;
  uint8_t high = static_cast<uint8_t>(value >> 8), low = static_cast<uint8_t>(value);
  bool little = (drep_ & rpc__drep_little_endian) != 0;
  bytes_.push_back(little ? low : high);
  bytes_.push_back(little ? high : low);
}

void BodyWriter::putU32(uint32_t value) {
  if (!room(4)) return;
  bool little = (drep_ & rpc__drep_little_endian) != 0;
  for (int i = 0; i < 4; ++i) {
    int shift = little ? 8 * i : 8 * (3 - i);
    bytes_.push_back(static_cast<uint8_t>(value >> shift));
  }
}

void BodyWriter::putChars(const char* text, size_t count) {
  if (!room(count)) return;
  size_t start = bytes_.size();
  bytes_.insert(bytes_.end(), text, text + count);
  if ((drep_ & rpc__drep_ebcdic) != 0) zev0::AsciiToEbcdic(bytes_.data() + start, static_cast<int32_t>(count));
}

void BodyWriter::putBytes(const void* bytes, size_t count) {
  if (!room(count)) return;
  const uint8_t* first = static_cast<const uint8_t*>(bytes);
  bytes_.insert(bytes_.end(), first, first + count);
}

void BodyWriter::putCountedString(const char* text, size_t bound) {
  size_t length = text != nullptr ? strnlen(text, bound + 1) : 0;
  if (length > bound) {
    fail(rpc__s_string_bound);
    return;
  }
  align(2);
  putU16(static_cast<uint16_t>(length));
  if (length > 0) putChars(text, length);
  putU8(0);
}

}  // namespace rpc
