// A DCH message under construction in a buffer of fixed capacity.
//
// Each append writes one typed field through the field codec and refuses, with a
// trace line and false, a field that would pass the capacity: it then writes
// nothing and the message stays exactly as it was. Nothing is ever written past
// the capacity.
#pragma once

#include <cstddef>
#include <cstdint>

#include "dch/dch_protocol.h"

class DCHmessageBuilder {
 public:
  // Starts a new message (total length 4) at buffer. A capacity below 4 gives a
  // builder that refuses every append and whose length is 0.
  DCHmessageBuilder(char* buffer, size_t capacity);

  // Continues the message already in buffer, whose first word gives its length so
  // far. A length below 4 or beyond the capacity gives a refusing builder.
  static DCHmessageBuilder resume(char* message, size_t capacity);

  // u16 types: DCH_requestType, DCH_shortValue, DCH_controlField, DCH_actionType.
  bool addU16(int16_t dataType, uint16_t value);
  // u32 types: DCH_status, DCH_TTL, DCH_handle, DCH_actionID.
  bool addU32(int16_t dataType, uint32_t value);
  // Text types; a null text is an empty value.
  bool addText(int16_t dataType, const char* text);
  // DCH_attributesType: one character.
  bool addChar(int16_t dataType, char value);
  // Raw types (DCH_response, DCH_attrRawValue): bytes copied unchanged.
  bool addRaw(int16_t dataType, const void* bytes, uint32_t length);
  // DCH_attrValue, encoded by the attribute's type letter (the codec's rules).
  bool addAttrValue(const void* value, uint32_t length, char typeLetter);

  // Appends a group of fields whole or not at all: addFields(*this) appends them
  // and returns false when one was refused; the message is then as it was before.
  template <typename AddFields>
  bool addGroup(AddFields addFields) {
    uint32_t before = length();
    if (addFields(*this)) return true;
    truncate(before);
    return false;
  }

  // True when no field has been written yet. Otherwise traces that `piece` (a
  // head whose fields sit at fixed offsets) must begin the message.
  bool isEmptyFor(const char* piece) const;

  // The message's total length so far, 0 for a refusing builder.
  uint32_t length() const;
  char* data() const { return buffer_; }

 private:
  DCHmessageBuilder() = default;
  // Drops the fields written after the message had `length` bytes.
  void truncate(uint32_t length);
  bool append(int16_t dataType, const void* value, uint32_t valueLength, uint32_t encodedLength,
              const char* typeLetter);

  char* buffer_ = nullptr;
  size_t capacity_ = 0;
};
