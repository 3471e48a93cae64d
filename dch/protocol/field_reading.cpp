#include "field_reading.h"

#include <cstring>

#include "trc1.h"

TRC_UNIT();

bool DCH_ReadField(DataFieldReader& reader, int16_t dataType, const char* name, char** value, uint32_t* length) {
  int found = reader.next(value, length);
  if (found == dataType) return true;
  TRC(TRC_ERROR, "Error: dataType of %s missing: %d", name, found);
  return false;
}

bool DCH_NumberValue(const char* value, uint32_t length, uint32_t width, const char* name, uint32_t* number) {
  if (length != width) {
    TRC(TRC_ERROR, "Error: %s value of %u bytes, expected %u", name, length, width);
    return false;
  }
  if (width == 2) {
    uint16_t shortNumber;
    std::memcpy(&shortNumber, value, 2);
    *number = shortNumber;
  } else {
    std::memcpy(number, value, 4);
  }
  return true;
}

bool DCH_ReadText(DataFieldReader& reader, int16_t dataType, const char* name, DCHview* text) {
  char* value;
  uint32_t length;
  if (!DCH_ReadField(reader, dataType, name, &value, &length)) return false;
  *text = DCHview{value, length};
  return true;
}

bool DCH_ReadU16(DataFieldReader& reader, int16_t dataType, const char* name, uint16_t* number) {
  char* value;
  uint32_t length;
  uint32_t wide;
  if (!DCH_ReadField(reader, dataType, name, &value, &length) || !DCH_NumberValue(value, length, 2, name, &wide))
    return false;
  *number = static_cast<uint16_t>(wide);
  return true;
}

bool DCH_ReadU32(DataFieldReader& reader, int16_t dataType, const char* name, uint32_t* number) {
  char* value;
  uint32_t length;
  return DCH_ReadField(reader, dataType, name, &value, &length) && DCH_NumberValue(value, length, 4, name, number);
}
