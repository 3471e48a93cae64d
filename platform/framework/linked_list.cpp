#include <algorithm>

#include "table_manager.h"

void LinkedList::Append(void* item) { items_.push_back(item); }

bool LinkedList::Remove(void* item) {
  auto found = std::find(items_.begin(), items_.end(), item);
  if (found == items_.end()) return false;
  items_.erase(found);
  return true;
}

bool LinkedList::Contains(const void* item) const {
  return std::find(items_.begin(), items_.end(), item) != items_.end();
}

int LinkedList::Count() const { return static_cast<int>(items_.size()); }

void* LinkedList::At(int i) const {
  return i >= 0 && static_cast<size_t>(i) < items_.size() ? items_[i] : nullptr;
}
