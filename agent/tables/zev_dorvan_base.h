// The framework's side of a user-table request: the table's columns as its manager
// knows them (column 0 the origin node ORIGINNODE, columns 1 to n the attributes, DV1
// to DVn), and the test of a row against the request's thresholds.
//
// The columns are read from the manager again before each use: the table's description
// may come, go or be replaced while the request lives.
#pragma once

#include "request_rows.h"
#include "user_table_columns.h"

class zev_dorvan_manager;

class zev_dorvan_base : public requestRows {
 public:
  // The row size is the table's, or 0 while the manager has no description.
  zev_dorvan_base(RequestDetail* detail, ContextInfo* context, zev_dorvan_manager* manager);

  void PrintSelf() override;
  // The attribute columns n; 0 without a description.
  int NumColumns() override;
  // Columns 0 to n: name, attribute name, type code (text, enumerated too, 9, else 5 for two bytes,
  // else 3), length and offset; 0, else RAF_STATUS_BAD_COLUMN.
  int GetColumnInfo(ColumnInfo* info, int column) override;
  // The column's value against "oper value": integers at their width, texts at their
  // length. 0 (not an exception) for an unknown column or without a description.
  int ColumnIsException(char* row, char* column, _IntfOper oper, char* value) override;

  // True when the row (DataSize() bytes) meets the request's thresholds.
  bool IsRowException(char* row) { return CheckForException(row) != 0; }

 protected:
  zev_dorvan_manager* tableManager() const { return tblMgr_; }
  // The table's columns now, or null.
  userTableColumnsPtr columns() const;

 private:
  zev_dorvan_manager* tblMgr_;
};
