#include "zev_dorvan_base.h"

#include <cstdio>

#include "dch/channel_functions.h"
#include "trc1.h"
#include "zev0/text.h"
#include "zev_dorvan_manager.h"

TRC_UNIT();

namespace {

constexpr char kOriginNodeColumn[] = "ORIGINNODE";

// A text with an enumeration is a text still: described by its width alone, the server
// would read its characters as an integer.
int typeCode(const userTableColumn& column) {
  if (column.isText()) return RAF_COLUMN_TEXT;
  return column.length == 2 ? RAF_COLUMN_INTEGER_2 : RAF_COLUMN_INTEGER_4;
}

}  // namespace

zev_dorvan_base::zev_dorvan_base(RequestDetail* detail, ContextInfo* context, zev_dorvan_manager* manager)
    : requestRows(detail, context, manager), tblMgr_(manager) {
  int rowSize = 0;
  if (manager == nullptr) {
    TRC(TRC_ERROR, "Warning: tm was NULL.");
  } else if (userTableColumnsPtr table = columns()) {
    rowSize = table->rowSize();
  } else {
    TRC(TRC_DETAIL, "Note: userDataInfo object not yet created.");
  }
  SetRowSize(rowSize);
  SetAllocationDefault(1);
}

userTableColumnsPtr zev_dorvan_base::columns() const { return tblMgr_ != nullptr ? tblMgr_->columns() : nullptr; }

void zev_dorvan_base::PrintSelf() {
  TRC(TRC_DETAIL, "zev_dorvan_base @%p applName <%s> tableName <%s> interval %d sampleType %d",
      static_cast<void*>(this), ApplicationName(), TableName(), Interval(), _get_sampletype());
  DumpThresholds();
  if (DV_Debug() != 1) return;
  int rows = NumDataItems();
  TRC(TRC_DETAIL, "   rows %d allocated %d allocation default %d", rows, RowsAllocated(), AllocationDefault());
  for (int i = 0; i < rows; ++i)
    if (char* row = Data(i)) ZEV0_PrintDump(row, 0, DataSize());
}

int zev_dorvan_base::NumColumns() {
  userTableColumnsPtr table = columns();
  if (table == nullptr) {
    TRC(TRC_ERROR, "Error: _coInfo not set.");
    return 0;
  }
  return table->numColumns();
}

int zev_dorvan_base::GetColumnInfo(ColumnInfo* info, int column) {
  userTableColumnsPtr table = columns();
  if (table == nullptr) {
    TRC(TRC_ERROR, "Error: _coInfo not set.");
    return RAF_STATUS_BAD_COLUMN;
  }
  const userTableColumn* found = table->column(column);
  if (info == nullptr || found == nullptr) {
    TRC(TRC_ERROR, "Error: colno %d is invalid", column);
    return RAF_STATUS_BAD_COLUMN;
  }
  std::snprintf(info->name, sizeof info->name, "%s", found->columnName.c_str());
  // The management server heads column 0 with its column name.
  std::snprintf(info->attributeName, sizeof info->attributeName, "%s",
                column == 0 ? kOriginNodeColumn : found->attrName.c_str());
  info->type = typeCode(*found);
  info->length = found->length;
  info->offset = found->offset;
  return 0;
}

int zev_dorvan_base::ColumnIsException(char* row, char* column, _IntfOper oper, char* value) {
  if (tblMgr_ == nullptr) {
    TRC(TRC_ERROR, "Warning: _tblMgr not set.");
    return 0;
  }
  userTableColumnsPtr table = columns();
  if (table == nullptr) {
    TRC(TRC_ERROR, "Warning: coInfo cannot be resolved.");
    return 0;
  }
  const userTableColumn* found = table->byColumnName(column);
  if (row == nullptr || found == nullptr || found->offset < 0 || found->length <= 0 ||
      found->offset + found->length > DataSize())
    return 0;
  const char* field = row + found->offset;
  // An enumerated column holds its integer or text as a plain one does: a situation on it
  // tests that value (taken as never met, it would never fire).
  if (found->isText()) return IsException(oper, field, value, found->length);
  // An integer is read at its width, never past its column.
  if (found->length < IntfInteger_2) return 0;
  return IsException(oper, field, found->length < IntfInteger_4 ? IntfInteger_2 : IntfInteger_4, value);
}
