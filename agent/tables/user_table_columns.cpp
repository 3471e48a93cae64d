#include "user_table_columns.h"

#include "attribute_column.h"

bool userTableColumn::isText() const { return type == kStringColumn || type == kEnumStringColumn; }

userTableColumns::userTableColumns(std::vector<userTableColumn> columns, int rowSize, std::string applName,
                                   std::string attrGroup, std::string tableName)
    : columns_(std::move(columns)),
      rowSize_(rowSize),
      applName_(std::move(applName)),
      attrGroup_(std::move(attrGroup)),
      tableName_(std::move(tableName)) {}

const userTableColumn* userTableColumns::column(int i) const {
  return i >= 0 && static_cast<size_t>(i) < columns_.size() ? &columns_[i] : nullptr;
}

const userTableColumn* userTableColumns::byColumnName(const char* columnName) const {
  if (columnName == nullptr) return nullptr;
  for (const userTableColumn& column : columns_)
    if (column.columnName == columnName) return &column;
  return nullptr;
}
