// Filling a table description's columns from its group's attribute text.
#include <cstdio>

#include "attribute_column.h"
#include "attribute_enumeration.h"
#include "field_walk.h"
#include "fixed_text.h"
#include "trc1.h"
#include "user_data_info.h"

TRC_UNIT();

void userDataInfo::fillOriginNode() {
  attrInfo_t& column = columns_.makeNext();
  copyIfFits(column.attrName, "Node_Name");
  copyIfFits(column.colName, kOriginNodeColumn);
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
  attrInfo_t& column = columns_.makeNext();
  std::string_view name;
  if (!takeAttributeRecord(record, &column, &name)) return 1;
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
