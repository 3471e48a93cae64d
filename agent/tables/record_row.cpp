#include "record_row.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "dch_message_parser.h"
#include "trc1.h"

TRC_UNIT();

namespace {

constexpr char kNoValueMark = '^';

}  // namespace

recordRow fillRecordRow(DataFieldReader& values, const rowLayout& layout, int rowSize, const char* tableName) {
  recordRow filled;
  filled.row.reset(new (std::nothrow) char[rowSize]);
  if (filled.row == nullptr) {
    TRC(TRC_ERROR, "Error: allocating %d bytes for userData", rowSize);
    return filled;
  }
  char* row = filled.row.get();
  std::memset(row, ' ', rowSize);
  const int columns = static_cast<int>(layout.columns.size());
  DCHview value;
  int column = 1;
  for (; DCH_NextRowValue(values, &value); ++column) {
    if (column >= columns) {
      int ignored = 1;
      while (DCH_NextRowValue(values, &value)) ++ignored;
      TRC(TRC_ERROR, "Warning: %d value(s) beyond the %d column(s) of table <%s> ignored.", ignored, columns - 1,
          tableName);
      return filled;
    }
    const rowColumn& span = layout.columns[column];
    if (span.offset < 0 || span.offset > rowSize) {
      TRC(TRC_ERROR, "Error: offset=%d > %d", span.offset, rowSize);
      filled.offsetError = true;
      return filled;
    }
    int room = std::min(span.length, rowSize - span.offset);
    if (value.length == 0) {
      if (room > 0) {
        row[span.offset] = kNoValueMark;
        std::memset(row + span.offset + 1, 0, room - 1);
      }
      filled.noValueFlag = 1;
      continue;
    }
    int copied = static_cast<int>(std::min<uint32_t>(value.length, static_cast<uint32_t>(std::max(room, 0))));
    if (copied < static_cast<int>(value.length))
      TRC(TRC_ERROR, "Warning: value of %u bytes for column %d of table <%s> cut to %d bytes.", value.length,
          column, tableName, copied);
    std::memcpy(row + span.offset, value.data, copied);
  }
  TRC(TRC_DETAIL, "No more attrValues to process.");
  return filled;
}
