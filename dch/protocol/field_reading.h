// Reading one expected field of a received message, with the errors every DCH
// parser reports.
#pragma once

#include <cstdint>

#include "dch_message_parser.h"

// The next field, which must be of dataType; otherwise traces
// "Error: dataType of <name> missing: %d" with the type found and returns false.
bool DCH_ReadField(DataFieldReader& reader, int16_t dataType, const char* name, char** value, uint32_t* length);

// The number in a value already converted to host order, which must be `width`
// bytes long (2 or 4); otherwise traces the wrong size and returns false.
bool DCH_NumberValue(const char* value, uint32_t length, uint32_t width, const char* name, uint32_t* number);

bool DCH_ReadText(DataFieldReader& reader, int16_t dataType, const char* name, DCHview* text);
bool DCH_ReadU16(DataFieldReader& reader, int16_t dataType, const char* name, uint16_t* number);
bool DCH_ReadU32(DataFieldReader& reader, int16_t dataType, const char* name, uint32_t* number);
