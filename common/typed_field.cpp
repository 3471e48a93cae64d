#include "zev0/typed_field.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "trc1.h"
#include "zev0/codepage.h"

TRC_UNIT();

namespace {

enum class ValueKind { Unknown, U16, U32, Raw, Text, Char, ByLetter };

ValueKind kindOf(int dataType) {
  switch (dataType) {
    case DCH_requestType:
    case DCH_shortValue:
    case DCH_controlField:
    case DCH_actionType:
      return ValueKind::U16;
    case DCH_status:
    case DCH_TTL:
    case DCH_handle:
    case DCH_actionID:
      return ValueKind::U32;
    case DCH_response:
    case DCH_attrRawValue:
      return ValueKind::Raw;
    case DCH_applName:
    case DCH_sourceName:
    case DCH_attrGroup:
    case DCH_attrName:
    case DCH_attrRegister:
    case DCH_helpText:
    case DCH_actionName:
    case DCH_actionParms:
    case DCH_actionResult:
    case DCH_actionOwner:
      return ValueKind::Text;
    case DCH_attributesType:
      return ValueKind::Char;
    case DCH_attrValue:
      return ValueKind::ByLetter;
    default:
      return ValueKind::Unknown;
  }
}

// Gauges, counters and averages travel as 2- or 4-byte numbers. The writer also
// meets the letters a data provider registers as gauges.
bool isNumericLetter(char letter) { return letter == 'G' || letter == 'C' || letter == 'A'; }
bool isWriterNumericLetter(char letter) {
  return isNumericLetter(letter) || letter == '?' || letter == '#' || letter == '%';
}

uint32_t readBigEndian32(const char* p) {
  const auto* b = reinterpret_cast<const unsigned char*>(p);
  return (uint32_t{b[0]} << 24) | (uint32_t{b[1]} << 16) | (uint32_t{b[2]} << 8) | b[3];
}

uint16_t readBigEndian16(const char* p) {
  const auto* b = reinterpret_cast<const unsigned char*>(p);
  return static_cast<uint16_t>((b[0] << 8) | b[1]);
}

void writeBigEndian32(char* p, uint32_t value) {
  p[0] = static_cast<char>(value >> 24);
  p[1] = static_cast<char>(value >> 16);
  p[2] = static_cast<char>(value >> 8);
  p[3] = static_cast<char>(value);
}

void writeBigEndian16(char* p, uint16_t value) {
  p[0] = static_cast<char>(value >> 8);
  p[1] = static_cast<char>(value);
}

// Network order to host order in place, for a number of `size` bytes.
void toHostOrder(char* value, uint32_t size) {
  if (size == 2) {
    uint16_t host = readBigEndian16(value);
    std::memcpy(value, &host, 2);
  } else if (size == 4) {
    uint32_t host = readBigEndian32(value);
    std::memcpy(value, &host, 4);
  }
}

uint32_t writeU16(char* out, const void* value) {
  uint16_t host;
  std::memcpy(&host, value, 2);
  writeBigEndian16(out, host);
  return 2;
}

uint32_t writeU32(char* out, const void* value) {
  uint32_t host;
  std::memcpy(&host, value, 4);
  writeBigEndian32(out, host);
  return 4;
}

[[noreturn]] void unsupportedNumericSize(uint32_t size) {
  TRC(TRC_ERROR, "***Error: received unsupported numeric datasize: %d", static_cast<int>(size));
  std::printf("Logic error. Invalid input Counter/Gauge attribute size.  Exiting...\n\n");
  std::fflush(stdout);
  std::exit(1);
}

[[noreturn]] void unsupportedDataType(int16_t dataType) {
  TRC(TRC_ERROR, "***Error: received unsupported DCH data type: %d", dataType);
  std::printf("Logic error. Received invalid DCH data type.  Exiting...\n\n");
  std::fflush(stdout);
  std::abort();
}

uint32_t writeAttributeValue(char* out, const void* value, uint32_t valueLength, char letter) {
  if (letter == 'S') return writeU16(out, value);
  if (isWriterNumericLetter(letter)) {
    if (valueLength == 2) return writeU16(out, value);
    if (valueLength == 4) return writeU32(out, value);
    unsupportedNumericSize(valueLength);
  }
  std::memcpy(out, value, valueLength);
  ZEV0_ConvertDataToNetwork(out, static_cast<int32_t>(valueLength));
  return valueLength;
}

uint32_t writeValue(char* out, int16_t dataType, const void* value, uint32_t valueLength, const char* typeLetter) {
  switch (kindOf(dataType)) {
    case ValueKind::U16:
      return writeU16(out, value);
    case ValueKind::U32:
      return writeU32(out, value);
    case ValueKind::Raw:
      std::memcpy(out, value, valueLength);
      return valueLength;
    case ValueKind::Text: {
      if (value == nullptr) return 0;
      auto length = static_cast<uint32_t>(std::strlen(static_cast<const char*>(value)));
      std::memcpy(out, value, length);
      ZEV0_ConvertDataToNetwork(out, static_cast<int32_t>(length));
      return length;
    }
    case ValueKind::Char:
      out[0] = *static_cast<const char*>(value);
      ZEV0_ConvertDataToNetwork(out, 1);
      return 1;
    case ValueKind::ByLetter:
      return writeAttributeValue(out, value, valueLength, *typeLetter);
    case ValueKind::Unknown:
      break;
  }
  unsupportedDataType(dataType);
}

void convertAttributeValue(char* value, uint32_t length, char letter) {
  if (letter == 'S') {
    if (length >= 2) toHostOrder(value, 2);
  } else if (isNumericLetter(letter)) {
    toHostOrder(value, length);  // 2 or 4; any other length is left alone
  } else {
    ZEV0_ConvertDataToLocal(value, static_cast<int32_t>(length));
  }
}

void convertValue(int dataType, char* value, uint32_t length, const char* typeLetter) {
  switch (kindOf(dataType)) {
    case ValueKind::U16:
      if (length >= 2) toHostOrder(value, 2);
      break;
    case ValueKind::U32:
      if (length >= 4) toHostOrder(value, 4);
      break;
    case ValueKind::Text:
    case ValueKind::Char:
      ZEV0_ConvertDataToLocal(value, static_cast<int32_t>(length));
      break;
    case ValueKind::ByLetter:
      if (typeLetter != nullptr) convertAttributeValue(value, length, *typeLetter);
      break;
    case ValueKind::Raw:
    case ValueKind::Unknown:
      break;
  }
}

}  // namespace

