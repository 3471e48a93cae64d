// Reading one record of a monitored file: lines are joined into a record by the
// group's //RECORDSET begin string, its line count and compare rule, or by the
// values that its attributes need.
#pragma once

#include <cstdint>
#include <vector>

#include "monitor_file_stream.h"
#include "record_set_rule.h"

struct SourceEntry;
struct TableEntry;

// The state of reading records in one pass over the file.
struct MonitorFileRead {
  zevp::MonitorFileStream* stream = nullptr;
  const TableEntry* table = nullptr;
  const char* delimiter = nullptr;  // the source's attribute delimiter; null: none
  bool beginStringMode = false;     // records begin at a line that starts with the group's begin string
  RecordSetCompareRule* rule = nullptr;
  // TAIL: a last line without its line end is left for the next pass, as its
  // writer may not have finished it.
  bool leaveUnendedLine = false;

  int32_t recordCounter = 0;     // lines read from the stream in the pass
  bool unendedLineLeft = false;  // a read stopped before such a line
  // Where the next pass goes on after the last record: before a line already
  // read for the next record.
  int64_t resumePosition = 0;

  std::vector<char> line;  // the line read buffer
  int64_t pendingLineStart = 0;
};

// Joins the next record into record (length bytes: at most length - 1 characters
// and a terminating zero). Returns record, or null when no line could be taken
// (the end of the file, or the rule's end-of-file switch already set). A record
// longer than the buffer is cut with a trace; the rest of that record is read and
// dropped, and the next call reads the record after it.
char* ReadMonitorFileRecord(MonitorFileRead& read, char* record, int32_t length);
