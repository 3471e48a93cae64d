#include "user_table_columns.h"

#include <new>

#include "attribute_column.h"
#include "user_data_info.h"

bool userTableColumn::isText() const { return type == kStringColumn || type == kEnumStringColumn; }

userTableColumns::userTableColumns(std::vector<userTableColumn> columns, int rowSize, std::string applName,
                                   std::string attrGroup, std::string tableName)
    : columns_(std::move(columns)),
      rowSize_(rowSize),
      applName_(std::move(applName)),
      attrGroup_(std::move(attrGroup)),
      tableName_(std::move(tableName)) {}

userTableColumnsPtr userTableColumnsOf(const userDataInfo& description) {
  try {
    std::vector<userTableColumn> columns;
    for (int i = 0; i < description.noOfColumns(); ++i) {
      const attrInfo_t* column = description.attrInfo(i);
      columns.push_back(userTableColumn{column->colName, column->attrName, column->colType, column->length,
                                        column->offset});
    }
    return std::make_shared<const userTableColumns>(std::move(columns), description.rowSize(),
                                                    description.applName(), description.attrGroup(),
                                                    description.tableNameRR());
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
}

const userTableColumn* userTableColumns::column(int i) const {
  return i >= 0 && static_cast<size_t>(i) < columns_.size() ? &columns_[i] : nullptr;
}

const userTableColumn* userTableColumns::byColumnName(const char* columnName) const {
  if (columnName == nullptr) return nullptr;
  for (const userTableColumn& column : columns_)
    if (column.columnName == columnName) return &column;
  return nullptr;
}
