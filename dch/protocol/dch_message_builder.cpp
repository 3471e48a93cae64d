#include "dch_message_builder.h"

#include <algorithm>
#include <cstring>

#include "trc1.h"
#include "zev0/codepage.h"

TRC_UNIT();

namespace {

void storeTotalLength(char* message, uint32_t length) {
  ZEV0_CheckIntegerEndian(4, &length);
  std::memcpy(message, &length, 4);
}

// An empty value may come as a null pointer; the codec copies from it all the same.
const void* valueOrEmpty(const void* value, uint32_t length) {
  static const char empty[4] = {};  // wide enough for a switch value
  return value == nullptr && length == 0 ? empty : value;
}

}  // namespace

DCHmessageBuilder::DCHmessageBuilder(char* buffer, size_t capacity) {
  if (buffer == nullptr || capacity < DCH_MESSAGE_HEADER_SIZE) {
    TRC(TRC_ERROR, "Error: DCH message buffer of %zu bytes is too small", capacity);
    return;
  }
  buffer_ = buffer;
  capacity_ = std::min<size_t>(capacity, UINT32_MAX);  // the total length is a 32-bit word
  storeTotalLength(buffer_, DCH_MESSAGE_HEADER_SIZE);
}

DCHmessageBuilder DCHmessageBuilder::resume(char* message, size_t capacity) {
  DCHmessageBuilder builder;
  if (message == nullptr || capacity < DCH_MESSAGE_HEADER_SIZE) {
    TRC(TRC_ERROR, "Error: DCH message buffer of %zu bytes is too small", capacity);
    return builder;
  }
  uint32_t length = ZEV0_MessageTotalLength(message);
  if (length < DCH_MESSAGE_HEADER_SIZE || length > capacity) {
    TRC(TRC_ERROR, "Error: DCH message length %u does not fit its buffer of %zu bytes", length, capacity);
    return builder;
  }
  builder.buffer_ = message;
  builder.capacity_ = std::min<size_t>(capacity, UINT32_MAX);
  return builder;
}

uint32_t DCHmessageBuilder::length() const {
  return buffer_ == nullptr ? 0 : ZEV0_MessageTotalLength(buffer_);
}

bool DCHmessageBuilder::isEmptyFor(const char* piece) const {
  if (length() == DCH_MESSAGE_HEADER_SIZE) return true;
  TRC(TRC_ERROR, "Error: %s must begin its message, which holds %u bytes", piece, length());
  return false;
}

void DCHmessageBuilder::truncate(uint32_t length) {
  if (buffer_ != nullptr && length >= DCH_MESSAGE_HEADER_SIZE && length < this->length())
    storeTotalLength(buffer_, length);
}

bool DCHmessageBuilder::append(int16_t dataType, const void* value, uint32_t valueLength,
                               uint32_t encodedLength, const char* typeLetter) {
  if (buffer_ == nullptr) return false;
  size_t used = length();
  if (used > capacity_ || capacity_ - used < DCH_FIELD_HEADER_SIZE ||
      capacity_ - used - DCH_FIELD_HEADER_SIZE < encodedLength) {
    TRC(TRC_ERROR, "Error: DCH field of type %d and %u value bytes does not fit: %zu of %zu bytes used",
        dataType, encodedLength, used, capacity_);
    return false;
  }
  ZEV0_FormatDataField(buffer_, buffer_ + used, dataType, value, valueLength, typeLetter);
  return true;
}

bool DCHmessageBuilder::addU16(int16_t dataType, uint16_t value) { return append(dataType, &value, 0, 2, nullptr); }

bool DCHmessageBuilder::addU32(int16_t dataType, uint32_t value) { return append(dataType, &value, 0, 4, nullptr); }

bool DCHmessageBuilder::addText(int16_t dataType, const char* text) {
  size_t length = text == nullptr ? 0 : std::strlen(text);
  if (length > UINT32_MAX - DCH_FIELD_HEADER_SIZE) {
    TRC(TRC_ERROR, "Error: DCH text of %zu bytes is too long for a field", length);
    return false;
  }
  return append(dataType, text, 0, static_cast<uint32_t>(length), nullptr);
}

bool DCHmessageBuilder::addChar(int16_t dataType, char value) { return append(dataType, &value, 0, 1, nullptr); }

bool DCHmessageBuilder::addRaw(int16_t dataType, const void* bytes, uint32_t length) {
  return append(dataType, valueOrEmpty(bytes, length), length, length, nullptr);
}

bool DCHmessageBuilder::addAttrValue(const void* value, uint32_t length, char typeLetter) {
  // A switch always travels as 2 bytes; every other letter as the length given
  // (a numeric letter with a size other than 2 or 4 is the codec's logic error).
  uint32_t encodedLength = typeLetter == 'S' ? 2 : length;
  return append(DCH_attrValue, valueOrEmpty(value, length), length, encodedLength, &typeLetter);
}
