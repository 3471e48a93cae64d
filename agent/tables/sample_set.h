// One multi-row sample set of a row list (beginEndList): the records a data provider
// sends from a begin record (control 1) through the records of the set (0) to the end
// record (16). A set is emitted only once it is complete, and always whole.
//
// A set belongs to its row list and is used only under the list's lock.
#pragma once

#include <cstdint>
#include <list>

#include "row_layout.h"

class Pxraf;

class beginEndList {
 public:
  // An open set created now.
  explicit beginEndList(int64_t now) : timeStamp_(now) {}
  beginEndList(const beginEndList&) = delete;
  beginEndList& operator=(const beginEndList&) = delete;

  // Appends one record, taking its row (null: a record without row). The end record
  // completes the set and restamps it: a set's age counts from its completion.
  // 0 added; 1 when it could not be allocated (the row is freed).
  int addEntry(int controlField, rowBuffer row, int64_t now);

  // Hands the rows of a complete set to the request's AddData in arrival order, with
  // the origin node in column 0; an open set hands over nothing. The number of rows
  // the request took.
  int emitToRAF(Pxraf& request, const char* originNode, int rowSize);

  bool completeSet() const { return completeSet_; }
  int64_t timeStamp() const { return timeStamp_; }
  int noOfElements() const { return static_cast<int>(records_.size()); }
  void printList(int rowSize) const;

 private:
  struct beginEndListEntry {
    int controlField;
    rowBuffer row;  // null: the record had no row (emptyRow)
  };

  std::list<beginEndListEntry> records_;
  bool completeSet_ = false;
  int64_t timeStamp_;
};
