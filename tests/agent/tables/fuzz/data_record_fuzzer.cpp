// libFuzzer harness of a data record as a table's data thread takes it: its head, its
// source name and the row its values fill. The row is allocated at its size, so a value
// written past it, or past its column into the next, is caught.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "dch_message_parser.h"
#include "record_row.h"
#include "record_source.h"
#include "zev0/typed_field.h"

namespace {

// The origin node, then columns of 4, 6 and 2 bytes.
constexpr int kRowSize = 44;

const rowLayout& Layout() {
  static const rowLayout layout{'S', {{0, 32, 2, false}, {32, 4, 1, true}, {36, 6, 2, false}, {42, 2, 2, false}}};
  return layout;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // A buffer as the thread's: never empty, whatever the record holds.
  std::vector<char> record(size + 1);
  if (size > 0) std::memcpy(record.data(), data, size);
  DataFieldReader fields(record.data(), size);
  DCHrowHead head;
  if (!DCH_ParseRowHead(fields, &head)) return 0;
  char sourceName[kRecordSourceNameSize];
  recordSourceName(head.sourceName.data, head.sourceName.length, sourceName);
  if (std::strlen(sourceName) >= kRecordSourceNameSize) __builtin_trap();
  recordRow filled = fillRecordRow(fields, Layout(), kRowSize, "FUZZ");
  if (filled.row != nullptr && filled.row[0] != ' ') __builtin_trap();  // the origin node is not a value's
  return 0;
}
