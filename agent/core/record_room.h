// Room for a fixed number of records, allocated at once, in which a record is made only
// when it is to be filled: the pages of records never filled are never touched, so a
// description sized for the largest table costs what its own table takes. Records stay
// where they are for the room's life.
#pragma once

#include <cstddef>
#include <new>

template <typename Record>
class RecordRoom {
 public:
  RecordRoom() = default;
  ~RecordRoom() {
    for (size_t i = made_; i-- > 0;) records_[i].~Record();
    ::operator delete(records_, std::align_val_t(alignof(Record)));
  }
  RecordRoom(const RecordRoom&) = delete;
  RecordRoom& operator=(const RecordRoom&) = delete;

  // Room for the records, none made yet; false when it cannot be allocated.
  bool allocate(size_t capacity) {
    records_ = static_cast<Record*>(
        ::operator new(capacity * sizeof(Record), std::align_val_t(alignof(Record)), std::nothrow));
    return records_ != nullptr;
  }
  bool allocated() const { return records_ != nullptr; }

  // The next record, made (value-initialised) to be filled; records are made in order,
  // each once, at most as many as there is room for.
  Record& makeNext() { return *new (&records_[made_++]) Record(); }

  // Record i, made before.
  Record& operator[](size_t i) { return records_[i]; }
  const Record& operator[](size_t i) const { return records_[i]; }
  const Record* data() const { return records_; }

 private:
  Record* records_ = nullptr;
  size_t made_ = 0;
};
