#include "attribute_column.h"

#include <cstdio>
#include <cstring>

#include "field_walk.h"
#include "fixed_text.h"
#include "trc1.h"

TRC_UNIT();

namespace {

// A length is a decimal number that a row offset can hold.
bool takeLength(std::string_view text, int16_t* length) {
  if (text.empty() || text.size() > 5 || text.find_first_not_of("0123456789") != std::string_view::npos) return false;
  int value = 0;
  for (char digit : text) value = value * 10 + (digit - '0');
  if (value > INT16_MAX) return false;
  *length = static_cast<int16_t>(value);
  return true;
}

// The key and atomic marks in front of a name, taken off.
void takeMarks(std::string_view* name, attrInfo_t* column) {
  if (name->substr(0, 2) == "@$") {
    column->keyed = column->atomic = 1;
    name->remove_prefix(2);
    TRC(TRC_DETAIL, "Found both the Key and Atomic specifications for attribute <%.*s>",
        static_cast<int>(name->size()), name->data());
  } else if (name->substr(0, 1) == "@") {
    column->keyed = 1;
    name->remove_prefix(1);
    TRC(TRC_DETAIL, "Found the Key specification for attribute <%.*s>", static_cast<int>(name->size()), name->data());
  } else if (name->substr(0, 1) == "$") {
    column->atomic = 1;
    name->remove_prefix(1);
    TRC(TRC_DETAIL, "Found the Atomic specification for attribute <%.*s>", static_cast<int>(name->size()),
        name->data());
  }
}

// The column's type from its type letter; false for a letter no column has.
bool takeType(char letter, attrInfo_t* column) {
  switch (letter) {
    case 'A':
    case 'C':
    case 'G':
    case 'S':
      column->colType = kIntegerColumn;
      if (column->length == 2) {
        setTypeImage(column, "I2");
        column->mini = INT16_MIN;
        column->maxi = INT16_MAX;
      } else {
        setTypeImage(column, "I4");
        column->mini = INT32_MIN;
        column->maxi = INT32_MAX;
      }
      return true;
    case 'D': {
      char image[16];
      std::snprintf(image, sizeof image, "S%d", column->length);
      column->colType = kStringColumn;
      setTypeImage(column, image);
      return true;
    }
    case 'T':
      column->colType = kStringColumn;
      setTypeImage(column, "T16");
      return true;
    case 'O':
      setTypeImage(column, "???");
      break;
    default:
      break;
  }
  TRC(TRC_ERROR, "Error: attribute type of [%c] not recognized.", letter);
  return false;
}

}  // namespace

void setTypeImage(attrInfo_t* column, const char* image) {
  std::memset(column->typeImage, ' ', sizeof column->typeImage);
  std::snprintf(column->typeImage, sizeof column->typeImage, "%s", image);
}

bool takeAttributeRecord(std::string_view record, attrInfo_t* column, std::string_view* name) {
  FieldWalk fields(record);
  std::string_view type;
  fields.next(',', name);
  bool typeGiven = fields.next(',', &type) && !type.empty();
  std::string_view lengthText = fields.rest();
  takeMarks(name, column);
  if (name->empty()) {
    TRC(TRC_ERROR, "Error: name was NULL.");
    return false;
  }
  if (name->size() > attrInfo_t::kMaxAttrName)
    TRC(TRC_ERROR, "Warning: attribute name <%.*s> cut to %d characters", static_cast<int>(name->size()),
        name->data(), static_cast<int>(attrInfo_t::kMaxAttrName));
  copyIfFits(column->attrName, name->substr(0, attrInfo_t::kMaxAttrName));
  if (lengthText.empty()) {
    TRC(TRC_ERROR, "Error: lenStr was NULL.");
    return false;
  }
  if (!takeLength(lengthText, &column->length)) {
    TRC(TRC_ERROR, "Error: length <%.*s> of attribute <%s> not valid", static_cast<int>(lengthText.size()),
        lengthText.data(), column->attrName);
    return false;
  }
  setTypeImage(column, "");
  if (!typeGiven) {
    TRC(TRC_ERROR, "Error: typeStr was NULL.");
    return false;
  }
  return takeType(type.front(), column);
}
