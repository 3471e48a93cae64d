// The model's lists are singly linked and appended at their tail; the caller
// holds the list's lock.
#pragma once

namespace zevp {

template <typename Entry>
void AppendToList(Entry** head, Entry* entry, Entry* Entry::*link = &Entry::next) {
  while (*head != nullptr) head = &((*head)->*link);
  *head = entry;
}

// Unlinks the entry when it is in the list.
template <typename Entry>
void RemoveFromList(Entry** head, Entry* entry, Entry* Entry::*link = &Entry::next) {
  while (*head != nullptr && *head != entry) head = &((*head)->*link);
  if (*head != nullptr) *head = entry->*link;
}

}  // namespace zevp
