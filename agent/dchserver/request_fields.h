// What the DCH server's handlers share in reading a request: a reader bounded by
// the message, and the names it carries taken within their limits.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "dch/dch_protocol.h"

constexpr size_t kApplNameHolder = DCH_MAX_APPL_NAME + 1;
constexpr size_t kAttrGroupHolder = DCH_MAX_ATTR_GROUP + 1;

// A reader of the request's fields placed behind its request-code field. The
// message's first word is its total length, as the request loop hands it over.
DataFieldReader requestFields(char* message);

// A text value as a string, up to its first NUL: what the store would keep of it.
std::string fieldText(const char* value, uint32_t length);

// Copies an application name of 3 to 20 characters; otherwise traces
// "Error: applName length %d > %d" and returns false.
bool takeApplName(const char* value, uint32_t length, char (&applName)[kApplNameHolder]);
// Copies an attribute group of at most 32 characters; otherwise traces
// "Error: attrGroup length %d > %d" and returns false.
bool takeAttrGroup(const char* value, uint32_t length, char (&attrGroup)[kAttrGroupHolder]);
// Upper-cases the name in place; false (traced) when that fails.
bool upperCaseName(char* name);
