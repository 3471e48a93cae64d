#include "batch_record.h"

#include <cstdio>
#include <cstring>

#include "application_entry.h"
#include "attribute_entry.h"
#include "source_entry.h"
#include "summary_array.h"
#include "table_entry.h"
#include "trc1.h"
#include "zev0/timestamp.h"

TRC_UNIT();

namespace {

// The types whose values are text. A numeric text (N) and a record (R) are kept as
// the text they were read as, so they are written as text too.
bool isText(char type) {
  return type == ZEVP_ATTR_DISPLAY || type == ZEVP_ATTR_TIME || type == ZEVP_ATTR_OBJECT || type == ZEVP_ATTR_LAST ||
         type == ZEVP_ATTR_NUMERIC_TEXT || type == ZEVP_ATTR_RECORD;
}

bool named(const AttributeEntry* attribute, const char* name) { return std::strcmp(attribute->AttrName, name) == 0; }

bool holdsTimeStamp(const AttributeEntry* attribute) {
  return attribute != nullptr && (attribute->AttrType == ZEVP_ATTR_DISPLAY || attribute->AttrType == ZEVP_ATTR_TIME) &&
         attribute->ActualValSize == ZEV0_PLOVEN_TIME_LENGTH;
}

AttributeEntry* FirstOfRow(const SourceEntry* source, bool summaryRow) {
  return summaryRow ? zevp::FirstInSummaryOrder(source) : source->FirstAttribute;
}

AttributeEntry* NextOfRow(const SourceEntry* source, const AttributeEntry* attribute, bool summaryRow) {
  return summaryRow ? zevp::NextInSummaryOrder(source, attribute) : attribute->next;
}

// The attribute that holds the row's time stamp, or null. A summary row has its
// keys first (a positive sort key), then its interval, unit, occurrences and the
// stamp of the interval.
const AttributeEntry* TimeStampOf(const SourceEntry* source, bool summaryRow) {
  const AttributeEntry* attribute = FirstOfRow(source, summaryRow);
  if (summaryRow) {
    while (attribute != nullptr && attribute->AttrSortKey > 0) attribute = NextOfRow(source, attribute, true);
    for (int place = 0; place < 3 && attribute != nullptr; ++place) attribute = NextOfRow(source, attribute, true);
    return holdsTimeStamp(attribute) ? attribute : nullptr;
  }
  for (; attribute != nullptr; attribute = attribute->next)
    if (named(attribute, "_LocalTimeStamp") || named(attribute, "LocalTimeStamp"))
      return holdsTimeStamp(attribute) ? attribute : nullptr;
  return nullptr;
}

std::string CurrentTimeStamp() {
  char stamp[ZEV0_PLOVEN_TIME_BLOCK_SIZE] = {};
  ZEV0_GetPlovenTime(stamp);
  return stamp;
}

template <typename Number>
Number NumberIn(const AttributeEntry* attribute) {
  Number value;
  std::memcpy(&value, attribute->Value(), sizeof value);
  return value;
}

// The attribute's field; nothing for a number of a length other than 2 or 4.
void AppendField(std::string& record, const SourceEntry* source, const AttributeEntry* attribute) {
  bool gauge = attribute->AttrType == ZEVP_ATTR_GAUGE;
  size_t length = attribute->ActualValSize;
  if (length == 0) {
    if (named(attribute, "_DataSourceName")) {
      if (source->pSourceNodeName != nullptr) record += source->pSourceNodeName;
      record += ',';
    } else if (named(attribute, "_LocalTimeStamp")) {
      record += CurrentTimeStamp() + ',';
    } else {
      record += isText(attribute->AttrType) ? " ," : "0,";
    }
    return;
  }
  if (isText(attribute->AttrType)) {
    while (length > 0 && attribute->Value()[length - 1] == ' ') --length;
    record.append(attribute->Value(), length);
    record += ',';
    return;
  }
  char number[16];
  if (length == 4 && gauge)
    std::snprintf(number, sizeof number, "%d,", NumberIn<int32_t>(attribute));
  else if (length == 4)
    std::snprintf(number, sizeof number, "%u,", NumberIn<uint32_t>(attribute));
  else if (length == 2 && gauge)
    std::snprintf(number, sizeof number, "%d,", NumberIn<int16_t>(attribute));
  else if (length == 2)
    std::snprintf(number, sizeof number, "%u,", NumberIn<uint16_t>(attribute));
  else
    return;
  record += number;
}

}  // namespace

namespace zevp {

std::string FormatBatchRecord(SourceEntry* source, bool summaryRow) {
  const TableEntry* table = source->Table;
  const ApplicationEntry* application = table->Application;
  std::string record;
  if (const AttributeEntry* stamp = TimeStampOf(source, summaryRow)) {
    record.assign(stamp->Value(), ZEV0_PLOVEN_TIME_LENGTH);
  } else {
    record = CurrentTimeStamp();
    TRC(TRC_ERROR, "-----Error: expected timestamp attribute not present. Current timestamp being used");
  }
  record += ',';
  record += application->ApplName;
  record += ',';
  record += table->TableName;
  record += ',';
  bool keepAgentName = application->SNMPapplication != 0;
  for (AttributeEntry* attribute = FirstOfRow(source, summaryRow); attribute != nullptr;
       attribute = NextOfRow(source, attribute, summaryRow)) {
    if (attribute->AttrType == ZEVP_ATTR_SKIP || attribute->AttrAccessible == 0) continue;
    AppendField(record, source, attribute);
    if (!(keepAgentName && named(attribute, "Agent_Name"))) attribute->ActualValSize = 0;
  }
  record += '\n';
  return record;
}

}  // namespace zevp
