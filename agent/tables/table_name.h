// The framework table name of an attribute group of one application release: the
// application key, the attribute group's checksum text (at most 5 digits) and the
// two-digit release, at most 10 characters.
#pragma once

#include <cstdio>

#include "dch/channel_functions.h"

constexpr int kTableNameSize = 11;

inline void formatTableName(char (&tableName)[kTableNameSize], const char* applKey, const char* attrGroup,
                            const char* RR) {
  std::snprintf(tableName, sizeof tableName, "%.3s%.5s%.2s", applKey, ZEVA_ComputeChecksumOnAttrGroup(attrGroup), RR);
}
