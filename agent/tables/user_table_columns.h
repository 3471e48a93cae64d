// What the requests of a user table need to know of its description: the columns
// (column 0 the origin node, 1 to n the attributes) with their names, types, lengths and
// offsets, the row size, and the application and group that a situation's rule names.
//
// The table's manager keeps a copy of its description, taken once the description is
// complete, and hands it to its requests, so a request never reads a description that its
// application's probe is deleting.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

struct userTableColumn {
  std::string columnName;  // "ORIGINNODE", "DV1", "DV2", ...
  std::string attrName;    // as the data provider named the attribute
  int16_t type = 0;        // 1 integer, 2 text, 4 and 5 the same with an enumeration
  int16_t length = 0;
  int16_t offset = 0;

  bool isText() const;
};

class userTableColumns {
 public:
  // columns: 0 to n.
  userTableColumns(std::vector<userTableColumn> columns, int rowSize, std::string applName, std::string attrGroup,
                   std::string tableName);

  // The attribute columns: n (columns 0 to n exist).
  int numColumns() const { return static_cast<int>(columns_.size()) - 1; }
  // Column i (0 to n), or null.
  const userTableColumn* column(int i) const;
  // The first column of that column name, or null.
  const userTableColumn* byColumnName(const char* columnName) const;
  int rowSize() const { return rowSize_; }
  // The application name without its release.
  const std::string& applName() const { return applName_; }
  const std::string& attrGroup() const { return attrGroup_; }
  const std::string& tableName() const { return tableName_; }

 private:
  std::vector<userTableColumn> columns_;
  int rowSize_;
  std::string applName_;
  std::string attrGroup_;
  std::string tableName_;
};

using userTableColumnsPtr = std::shared_ptr<const userTableColumns>;
