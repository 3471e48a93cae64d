// The framework's side of a request on one of the agent's fixed tables (the remote-file
// table Q7SRV.RMTFILE and the action table ZEV.ZEVACT): a row of fixed columns, each known
// to the framework by a lower-case name (GetColumnInfo) and to the request's predicates by
// its upper-case one; the rows offered are inserted when they meet the predicates. The
// manager pushes rows to every open request of its table.
#pragma once

#include <algorithm>
#include <cstring>
#include <new>
#include <string>
#include <string_view>

#include "request_rows.h"
#include "table_manager.h"

struct fixedColumn {
  const char* name;           // as predicates name it, e.g. "ORIGINNODE"
  int significant;            // characters of name that a predicate's column must match
  const char* frameworkName;  // as the framework knows it, e.g. "originnode"
  int type;                   // RAF_COLUMN_TEXT (blank-padded) or RAF_COLUMN_INTEGER_4
  int length;
  int offset;
};

// A text into a blank-padded column, cut to its width.
template <size_t N>
void BlankPadded(char (&field)[N], std::string_view text) {
  std::memset(field, ' ', N);
  std::memcpy(field, text.data(), std::min(text.size(), N));
}

// A predicate's value as text (up to a NUL within its length), cut to most characters.
std::string PredicateValue(const FLT1_FILTERINFO& filter, size_t most);

// The column a predicate's column name means, or null.
const fixedColumn* FindFixedColumn(const fixedColumn* columns, int count, const char* name);

class fixedTableBase : public requestRows {
 public:
  // The rows are rowSize bytes; rows are reserved allocationDefault at a time.
  fixedTableBase(RequestDetail* detail, ContextInfo* context, TableManager* manager, const fixedColumn* columns,
                 int count, int rowSize, int allocationDefault);

  void PrintSelf() override;
  // The number of columns (GetColumnInfo takes 0 to that less one).
  int NumColumns() override;
  int GetColumnInfo(ColumnInfo* info, int column) override;
  // The row's column against "oper value": texts at their width, integers as numbers.
  // 0 for a column the table does not have.
  int ColumnIsException(char* row, char* column, _IntfOper oper, char* value) override;
  // count rows of the row size, each inserted when it meets the predicates, while no
  // insertion fails. The first failed insertion's status, else 0.
  int AddData(void* rows, int count) override;

  // The accessor family, one set for every column (by its index): the first predicate's
  // value and operator on the column, and the column in row i.
  const char* _get_thres(int column);
  _IntfOper _get_oper(int column);
  char* _get_value(int column, int i);
  int RowIsException(char* row) { return CheckForException(row); }
  int IsRowException(char* row) { return CheckForException(row); }
  int _set_data(char* row) { return AddData(row, 1); }

 protected:
  // Called before row i of an AddData is inserted.
  virtual void insertingRow(int) {}

 private:
  const fixedColumn* columns_;
  int count_;
};

class fixedTableManager : public TableManager {
 public:
  using TableManager::TableManager;

  // The rows to the table's event requests (event_push.h).
  int AddDataToEvent(void* rows, int count);
};

// Makes the table's one manager, replacing one that an earlier start made (a test's), and
// registers it: RegisterWithManager's status, or RAF_STATUS_NO_STORAGE.
template <class Manager>
int StartFixedTable(Manager** manager) {
  delete *manager;
  *manager = new (std::nothrow) Manager();
  return *manager != nullptr ? (*manager)->RegisterWithManager() : RAF_STATUS_NO_STORAGE;
}
