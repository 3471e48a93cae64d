// What the row store needs to know of a table: its sample type and where each column
// lies in a row. The data thread takes it from the table description once and shares it
// with every row list of the table, so a list never reads a description that has gone.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

// A row as the row store keeps it: row-size bytes, owned by whoever holds the pointer.
using rowBuffer = std::unique_ptr<char[]>;

struct rowColumn {
  int offset = 0;
  int length = 0;
  int type = 0;  // 1 integer, 2 text (4 and 5 with an enumeration)
  bool keyed = false;
};

struct rowLayout {
  char sampleType = '\0';  // P, S, K or E
  // Column 0 is the origin node; the attributes follow from column 1.
  std::vector<rowColumn> columns;
};

// The origin-node column: the first bytes of every row.
constexpr int kOriginNodeLength = 32;

// Blanks the origin-node column and writes the name into it, at most its 32 bytes and
// without terminator, as the framework expects it.
void setOriginNode(char* row, int rowSize, const char* originNode);

// Seconds since the epoch, from the basic services' clock.
int64_t rowStoreNow();
