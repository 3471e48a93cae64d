// A monitored file opened for one pass: read line by line into bounded buffers,
// with the position of every line known without asking the system. Offsets are
// 64-bit: monitored files may pass 2 GiB.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <cstdio>

namespace zevp {

// What one physical line of the file gave.
struct FileLine {
  size_t length = 0;   // characters kept, the line feed included when it fit
  bool ended = false;  // it ended with a line feed (else at the end of the file)
  size_t dropped = 0;  // characters of a line longer than the buffer, read and dropped
};

class MonitorFileStream {
 public:
  // The stream stays the caller's; reading starts at its current position.
  explicit MonitorFileStream(FILE* stream);

  // Reads the next line into buffer (capacity bytes, at least 2): at most
  // capacity - 1 characters and a terminating zero; the rest of a longer line is
  // consumed. False at the end of the file, when nothing was read.
  bool readLine(char* buffer, size_t capacity, FileLine* line);

  // Goes back to the start of the line last read, so that the next pass reads it
  // again (a last line whose writer has not ended it yet).
  void unreadLine();

  // The offset of the next byte to read, and of the line last read.
  int64_t position() const { return position_; }
  int64_t lineStart() const { return lineStart_; }
  void seek(int64_t offset);
  // The file's length now; the position is kept.
  int64_t endPosition();

 private:
  FILE* stream_;
  int64_t position_;
  int64_t lineStart_;
};

}  // namespace zevp
