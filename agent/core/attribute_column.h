// One column of a table description, and the attribute record it is made from.
//
// A group's attribute text holds one record per attribute, "NAME,TYPE,LENGTH", the name
// perhaps marked "@$" (key and atomic), "@" (key) or "$" (atomic). The type letter makes
// the column: A, C, G and S integers ("I2" for length 2, else "I4"), D text ("S" and the
// length), T a time ("T16").
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

// Column types.
constexpr int16_t kIntegerColumn = 1;
constexpr int16_t kStringColumn = 2;
constexpr int16_t kEnumIntegerColumn = 4;
constexpr int16_t kEnumStringColumn = 5;

// Column 0 of every table: the origin node.
constexpr char kOriginNodeColumn[] = "ORIGINNODE";

struct attrInfo_t {
  static constexpr size_t kMaxAttrName = 200;
  static constexpr size_t kTypeImageSize = 64;

  // As the data provider defined it, key and atomic marks taken off.
  char attrName[kMaxAttrName + 1] = {};
  // "ORIGINNODE" for column 0, "DV1", "DV2", ... for the attributes.
  char colName[11] = {};
  // "S<length>", "I2", "I4", "T16" or "???" at the start, blanks after its NUL.
  char typeImage[kTypeImageSize] = {};
  int16_t colType = 0;
  int16_t length = 0;
  int16_t keyed = 0;
  int16_t atomic = 0;
  int16_t offset = 0;
  // Integer columns only.
  int32_t mini = 0;
  int32_t maxi = 0;
  // The enumeration: what stands between "ENUM{" and "}" in the attribute's help; empty
  // when the attribute has none.
  std::string enumStr;
};

// Writes the type image at the start of the column's blank-filled image field.
void setTypeImage(attrInfo_t* column, const char* image);

// Fills a cleared column from one record: name (cut to kMaxAttrName, traced), marks,
// length, type, image and range; the name as the record gives it (marks taken off) into
// *name. True, or false (traced with the record's fault) for a record no column can hold.
bool takeAttributeRecord(std::string_view record, attrInfo_t* column, std::string_view* name);
