// Appending to a standard list where the system reports a failed allocation as a
// status: the caller traces it and goes on, and an argument that was to be moved into
// the new element stays with the caller.
#pragma once

#include <new>
#include <utility>

template <typename List, typename... Args>
typename List::value_type* appendOrNull(List& list, Args&&... args) noexcept {
  try {
    list.emplace_back(std::forward<Args>(args)...);
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
  return &list.back();
}
