// The identity of a monitored file: a 16-bit check sum of its first line, by
// which a file server notices that its file was switched, re-created or copied
// over between two passes.
#pragma once

#include <cstddef>
#include <cstdint>

struct FileSpecControlBlock;
struct IOEntry;

namespace zevp {

struct FileIdentity {
  uint16_t checkSum = 0;  // 0: no identity (the file did not open or is empty)
  size_t length = 0;      // characters of the first line taken
  bool ended = false;     // the first line had its line end
  bool opened = false;    // the file opened (an empty one has no check sum)
};

// The identity of the file: its first line, at most recordLength - 1 characters.
FileIdentity ReadFileIdentity(const char* fileName, int32_t recordLength);

// Whether the file is still the one of the identity. A first line that was still
// being written when the identity was taken is compared over the part that was
// there; once it has its end, the identity is taken again from the whole line. A
// file that had no identity (it was empty) and has one now is the same file,
// written since.
bool IsSameFile(FileIdentity* identity, const char* fileName, int32_t recordLength);

}  // namespace zevp

// The identity check sum of the block's current file, read with the entry's record length.
uint16_t ZEVP_FormatFileIDcheckSum(const IOEntry* entry, const FileSpecControlBlock* spec);
