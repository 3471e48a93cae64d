// Remote-agent framework stand-in: a request of the management server on one table
// (Pxraf), its columns, its predicates and the automation commands it carries.
//
// A table agent derives from Pxraf; its table manager creates one object per request
// (TableManager::CreatePxraf) and the framework destroys it when the request ends.
// The framework calls TakeSample on a thread of its own for each sample; the rows the
// agent inserts (InsertRow, usually through AddData) go to the management server.
//
// Thread rules: a request's rows have their own lock, so InsertRow, Dispatch and
// ClearCount may come from the sampling thread and a data thread at once. The
// framework holds no lock of its own while it calls into a request (constructor,
// TakeSample, destructor, ExecuteCommand).
#pragma once

#include <cstdint>
#include <memory>

#include "flt1.h"
#include "raf_status.h"

class TableManager;
class PxrafAutomationCapsule;
// What the management server asked for and in what context; made by the framework and
// handed through TableManager::CreatePxraf to the Pxraf constructor.
class RequestDetail;
class ContextInfo;

// Comparison operators of predicates and of the exception tests.
enum _IntfOper {
  IntfOper_None = 0,
  IntfOper_EQ = 1,
  IntfOper_NE = 2,
  IntfOper_GE = 3,
  IntfOper_LE = 4,
  IntfOper_LT = 5,
  IntfOper_GT = 6,
};

// What a request samples for.
enum IntfSampleType {
  IntfSampleType_undefined = 0,
  IntfSampleType_exception = 1,  // a situation tested at each interval
  IntfSampleType_interval = 2,
  IntfSampleType_demand = 3,  // one answer now (reports, current values)
  IntfSampleType_event = 4,   // rows pushed as they come (Dispatch)
};

// Width of an integer column in a row.
enum IntfIntegerWidth {
  IntfInteger_2 = 2,
  IntfInteger_4 = 4,
};

// Column type codes of ColumnInfo::type.
constexpr int RAF_COLUMN_INTEGER_4 = 3;
constexpr int RAF_COLUMN_INTEGER_2 = 5;
constexpr int RAF_COLUMN_TEXT = 9;

constexpr int RAF_COLUMN_NAME_SIZE = 33;
constexpr int RAF_ATTRIBUTE_NAME_SIZE = 201;
// The longest subnode name GetSubnode gives.
constexpr int RAF_SUBNODE_NAME_LENGTH = 32;

// One column of a table, as GetColumnInfo fills it.
struct ColumnInfo {
  // The column's name as the framework knows it (e.g. "ORIGINNODE", "DV3").
  char name[RAF_COLUMN_NAME_SIZE];
  // The name the management server shows for the column (known to it from the
  // definition files); empty: the column name stands for it.
  char attributeName[RAF_ATTRIBUTE_NAME_SIZE];
  // RAF_COLUMN_INTEGER_4, RAF_COLUMN_INTEGER_2 or RAF_COLUMN_TEXT.
  int type;
  int length;
  // Of the column's first byte in the row.
  int offset;
};

class Pxraf {
 public:
  // detail and context: as the framework handed them to CreatePxraf. manager: the
  // table manager that creates the request.
  Pxraf(RequestDetail* detail, ContextInfo* context, TableManager* manager);
  Pxraf(const Pxraf&) = delete;
  Pxraf& operator=(const Pxraf&) = delete;

  // Virtual operations, in slot order.
  // 1: traces the request (names, interval, sample type, predicates, rows).
  virtual void PrintSelf();
  // 2: called by the framework for each sample; inserts the rows of the answer.
  virtual void TakeSample() = 0;
  // 3: columns 0 to NumColumns() exist (column 0 and NumColumns() more). Default 0.
  virtual int NumColumns();
  // 4: fills info for the column; 0, else RAF_STATUS_BAD_COLUMN (the default always).
  virtual int GetColumnInfo(ColumnInfo* info, int column);
  // 5: runs an automation command of this request through the command callback
  // registered under pattern (null: "*"), with the request's row dataRowNum as the
  // row that fired it. Returns the callback's result, RAF_STATUS_NO_CALLBACK when no
  // callback is registered under the pattern.
  virtual int ExecuteCommand(char* command, int dataRowNum, char* pattern);
  // 6
  virtual ~Pxraf();
  // 7: appends a copy of DataSize() bytes of row; 0, or 1 on failure (no row, no
  // row size, no storage).
  virtual int InsertRow(char* row);
  // 8: 1 when the row (DataSize() bytes) meets every predicate of the request, or the
  // request has none; predicates whose function type is not 0 are not evaluated.
  // Each predicate is tested with ColumnIsException.
  virtual int CheckForException(char* row);
  // 9: 1 when the row's column meets "column oper value". The default finds the
  // column with GetColumnInfoByName and compares by its type; 0 for an unknown column.
  virtual int ColumnIsException(char* row, char* column, _IntfOper oper, char* value);
  // 10: FinishedAutomationCommand calls it; the default traces the capsule's result.
  virtual void CommandCompleted(PxrafAutomationCapsule* capsule);
  // 11: offers rows; the default takes data as count rows of DataSize() bytes and
  // inserts, in order, those that CheckForException passes, stopping at the first
  // failed insertion. Returns that insertion's status, else 0. Table agents override
  // it with their own meaning of count.
  virtual int AddData(void* data, int count);

