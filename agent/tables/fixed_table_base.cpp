#include "fixed_table_base.h"

#include <cstdint>
#include <cstdio>
#include <cstring>

#include "event_push.h"
#include "trc1.h"

TRC_UNIT();

std::string PredicateValue(const FLT1_FILTERINFO& filter, size_t most) {
  if (filter.value == nullptr || filter.valueLength <= 0) return "";
  return std::string(filter.value, strnlen(filter.value, std::min(static_cast<size_t>(filter.valueLength), most)));
}

const fixedColumn* FindFixedColumn(const fixedColumn* columns, int count, const char* name) {
  if (name == nullptr) return nullptr;
  for (int i = 0; i < count; ++i)
    if (std::strncmp(name, columns[i].name, static_cast<size_t>(columns[i].significant)) == 0) return &columns[i];
  return nullptr;
}

fixedTableBase::fixedTableBase(RequestDetail* detail, ContextInfo* context, TableManager* manager,
                               const fixedColumn* columns, int count, int rowSize, int allocationDefault)
    : requestRows(detail, context, manager), columns_(columns), count_(count) {
  SetRowSize(rowSize);
  SetAllocationDefault(allocationDefault);
}

void fixedTableBase::PrintSelf() {
  TRC(TRC_DETAIL, "@%p applName <%s> tableName <%s> interval %d", static_cast<void*>(this), ApplicationName(),
      TableName(), Interval());
  DumpThresholds();
  TRC(TRC_DETAIL, "   rows %d allocated %d", NumDataItems(), RowsAllocated());
}

int fixedTableBase::NumColumns() { return count_; }

int fixedTableBase::GetColumnInfo(ColumnInfo* info, int column) {
  if (info == nullptr || column < 0 || column >= count_) return RAF_STATUS_BAD_COLUMN;
  const fixedColumn& found = columns_[column];
  std::snprintf(info->name, sizeof info->name, "%s", found.frameworkName);
  info->attributeName[0] = '\0';
  info->type = found.type;
  info->length = found.length;
  info->offset = found.offset;
  return 0;
}

int fixedTableBase::ColumnIsException(char* row, char* column, _IntfOper oper, char* value) {
  const fixedColumn* found = FindFixedColumn(columns_, count_, column);
  if (row == nullptr || found == nullptr || found->offset + found->length > DataSize()) return 0;
  const char* field = row + found->offset;
  if (found->type != RAF_COLUMN_TEXT) {
    int32_t number;
    std::memcpy(&number, field, sizeof number);
    return IsException(oper, static_cast<long>(number), value);
  }
  return IsException(oper, field, value, found->length);
}

int fixedTableBase::AddData(void* rows, int count) {
  auto* row = static_cast<char*>(rows);
  for (int i = 0; row != nullptr && i < count; ++i, row += DataSize()) {
    if (CheckForException(row) == 0) continue;
    insertingRow(i);
    if (int status = InsertRow(row)) return status;
  }
  return 0;
}

const char* fixedTableBase::_get_thres(int column) {
  return column >= 0 && column < count_ ? GetFirstThreshold(columns_[column].name) : nullptr;
}

_IntfOper fixedTableBase::_get_oper(int column) {
  return column >= 0 && column < count_ ? GetFirstOperator(columns_[column].name) : IntfOper_None;
}

char* fixedTableBase::_get_value(int column, int i) {
  char* row = GetRow(i);
  return row != nullptr && column >= 0 && column < count_ ? row + columns_[column].offset : nullptr;
}

int fixedTableManager::AddDataToEvent(void* rows, int count) { return PushToEventRequests(this, rows, count); }
