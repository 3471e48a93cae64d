// Filling a table description's columns from its group's attribute text.
#include <cstdio>
#include <cstring>

#include "attribute_enumeration.h"
#include "field_walk.h"
#include "fixed_text.h"
#include "trc1.h"
#include "user_data_info.h"

TRC_UNIT();

namespace {

void setTypeImage(attrInfo_t* column, const char* image) {
  std::memset(column->typeImage, ' ', sizeof column->typeImage);
  std::snprintf(column->typeImage, sizeof column->typeImage, "%s", image);
}

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
      column->colType = userDataInfo::kIntegerColumn;
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
      column->colType = userDataInfo::kStringColumn;
      setTypeImage(column, image);
      return true;
    }
    case 'T':
      column->colType = userDataInfo::kStringColumn;
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

void userDataInfo::fillOriginNode() {
  attrInfo_t& column = columns_[0];
  column = attrInfo_t();
  copyIfFits(column.attrName, "Node_Name");
  copyIfFits(column.colName, "ORIGINNODE");
  column.colType = kStringColumn;
  column.length = kOriginNodeLength;
  setTypeImage(&column, "S32");
}

int userDataInfo::prepareAttributesImages(std::string_view attrText, std::optional<std::string_view> helpBlock) {
  if (!complete_ || columnsFilled_) {
    TRC(TRC_ERROR, "Error: table description <%s/%s> cannot take attributes", applNameRR_, attrGroup_);
    errors_ = 1;
    return errors_;
  }
  columnsFilled_ = true;
  errors_ = 0;
  fillOriginNode();
  int index = 1;
  int offset = kOriginNodeLength;
  FieldWalk records(attrText);
  std::string_view record;
  while (errors_ == 0 && records.next(':', &record)) {
    if (record.empty()) continue;
    // Tested before the column is touched: the records hold maxColumns_ attributes.
    if (index > maxColumns_) {
      TRC(TRC_ERROR, "Error: Maximum attributes %d for Appl<%s> Group<%s>", maxColumns_, applName_, attrGroup_);
      errors_ = 1;
      break;
    }
    if (fillColumn(record, index, &offset, helpBlock) != 0) {
      errors_ = 1;
      break;
    }
    ++index;
  }
  noOfColumns_ = static_cast<int16_t>(index);
  rowSize_ = static_cast<int16_t>(offset);
  if (errors_ == 0) {
    TRC(TRC_DETAIL, "Appl<%s> Group<%s> Table<%s> noOfColumns<%d> Rowsize<%d>", applName_, attrGroup_, tableName_,
        noOfColumns_, rowSize_);
    if (startWaitOnDPthread() != 0) errors_ = 1;
  }
  return errors_;
}

// One "NAME,TYPE,LENGTH" record into column `index` at the running offset. 0, or 1 (traced).
int userDataInfo::fillColumn(std::string_view record, int index, int* offset,
                             std::optional<std::string_view> helpBlock) {
  attrInfo_t& column = columns_[index];
  column = attrInfo_t();
  FieldWalk fields(record);
  std::string_view name, type;
  fields.next(',', &name);
  bool typeGiven = fields.next(',', &type) && !type.empty();
  std::string_view lengthText = fields.rest();
  takeMarks(&name, &column);
  if (name.empty()) {
    TRC(TRC_ERROR, "Error: name was NULL.");
    return 1;
  }
  if (name.size() > attrInfo_t::kMaxAttrName)
    TRC(TRC_ERROR, "Warning: attribute name <%.*s> cut to %d characters", static_cast<int>(name.size()), name.data(),
        static_cast<int>(attrInfo_t::kMaxAttrName));
  copyIfFits(column.attrName, name.substr(0, attrInfo_t::kMaxAttrName));
  if (lengthText.empty()) {
    TRC(TRC_ERROR, "Error: lenStr was NULL.");
    return 1;
  }
  if (!takeLength(lengthText, &column.length)) {
    TRC(TRC_ERROR, "Error: length <%.*s> of attribute <%s> not valid", static_cast<int>(lengthText.size()),
        lengthText.data(), column.attrName);
    return 1;
  }
  setTypeImage(&column, "");
  if (!typeGiven) {
    TRC(TRC_ERROR, "Error: typeStr was NULL.");
    return 1;
  }
  if (!takeType(type.front(), &column)) return 1;
  std::snprintf(column.colName, sizeof column.colName, "DV%d", index);
  if (*offset + column.length > INT16_MAX) {
    TRC(TRC_ERROR, "Error: rows of Appl<%s> Group<%s> longer than %d bytes", applName_, attrGroup_, INT16_MAX);
    return 1;
  }
  column.offset = static_cast<int16_t>(*offset);
  *offset += column.length;
  return takeEnumeration(name, &column, helpBlock);
}

// Gives the column the attribute's enumeration, when its help has one. 0, or 1 when the
// help block is not laid out as it must be.
int userDataInfo::takeEnumeration(std::string_view name, attrInfo_t* column,
                                  std::optional<std::string_view> helpBlock) {
  if (!helpBlock) {
    TRC(TRC_DETAIL, "NOTE: no help defined for application<%s> group<%s>", applName_, attrGroup_);
    return 0;
  }
  switch (findEnumeration(*helpBlock, name, &column->enumStr)) {
    case EnumerationLookup::kFound:
      column->colType = column->colType == kIntegerColumn ? kEnumIntegerColumn : kEnumStringColumn;
      return 0;
    case EnumerationLookup::kNone:
      TRC(TRC_DETAIL, "No ENUM for attribute<%s>", column->attrName);
      return 0;
    case EnumerationLookup::kNotInHelp:
      TRC(TRC_DETAIL, "Attribute<%s> does not appear in Help Text", column->attrName);
      return 0;
    case EnumerationLookup::kFieldMissing:
      TRC(TRC_ERROR, "Error: ENUM parsing.");
      return 1;
    case EnumerationLookup::kUnclosed:
      TRC(TRC_ERROR, "Error: parsing enumeration.");
      return 1;
  }
  return 1;
}
