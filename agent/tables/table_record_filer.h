// What a table's data thread does with each record its DCH wait brings: it lays the
// record's values into a row of the table, files the row in the row list of the
// record's source (making the list, and waiting for the sample registry to know the
// source, the first time), pushes a new event row to the table's requests at once, and
// copies the rows of the agent's own action log to the framework's operations log.
#pragma once

#include <cstddef>
#include <memory>

#include "data_list.h"
#include "row_layout.h"

class samplesList;
class userDataInfo;

class tableRecordFiler {
 public:
  // A source the sample registry does not know yet is tried again this often.
  static constexpr unsigned kRetrySeconds = 3;

  explicit tableRecordFiler(userDataInfo& table);

  // Files one record (its total length word first, at most `length` bytes held).
  // 0: the thread waits for the next record (this one filed, or dropped with a trace);
  // 1: the thread ends (traced).
  int fileRecord(char* record, size_t length);

 private:
  enum class Outcome { filed, dropped, failed };

  // The row list of the source, made and recorded in the registry when there is none.
  Outcome findRowList(samplesList& registry, const char* sourceName, std::shared_ptr<dataList>* list);
  Outcome recordRowList(samplesList& registry, const char* sourceName, std::shared_ptr<dataList>* list);
  void registerKeys(dataList& list);

  userDataInfo& table_;
  std::shared_ptr<const rowLayout> layout_;
  char tableSuffix_[3] = {};
  bool actionLog_;
  bool keysRegistered_ = false;
};
