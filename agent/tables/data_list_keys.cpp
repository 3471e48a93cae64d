// Key data (sample type K): a row replaces the stored row with equal key columns, and
// a delete record removes it.
#include <cstring>

#include "data_list.h"
#include "trc1.h"

TRC_UNIT();

namespace {

constexpr char kNoValueMark = '^';

}  // namespace

std::list<dataList::dataListEntry>::iterator dataList::findByKeysLocked(const char* row) {
  if (keyCount_ == 0 || row == nullptr) return rows_.end();
  for (auto entry = rows_.begin(); entry != rows_.end(); ++entry) {
    bool equal = entry->row != nullptr;
    for (int i = 0; i < keyCount_ && equal; ++i)
      equal = std::memcmp(entry->row.get() + keys_[i].offset, row + keys_[i].offset, keys_[i].length) == 0;
    if (equal) return entry;
  }
  return rows_.end();
}

void dataList::mergeValuesLocked(char* stored, const char* row) const {
  if (layout_ == nullptr) return;
  for (size_t column = 1; column < layout_->columns.size(); ++column) {
    const rowColumn& span = layout_->columns[column];
    if (span.offset < 0 || span.length <= 0 || span.offset + span.length > rowSize_) continue;
    if (row[span.offset] != kNoValueMark) std::memcpy(stored + span.offset, row + span.offset, span.length);
  }
}

int dataList::deleteKeyRowLocked(char type, rowBuffer row) {
  if (type != 'K') {
    TRC(TRC_ERROR, "Error: control field DCH_DeleteKeyRecord only valid for key data.");
    return 1;
  }
  auto stored = findByKeysLocked(row.get());
  if (stored != rows_.end()) {
    TRC(TRC_DETAIL, "dataListEntry @%p matched all keys - deleting it", static_cast<void*>(&*stored));
    removeRowLocked(stored);
  }
  return 0;
}
