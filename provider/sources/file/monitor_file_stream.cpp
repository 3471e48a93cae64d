#include "monitor_file_stream.h"

#include <sys/stat.h>

namespace zevp {

MonitorFileStream::MonitorFileStream(FILE* stream) : stream_(stream) {
  off_t offset = ftello(stream);
  position_ = lineStart_ = offset < 0 ? 0 : offset;
}

bool MonitorFileStream::readLine(char* buffer, size_t capacity, FileLine* line) {
  *line = FileLine{};
  lineStart_ = position_;
  size_t kept = 0;
  bool any = false;
  flockfile(stream_);
  for (;;) {
    int c = getc_unlocked(stream_);
    if (c == EOF) break;
    any = true;
    ++position_;
    if (kept + 1 < capacity) {
      buffer[kept++] = static_cast<char>(c);
    } else if (c != '\n') {
      ++line->dropped;
    }
    if (c == '\n') {
      line->ended = true;
      break;
    }
  }
  funlockfile(stream_);
  buffer[kept] = '\0';
  line->length = kept;
  // A read error past some bytes ends the line as the end of the file does.
  clearerr(stream_);
  return any;
}

void MonitorFileStream::unreadLine() { seek(lineStart_); }

void MonitorFileStream::seek(int64_t offset) {
  if (fseeko(stream_, static_cast<off_t>(offset), SEEK_SET) == 0) position_ = lineStart_ = offset;
}

int64_t MonitorFileStream::endPosition() {
  struct stat status;
  if (fstat(fileno(stream_), &status) != 0) return position_;
  return static_cast<int64_t>(status.st_size);
}

}  // namespace zevp
