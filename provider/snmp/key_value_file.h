// The line format of the node community and network-name files: text lines of at
// most 1023 characters; a line whose first character is '*' is a comment; after any
// leading blanks the first word is the key and the next word the value, anything
// after it is ignored; a line without a value is passed over.
#pragma once

#include <cstdio>
#include <functional>
#include <mutex>
#include <string>

namespace zevp {

constexpr size_t kKeyValueLineMax = 1023;

// The key and value of a line without its line end; false when it has none.
bool SplitKeyValueLine(const std::string& line, std::string* key, std::string* value);

// Hands the key and value of every line of the open file to take, in file order;
// over-long lines are traced (with the file's label) and skipped. The number of
// lines read.
int ForEachKeyValueLine(FILE* file, const char* label,
                        const std::function<void(const std::string& key, const std::string& value)>& take);

// The full name of a file of the product item (else null, when the item is not set),
// in the work directory, built once per item and kept for the process.
const char* KeyValueFileName(int item);

// Puts the loaded list in place of the list under its lock, then frees the old one
// with freeList; true when the new list holds an entry.
template <typename Entry>
bool ReplaceList(std::mutex& lock, Entry*& list, Entry* loaded, void (*freeList)(Entry*)) {
  Entry* old = nullptr;
  {
    std::lock_guard<std::mutex> hold(lock);
    old = list;
    list = loaded;
  }
  freeList(old);
  return loaded != nullptr;
}

}  // namespace zevp
