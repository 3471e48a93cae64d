// Reading and rewriting the system's text files.
#pragma once

#include <cstddef>
#include <cstdio>
#include <string>

namespace zev0 {

// The next line of the file without its line feed (and a carriage return before it);
// false at the end of the file. A line of more than maxLength characters is read to
// its end but not kept (*tooLong), so its rest is never taken for a further line.
bool NextTextLine(FILE* file, std::string* line, size_t maxLength, bool* tooLong);

// Ends a new file written in place of another: flushed to the disk, closed, then
// renamed over name, so the old file stays whole until the new one is. False when a
// step failed (errno tells why); the new file is then removed.
bool ReplaceWithNewFile(FILE* file, const char* newName, const char* name);

}  // namespace zev0
