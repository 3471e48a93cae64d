// libFuzzer harness of a group's definition texts as the DCH server hands them over: the
// attribute text (up to the first line feed) cut into records, each made a column, and
// the rest as the group's help block, where each attribute's enumeration is looked up;
// the same attribute text as a checksum block. Whatever the bytes, every field stays
// within its record and every column within its bounds.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

#include "attribute_column.h"
#include "attribute_enumeration.h"
#include "checksum_info.h"
#include "field_walk.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string input(reinterpret_cast<const char*>(data), size);
  std::string_view text(input);
  size_t lineEnd = text.find('\n');
  std::string_view attrText = text.substr(0, lineEnd);
  std::string_view helpBlock = lineEnd == std::string_view::npos ? std::string_view() : text.substr(lineEnd + 1);

  FieldWalk records(attrText);
  std::string_view record;
  while (records.next(':', &record)) {
    if (record.empty()) continue;  // passed over, as the description does
    attrInfo_t column;
    std::string_view name;
    bool taken = takeAttributeRecord(record, &column, &name);
    if (name.data() < record.data() || name.data() + name.size() > record.data() + record.size()) __builtin_trap();
    if (std::memchr(column.attrName, '\0', sizeof column.attrName) == nullptr) __builtin_trap();
    if (std::memchr(column.typeImage, '\0', sizeof column.typeImage) == nullptr) __builtin_trap();
    if (taken && column.length < 0) __builtin_trap();
    std::string enumeration;
    if (findEnumeration(helpBlock, name, &enumeration) == EnumerationLookup::kFound &&
        (enumeration.empty() || enumeration.size() >= kMaxEnumeration))
      __builtin_trap();
  }

  checksumInfo current;
  current.sampleType = 'P';
  takeAttributeBlock(&current, attrText);
  if (current.length < 0 || static_cast<size_t>(current.length) > current.attrInfo.size()) __builtin_trap();
  return 0;
}
