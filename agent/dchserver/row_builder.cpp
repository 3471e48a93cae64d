#include "row_builder.h"

#include <cstring>
#include <vector>

#include "dch_messages.h"
#include "trc1.h"

TRC_UNIT();

namespace {

enum class FieldContent { Value, Empty, Zeros, NoDefault };

// Switches, texts and times always have a holder; only numbers registered with a
// length other than 2 or 4 have none and go as zeros of that length.
FieldContent contentOf(const attrInfoEntry& attribute, bool keyData) {
  if (attribute.value().hasHolder() && !attribute.valueIgnore()) return FieldContent::Value;
  if (keyData) return FieldContent::Empty;
  char type = attribute.type();
  return type == 'A' || type == 'C' || type == 'G' ? FieldContent::Zeros : FieldContent::NoDefault;
}

uint32_t lengthOf(const attrInfoEntry& attribute, FieldContent content) {
  switch (content) {
    case FieldContent::Value:
      return static_cast<uint32_t>(attribute.value().dataLength());
    case FieldContent::Zeros:
      return static_cast<uint32_t>(attribute.attrLength());
    case FieldContent::Empty:
    case FieldContent::NoDefault:
      break;
  }
  return 0;
}

bool addField(DCHmessageBuilder& row, const attrInfoEntry& attribute, FieldContent content) {
  uint32_t length = lengthOf(attribute, content);
  if (content == FieldContent::Value) return DCH_AddRowValue(row, attribute.value().bytes(), length);
  std::vector<char> zeros(length, '\0');
  return DCH_AddRowValue(row, zeros.data(), length);
}

}  // namespace

int32_t RowBuilder::size(const char* sourceName) const {
  int64_t size = DCH_MESSAGE_HEADER_SIZE + DCH_FIELD_HEADER_SIZE + sizeof(uint16_t);
  if (sourceName != nullptr) size += DCH_FIELD_HEADER_SIZE + std::strlen(sourceName);
  RingIterator<attrInfoEntry> walk(attributes_);
  while (const attrInfoEntry* attribute = walk.Next()) {
    FieldContent content = contentOf(*attribute, keyData_);
    if (content == FieldContent::NoDefault) {
      TRC(TRC_ERROR, "Error: Don't know how to handle attrType of %c", attribute->type());
      return -1;
    }
    size += DCH_FIELD_HEADER_SIZE + lengthOf(*attribute, content);
  }
  return size > INT32_MAX ? -1 : static_cast<int32_t>(size);
}

uint32_t RowBuilder::write(char* buffer, size_t capacity, const char* sourceName, uint16_t controlField) const {
  DCHmessageBuilder row(buffer, capacity);
  if (!DCH_AddRowHead(row, sourceName, controlField)) return 0;
  RingIterator<attrInfoEntry> walk(attributes_);
  while (const attrInfoEntry* attribute = walk.Next()) {
    FieldContent content = contentOf(*attribute, keyData_);
    if (content == FieldContent::NoDefault || !addField(row, *attribute, content)) return 0;
  }
  return row.length();
}
