// The hex and character dump that every trace of a message buffer uses.
#include <cstdio>
#include <cstring>

#include "trc1.h"
#include "zev0/text.h"

TRC_UNIT();

namespace {

constexpr int kBytesPerLine = 16;

char printable(unsigned char byte) { return (byte >= 0x21 && byte <= 0x7E) ? static_cast<char>(byte) : '.'; }

class DumpLine {
 public:
  explicit DumpLine(int offset) : offset_(offset) { clear(); }

  void put(int column, unsigned char byte) {
    static const char digits[] = "0123456789abcdef";
    hex_[column * 3] = digits[byte >> 4];
    hex_[column * 3 + 1] = digits[byte & 0x0F];
    chars_[column] = printable(byte);
  }

  void write() const {
    char text[128];
    std::snprintf(text, sizeof text, "%4x |%-48.48s| |%-16.16s|", static_cast<unsigned>(offset_), hex_, chars_);
    TRC1_Printf(&trcUnit_, __LINE__, "%s\n", text);
  }

  void clear() {
    std::memset(hex_, ' ', sizeof hex_ - 1);
    hex_[sizeof hex_ - 1] = '\0';
    std::memset(chars_, ' ', sizeof chars_ - 1);
    chars_[sizeof chars_ - 1] = '\0';
  }

  void next() {
    offset_ += kBytesPerLine;
    clear();
  }

 private:
  int offset_;
  char hex_[kBytesPerLine * 3 + 1];
  char chars_[kBytesPerLine + 1];
};

}  // namespace

void ZEV0_PrintDump(const void* base, int start, int end) {
  if (base == nullptr || end <= start) return;
  const auto* bytes = static_cast<const unsigned char*>(base);
  DumpLine line(0);
  int column = 0;
  for (int position = start; position < end; ++position) {
    // With a negative start the dump shows where base lies: the bytes before it
    // go out on a line of their own, and the line goes on with them blanked.
    if (position == 0 && start < 0 && column != 0) {
      line.write();
      line.clear();
    }
    line.put(column, bytes[position]);
    if (++column == kBytesPerLine) {
      line.write();
      line.next();
      column = 0;
    }
  }
  if (column != 0) line.write();
}
