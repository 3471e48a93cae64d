#include <cstring>

#include "trc1.h"
#include "zev0/ber.h"
#include "zev0/storage.h"

TRC_UNIT();

namespace {

constexpr unsigned char kLongFormFlag = 0x80;
constexpr unsigned char kLengthBytesMask = 0x7F;
constexpr int kMaxLengthBytes = 4;
constexpr int kMaxIntegerBytes = 4;

// Bytes of the length field ZEV0_FormatBERlengthField writes for a length of 1 or more.
int lengthFieldSize(uint32_t length) {
  if (length < 128) return 1;
  if (length <= 0xFFFF) return 3;
  if (length <= 0xFFFFFF) return 4;
  return 5;
}

// Bytes of the shortest two's-complement form of the value.
int integerContentSize(int32_t value) {
  if (value >= -128 && value <= 127) return 1;
  if (value >= -32768 && value <= 32767) return 2;
  if (value >= -8388608 && value <= 8388607) return 3;
  return 4;
}

void clearField(uint32_t* length, char** value) {
  *length = 0;
  *value = nullptr;
}

// Reads the length field at `field` (of `available` bytes). Sets *length and
// *fieldSize; false for a length this codec does not read or one cut off.
bool readLength(const unsigned char* field, uint32_t available, uint32_t* length, uint32_t* fieldSize) {
  if (available < 1) {
    TRC(TRC_ERROR, "*****BER length field missing at the end of the buffer");
    return false;
  }
  if ((field[0] & kLongFormFlag) == 0) {
    *length = field[0];
    *fieldSize = 1;
    return true;
  }
  uint32_t lengthBytes = field[0] & kLengthBytesMask;
  if (lengthBytes == 0) {
    // Definite lengths only: the end of an indefinite one cannot be bounded here.
    TRC(TRC_ERROR, "*****Indefinite BER length not supported");
    return false;
  }
  if (lengthBytes >= available) {
    TRC(TRC_ERROR, "*****BER length field of %u bytes runs past the end of the buffer", lengthBytes);
    return false;
  }
  // BER allows leading zero bytes in a long-form length; only the value counts.
  uint32_t value = 0;
  int significantBytes = 0;
  for (uint32_t i = 1; i <= lengthBytes; ++i) {
    if (significantBytes == 0 && field[i] == 0) continue;
    if (++significantBytes > kMaxLengthBytes) {
      TRC(TRC_ERROR, "*****ASN1 field length %d too large. Unsupported", static_cast<int>(lengthBytes));
      return false;
    }
    value = (value << 8) | field[i];
  }
  *length = value;
  *fieldSize = 1 + lengthBytes;
  return true;
}

int32_t signExtended(const unsigned char* content, uint32_t size) {
  uint32_t value = (content[0] & 0x80) != 0 ? 0xFFFFFFFFu : 0;
  for (uint32_t i = 0; i < size; ++i) value = (value << 8) | content[i];
  return static_cast<int32_t>(value);
}

}  // namespace

int ZEV0_ExtractBERfield(char** cursor, uint32_t remaining, uint32_t* length, char** value) {
  if (cursor == nullptr || *cursor == nullptr) {
    TRC(TRC_ERROR, "*****Input BER data buffer pointer invalid");
    return 0;
  }
  clearField(length, value);
  const auto* field = reinterpret_cast<const unsigned char*>(*cursor);
  if (remaining < 1) {
    TRC(TRC_ERROR, "*****BER field missing at the end of the buffer");
    return 0;
  }
  int tag = field[0];
  if (tag == 0) {
    // End-of-contents belongs to indefinite lengths, which are not read.
    TRC(TRC_ERROR, "*****BER end-of-contents tag not expected");
    return 0;
  }
  uint32_t contentLength = 0;
  uint32_t lengthSize = 0;
  if (!readLength(field + 1, remaining - 1, &contentLength, &lengthSize)) return 0;
  uint32_t headerSize = 1 + lengthSize;
  if (contentLength > remaining - headerSize) {
    TRC(TRC_ERROR, "*****BER field length %u runs past the end of the buffer, %u bytes left", contentLength,
        remaining - headerSize);
    return 0;
  }
  *length = contentLength;
  if (contentLength > 0) *value = *cursor + headerSize;
  *cursor += headerSize + contentLength;
  return tag;
}

