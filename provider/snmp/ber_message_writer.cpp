#include "ber_message_writer.h"

#include <cstring>

#include "zev0/ber.h"

namespace {

// The longest tag-and-length the codec writes, and the longest INTEGER field.
constexpr int kMaxHeaderBytes = 6;
constexpr int kMaxIntegerFieldBytes = 6;

// Encodes a header into `out` with the codec; its size.
uint32_t encodeHeader(char* out, int tag, uint32_t contentLength) {
  out[0] = static_cast<char>(tag);
  if (contentLength == 0) {
    out[1] = 0;  // the codec's length writer leaves an empty length to its callers
    return 2;
  }
  char* cursor = out + 1;
  ZEV0_FormatBERlengthField(&cursor, contentLength);
  return static_cast<uint32_t>(cursor - out);
}

uint32_t encodeInteger(char* out, int tag, int32_t value) {
  char* cursor = out;
  return static_cast<uint32_t>(ZEV0_FormatBERintegerType(&cursor, tag, value));
}

}  // namespace

uint32_t BerMessageWriter::FieldSize(uint32_t contentLength) {
  char header[kMaxHeaderBytes];
  return encodeHeader(header, 0, contentLength) + contentLength;
}

uint32_t BerMessageWriter::IntegerFieldSize(int32_t value) {
  char field[kMaxIntegerFieldBytes];
  return encodeInteger(field, ZEV0_ASN_INTEGER, value);
}

bool BerMessageWriter::reserve(uint32_t bytes) {
  if (!ok_ || bytes > size_ - used_) ok_ = false;
  return ok_;
}

void BerMessageWriter::header(int tag, uint32_t contentLength) {
  char encoded[kMaxHeaderBytes];
  raw(encoded, encodeHeader(encoded, tag, contentLength));
}

void BerMessageWriter::field(int tag, const void* content, uint32_t length) {
  header(tag, length);
  raw(content, length);
}

void BerMessageWriter::integer(int tag, int32_t value) {
  char encoded[kMaxIntegerFieldBytes];
  raw(encoded, encodeInteger(encoded, tag, value));
}

void BerMessageWriter::raw(const void* bytes, uint32_t length) {
  if (length == 0 || !reserve(length)) return;
  std::memcpy(buffer_ + used_, bytes, length);
  used_ += length;
}
