// Filter library stand-in: the record that describes one predicate (threshold) of a
// framework request, as Pxraf::GetFilterInfo hands it out.
#pragma once

#include <cstdint>

// GetFilterInfo's answer after the last predicate of a request.
constexpr int FLT1_NO_MORE_FILTERS = 63;

constexpr int FLT1_COLUMN_NAME_SIZE = 33;

struct FLT1_FILTERINFO {
  // How the predicate joins the ones before it, as the management server sent it.
  // The stand-in's requests hold a conjunction: every predicate must hold.
  int16_t logicalOperator;
  // 1 EQ, 2 NE, 3 GE, 4 LE, 5 LT, 6 GT (the values of _IntfOper).
  int16_t comparisonOperator;
  // 0 compares the column's value itself; any other number names a function of it.
  int32_t functionType;
  // The column's name as the framework knows it (e.g. "DV3", "ORIGINNODE"), NUL-terminated.
  char columnName[FLT1_COLUMN_NAME_SIZE];
  // Bytes of the value, without the NUL that follows them.
  int16_t valueLength;
  // The comparison value as text (an integer column's as decimal digits), owned by the
  // request and valid while it lives.
  const char* value;
};