int ZEV0_ExtractBERinteger(char** cursor, uint32_t remaining, int32_t* value) {
  char* start = cursor != nullptr ? *cursor : nullptr;
  uint32_t length = 0;
  char* content = nullptr;
  int tag = ZEV0_ExtractBERfield(cursor, remaining, &length, &content);
  if (tag == 0) return 0;
  if (tag != ZEV0_ASN_INTEGER) {
    TRC(TRC_ERROR, "*****current BER field in buffer is not integer type");
    *cursor = start;
    return 0;
  }
  if (length == 0) {
    // BER gives every INTEGER at least one content byte.
    TRC(TRC_ERROR, "*****BER integer without content");
    return 0;
  }
  if (length > kMaxIntegerBytes) {
    TRC(TRC_ERROR, "*****unsupported BER integer size %d too large", static_cast<int>(length));
    return 0;
  }
  *value = signExtended(reinterpret_cast<const unsigned char*>(content), length);
  return 1;
}

int ZEV0_FormatBERintegerType(char** cursor, int tag, int32_t value) {
  if (cursor == nullptr || *cursor == nullptr) {
    TRC(TRC_ERROR, "*****Input parameter invalid %p", static_cast<void*>(cursor));
    return 0;
  }
  int size = integerContentSize(value);
  char* out = *cursor;
  // Stored, not merged into whatever the buffer held.
  *out++ = static_cast<char>(tag);
  ZEV0_FormatBERlengthField(&out, static_cast<uint32_t>(size));
  auto bits = static_cast<uint32_t>(value);
  for (int shift = 8 * (size - 1); shift >= 0; shift -= 8) *out++ = static_cast<char>(bits >> shift);
  int written = static_cast<int>(out - *cursor);
  *cursor = out;
  return written;
}

int ZEV0_FormatBERlengthField(char** cursor, uint32_t length) {
  if (cursor == nullptr || *cursor == nullptr || length == 0) return 0;
  int size = lengthFieldSize(length);
  int valueBytes = size > 1 ? size - 1 : 1;
  char* out = *cursor;
  if (size > 1) *out++ = static_cast<char>(kLongFormFlag | valueBytes);
  for (int shift = 8 * (valueBytes - 1); shift >= 0; shift -= 8) *out++ = static_cast<char>(length >> shift);
  *cursor = out;
  return 1;
}

int ZEV0_FormatBERnullType(char** cursor) {
  if (cursor == nullptr || *cursor == nullptr) {
    TRC(TRC_ERROR, "*****Input parameter invalid %p", static_cast<void*>(cursor));
    return 0;
  }
  (*cursor)[0] = static_cast<char>(ZEV0_ASN_NULL);
  (*cursor)[1] = 0;
  *cursor += 2;
  return 2;
}

int ZEV0_FormatBERoctetstringType(char** cursor, int tag, const void* data, int32_t length) {
  char* out = cursor != nullptr ? *cursor : nullptr;
  if (!ZEV0_IsValidPointer(out) || !ZEV0_IsValidBlockPointer(data) || length < 1) {
    TRC(TRC_ERROR, "*****Input parameter invalid %p %p %d", static_cast<void*>(out), data, length);
    return 0;
  }
  auto contentLength = static_cast<uint32_t>(length);
  int headerSize = 1 + lengthFieldSize(contentLength);
  // Content first: it may lie where the header goes.
  std::memmove(out + headerSize, data, contentLength);
  *out++ = static_cast<char>(tag);
  ZEV0_FormatBERlengthField(&out, contentLength);
  *cursor = out + contentLength;
  return headerSize + length;
}

const char* ZEV0_GetASN1typeString(int tag) {
  switch (tag & 0xFF) {
    case ZEV0_ASN_INTEGER:
      return "ASN_INTEGER";
    case ZEV0_ASN_OCTETSTRING:
      return "ASN_OCTETSTRING";
    case ZEV0_ASN_NULL:
      return "ASN_NULL";
    case ZEV0_ASN_OBJECTIDENTIFIER:
      return "ASN_OBJECTIDENTIFIER";
    case ZEV0_ASN_SEQUENCE:
      return "ASN_SEQUENCE";
    default:
      return "UNKNOWN";
  }
}
