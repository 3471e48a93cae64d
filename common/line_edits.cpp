// Edits of a line in place and the bounded copy up to a terminator.
#include <cstring>

#include "trc1.h"
#include "zev0/text.h"

TRC_UNIT();

namespace {

constexpr int kTerminateBufferSize = 1024;
char terminateBuffer[kTerminateBufferSize];

// A line end among the last two characters ends the line; further in it is a blank.
void removeCharacter(char* line, size_t length, char* found) {
  if (found == nullptr) return;
  *found = (static_cast<size_t>(found - line) + 2 >= length) ? '\0' : ' ';
}

}  // namespace

void ZEV0_RemoveCRandLF(char* line, char mode) {
  if (line == nullptr) return;
  size_t length = std::strlen(line);
  // Both are located before either is changed: a NUL written for one must not hide the other.
  char* carriageReturn = (mode == 'R' || mode == 'B') ? std::strchr(line, '\r') : nullptr;
  char* lineFeed = (mode == 'F' || mode == 'B') ? std::strchr(line, '\n') : nullptr;
  removeCharacter(line, length, carriageReturn);
  if (carriageReturn != nullptr) TRC(TRC_UNIT_DETAIL, "CR character removed from input buffer <%s>", line);
  removeCharacter(line, length, lineFeed);
  if (lineFeed != nullptr) TRC(TRC_UNIT_DETAIL, "LineFeed character removed from input buffer <%s>", line);
}

void ZEV0_TruncateFromLeft(char* string, int length, int maxLength) {
  if (string == nullptr || maxLength < 0 || length <= maxLength) return;
  std::memmove(string, string + (length - maxLength), static_cast<size_t>(maxLength));
  string[maxLength] = '\0';
}

char* ZEV0_terminateString(const char* buffer, char terminator, int maxLength) {
  if (buffer == nullptr) return nullptr;
  size_t limit = maxLength > 0 ? static_cast<size_t>(maxLength) : 0;
  // A NUL ends the text as well: the result reads the same, and a short text
  // with a generous limit is not read past its end.
  size_t length = 0;
  while (length < limit && buffer[length] != terminator && buffer[length] != '\0') ++length;
  if (length >= sizeof terminateBuffer) {
    TRC(TRC_ERROR, "*****Error: Text of length %d does not fit the %d-byte buffer", static_cast<int>(length),
        kTerminateBufferSize);
    return nullptr;
  }
  std::memcpy(terminateBuffer, buffer, length);
  terminateBuffer[length] = '\0';
  return terminateBuffer;
}
