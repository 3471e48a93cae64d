// The typed data field: the framing of every DCH and API message.
//
// A message is a 4-byte big-endian total length (counting itself) followed by
// fields; a field is a 4-byte big-endian field length (counting its 6-byte
// header), a 2-byte big-endian data type and the value. Numbers travel
// big-endian, text in the network character code.
#pragma once

#include <cstddef>
#include <cstdint>

enum DCH_DataType : int16_t {
  DCH_requestType = 0x10,     // u16, the request code
  DCH_status = 0x11,          // u32
  DCH_response = 0x12,        // raw
  DCH_applName = 0x20,        // text
  DCH_sourceName = 0x21,      // text (also the action node and the subnode name)
  DCH_attrGroup = 0x22,       // text
  DCH_attributesType = 0x30,  // char
  DCH_TTL = 0x40,             // u32
  DCH_attrName = 0x50,        // text
  DCH_attrValue = 0x51,       // by the attribute's type letter
  DCH_attrRawValue = 0x52,    // raw
  DCH_shortValue = 0x53,      // u16
  DCH_attrRegister = 0x60,    // text
  DCH_controlField = 0x70,    // u16
  DCH_handle = 0x80,          // u32
  DCH_helpText = 0x90,        // text
  DCH_actionType = 0x100,     // u16
  DCH_actionName = 0x110,     // text
  DCH_actionID = 0x120,       // u32
  DCH_actionParms = 0x130,    // text
  DCH_actionResult = 0x140,   // text
  DCH_actionOwner = 0x150,    // text
};

constexpr uint32_t DCH_FIELD_HEADER_SIZE = 6;
constexpr uint32_t DCH_MESSAGE_HEADER_SIZE = 4;

// Appends one field at `field` and adds its length to the message's total (which
// starts anew at 4 when field == message + 4). Returns the field length; the
// caller advances its cursor by it and makes sure the field fits in its buffer.
//   value: host-order integer for u16/u32 types, NUL-terminated text or null for
//          text types, one character for DCH_attributesType, valueLength bytes for
//          raw types and DCH_attrValue (a host-order integer of that size for a
//          numeric type letter).
//   typeLetter: the attribute's type letter, read only for DCH_attrValue.
// A data type the codec does not know, or a numeric attribute value of a size other
// than 2 or 4, is a programming error that ends the process.
uint32_t ZEV0_FormatDataField(char* message, char* field, int16_t dataType, const void* value,
                              uint32_t valueLength, const char* typeLetter);

// Reads the field at *cursor, converts its value in place to host form and moves
// the cursor past it. Returns the data type; *value points at the value inside the
// message and *valueLength is its length (text is not NUL-terminated). A field
// length of 0 (the zero bytes behind every received message) reads as type 0 with
// the cursor left where it was. This form trusts the field length: readers of
// input from outside the process use ZEV0_ExtractBoundedDataField or DataFieldReader.
int ZEV0_ExtractDataField(char** cursor, char** value, uint32_t* valueLength, const char* typeLetter);

// As ZEV0_ExtractDataField, but a field that is shorter than its header or that
// does not end by `end` reads as the end of the fields: type 0, cursor unchanged.
// Numbers are converted only when the value holds enough bytes.
int ZEV0_ExtractBoundedDataField(char** cursor, const char* end, char** value, uint32_t* valueLength,
                                 const char* typeLetter);

// Walks the fields of one received message, never past the smaller of the
// message's declared total and the bytes actually held.
class DataFieldReader {
 public:
  DataFieldReader(char* message, size_t heldBytes);

  // The next field's data type (0 at the end of the fields), as ZEV0_ExtractBoundedDataField.
  int next(char** value, uint32_t* valueLength, const char* typeLetter = nullptr);

  char* cursor() const { return cursor_; }
  const char* end() const { return end_; }

 private:
  char* cursor_;
  const char* end_;
};

// The declared total length of a message (its first 4 bytes, big-endian).
uint32_t ZEV0_MessageTotalLength(const char* message);
