#include "zev0/text_files.h"

#include <unistd.h>

#include <cerrno>

namespace zev0 {

bool NextTextLine(FILE* file, std::string* line, size_t maxLength, bool* tooLong) {
  line->clear();
  int c = std::getc(file);
  if (c == EOF) return false;
  size_t length = 0;
  bool carriageReturn = false;
  for (; c != EOF && c != '\n'; c = std::getc(file)) {
    ++length;
    if (line->size() <= maxLength) line->push_back(static_cast<char>(c));
    carriageReturn = c == '\r';
  }
  if (carriageReturn) --length;
  *tooLong = length > maxLength;
  if (!*tooLong && carriageReturn) line->pop_back();
  return true;
}

bool ReplaceWithNewFile(FILE* file, const char* newName, const char* name) {
  bool whole = std::fflush(file) == 0 && fsync(fileno(file)) == 0;
  whole = std::fclose(file) == 0 && whole;
  if (whole && std::rename(newName, name) == 0) return true;
  int error = errno;
  std::remove(newName);
  errno = error;
  return false;
}

}  // namespace zev0