  // What the server asked for.
  const char* ApplicationName();
  const char* TableName();
  // Empty when the request is not for a situation.
  const char* SituationName();
  // Seconds between samples (a situation's sampling interval).
  int Interval();
  // An IntfSampleType.
  int _get_sampletype();
  // Free text of the server (e.g. holds "HIST(" for a history request); never null.
  const char* _get_instructions();

  // The subnodes the request addresses, first first: after ResetGetSubnode, each
  // GetSubnode gives the next name (at most RAF_SUBNODE_NAME_LENGTH characters), then
  // "" when there are no more. The text stays valid until the next GetSubnode.
  void ResetGetSubnode();
  const char* GetSubnode();

  // Fills info with the next predicate and returns 0; after the last one returns
  // FLT1_NO_MORE_FILTERS, and the next call starts again with the first.
  int GetFilterInfo(FLT1_FILTERINFO* info);
  // The value and the operator of the first predicate on the column (the name compared
  // without regard to case); null and IntfOper_None when there is none.
  const char* GetFirstThreshold(const char* column);
  _IntfOper GetFirstOperator(const char* column);
  // Traces the predicates.
  void DumpThresholds();

  // Exception tests: 1 when "field oper value" holds, 0 otherwise (also for an
  // unknown operator or a missing field or value).
  // Text: the field's first length bytes up to a NUL, trailing blanks dropped, against
  // the value without trailing blanks, byte by byte.
  static int IsException(_IntfOper oper, const char* field, const char* value, int length);
  // Integer: the number against the value's decimal text.
  static int IsException(_IntfOper oper, long field, const char* value);
  // Integer read from the field at its width (2 or 4 bytes, host byte order).
  static int IsException(_IntfOper oper, const char* field, IntfIntegerWidth width, const char* value);
  // Integer read from the field as 4 bytes.
  static int IsException(_IntfOper oper, const char* field, const char* value);

  // The request's handle: 32 bits, never 0, never given to another request.
  uint32_t Handle();
  // The live request with this handle, pinned until its Drop; null when it has ended
  // or is ending. The framework's end of a request waits for every pin to drop.
  static Pxraf* UseHandle(uint32_t handle);
  // Releases one pin that UseHandle took.
  void Drop();

  // Hands the rows inserted so far to the management server as one event batch (no
  // batch when there are none); the rows stay until ClearCount. 0, else a failure.
  int Dispatch();
  // Forgets the rows inserted so far.
  void ClearCount();
  // Bytes of one row; rows held are cut or padded with zeros to a new size.
  void SetRowSize(int bytes);
  int DataSize();
  // Rows reserved at a time as rows come in.
  void SetAllocationDefault(int rows);
  int AllocationDefault();
  int RowsAllocated();
  int NumDataItems();
  // Row i (0 to NumDataItems()-1) of DataSize() bytes, else null. Valid until the
  // rows change size or are cleared.
  char* Data(int i);

  // Walks GetColumnInfo over columns 0 to NumColumns() for the first whose name equals
  // name without regard to case; 0, else RAF_STATUS_BAD_COLUMN.
  int GetColumnInfoByName(ColumnInfo* info, const char* name);

  // 1 for a request made to carry automation commands (a policy's), else 0.
  int IsAutomationRequest();
  // Called by the command callback when it has set the capsule's result: marks the
  // command finished and calls CommandCompleted.
  void FinishedAutomationCommand(PxrafAutomationCapsule* capsule);

 private:
  friend struct PxrafInternals;
  struct State;
  std::unique_ptr<State> state_;
};

// One automation command on its way through the command callback.
class PxrafAutomationCapsule {
 public:
  // The framework makes the capsule: a writable copy of command.
  PxrafAutomationCapsule(Pxraf* request, const char* command, int dataRowNum);
  PxrafAutomationCapsule(const PxrafAutomationCapsule&) = delete;
  PxrafAutomationCapsule& operator=(const PxrafAutomationCapsule&) = delete;
  ~PxrafAutomationCapsule();

  // The command text, NUL-terminated; the callback may change it in place (not past
  // its terminator).
  char* Command();
  Pxraf* Request();
  // The row of the request that fired the command.
  int DataRowNum();
  void SetResults(int result);
  int Results();
  // True once FinishedAutomationCommand was called with the capsule.
  bool Finished();

 private:
  friend class Pxraf;
  Pxraf* request_;
  char* command_;
  int dataRowNum_;
  int results_ = 0;
  bool finished_ = false;
};