uint32_t ZEV0_FormatDataField(char* message, char* field, int16_t dataType, const void* value,
                              uint32_t valueLength, const char* typeLetter) {
  if (field == message + DCH_MESSAGE_HEADER_SIZE) writeBigEndian32(message, DCH_MESSAGE_HEADER_SIZE);
  writeBigEndian16(field + 4, static_cast<uint16_t>(dataType));
  uint32_t fieldLength =
      DCH_FIELD_HEADER_SIZE + writeValue(field + DCH_FIELD_HEADER_SIZE, dataType, value, valueLength, typeLetter);
  writeBigEndian32(message, readBigEndian32(message) + fieldLength);
  writeBigEndian32(field, fieldLength);
  return fieldLength;
}

int ZEV0_ExtractBoundedDataField(char** cursor, const char* end, char** value, uint32_t* valueLength,
                                 const char* typeLetter) {
  char* field = *cursor;
  if (end != nullptr && (field > end || end - field < static_cast<ptrdiff_t>(DCH_FIELD_HEADER_SIZE))) return 0;
  uint32_t fieldLength = readBigEndian32(field);
  if (fieldLength < DCH_FIELD_HEADER_SIZE) return 0;
  if (end != nullptr && static_cast<size_t>(end - field) < fieldLength) return 0;
  auto dataType = static_cast<int16_t>(readBigEndian16(field + 4));
  *value = field + DCH_FIELD_HEADER_SIZE;
  *valueLength = fieldLength - DCH_FIELD_HEADER_SIZE;
  *cursor = field + fieldLength;
  convertValue(dataType, *value, *valueLength, typeLetter);
  return dataType;
}

int ZEV0_ExtractDataField(char** cursor, char** value, uint32_t* valueLength, const char* typeLetter) {
  return ZEV0_ExtractBoundedDataField(cursor, nullptr, value, valueLength, typeLetter);
}

uint32_t ZEV0_MessageTotalLength(const char* message) { return readBigEndian32(message); }

// Without a whole total length word there is no field to read (and no message at all
// behind a null pointer, where a null end would mean no bound).
DataFieldReader::DataFieldReader(char* message, size_t heldBytes) : cursor_(message), end_(message) {
  if (message == nullptr || heldBytes < DCH_MESSAGE_HEADER_SIZE) return;
  cursor_ = message + DCH_MESSAGE_HEADER_SIZE;
  size_t declared = ZEV0_MessageTotalLength(message);
  end_ = message + (declared < heldBytes ? declared : heldBytes);
  if (end_ < cursor_) end_ = cursor_;
}

int DataFieldReader::next(char** value, uint32_t* valueLength, const char* typeLetter) {
  if (end_ == nullptr) return 0;
  return ZEV0_ExtractBoundedDataField(&cursor_, end_, value, valueLength, typeLetter);
}
