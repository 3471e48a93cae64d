// The row of one data record: the record's attribute values laid into a blank row at
// their columns' offsets.
#pragma once

#include <cstdint>

#include "row_layout.h"

class DataFieldReader;

struct recordRow {
  rowBuffer row;
  // 1 when a value was missing: its column holds "^" and zeros.
  int16_t noValueFlag = 0;
  // A column lay beyond the row: the row holds the values before it.
  bool offsetError = false;
};

// Takes the record's values (0x52 fields) in column order from 1, each copied at most
// its column's length, until the fields end or another type comes. Values beyond the
// table's last column are traced and ignored. A row that cannot be allocated is null.
recordRow fillRecordRow(DataFieldReader& values, const rowLayout& layout, int rowSize, const char* tableName);
