#include "rate_attributes.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <cstring>

#include "attribute_copies.h"
#include "attribute_entry.h"
#include "bsv1.h"
#include "integer_values.h"
#include "source_entry.h"
#include "trc1.h"

TRC_UNIT();

namespace {

int64_t now() {
  BSV1_Time time;
  BSV1_GetTime(&time);
  return time.seconds;
}

bool isRate(const AttributeEntry* attribute) {
  char type = attribute->AttrType;
  return type == ZEVP_ATTR_RATE_CHANGE || type == ZEVP_ATTR_RATE_DELTA || type == ZEVP_ATTR_RATE_PERCENT;
}

bool sameValue(const AttributeEntry* one, const AttributeEntry* other) {
  return one->ActualValSize == other->ActualValSize &&
         std::memcmp(one->Value(), other->Value(), one->ActualValSize) == 0;
}

// True when every key attribute of the row has the value of the one at its place
// in the list; *matched counts the keys that did. A shorter list never matches.
bool keysMatch(const AttributeEntry* row, const AttributeEntry* list, int* keys, int* matched) {
  bool all = true;
  for (; row != nullptr; row = row->next, list = list != nullptr ? list->next : nullptr) {
    if (row->AttrKey == 0) continue;
    ++*keys;
    if (list != nullptr && sameValue(row, list))
      ++*matched;
    else
      all = false;
  }
  return all;
}

// A new key list holding the row's key values, with every rate at its first sample.
AttributeEntry* newKeyList(SourceEntry* source) {
  AttributeEntry* list = ZEVP_CreateCopySourceAttrs(source);
  int64_t time = now();
  for (AttributeEntry* attribute = list; attribute != nullptr; attribute = attribute->next) {
    if (!isRate(attribute)) continue;
    attribute->PreviousValue = ZEVP_FIRST_SAMPLE_MARKER;
    attribute->PreviousTime = time;
  }
  return list;
}

// The key list of the row's key, appended to the chain when the key is new.
AttributeEntry* keyListOf(SourceEntry* source) {
  AttributeEntry** link = &source->SavedRows;
  int bestMatched = 0;
  int keys = 0;
  for (; *link != nullptr; link = &(*link)->NextCopiedList) {
    keys = 0;
    int matched = 0;
    if (keysMatch(source->FirstAttribute, *link, &keys, &matched)) return *link;
    bestMatched = std::max(bestMatched, matched);
  }
  if (source->SavedRows != nullptr)
    TRC(TRC_DETAIL, "No matching key attribute list found, key %d matched %d", keys, bestMatched);
  *link = newKeyList(source);
  if (*link == nullptr) TRC(TRC_ERROR, "*****Error: no storage for the key list of source @%p", static_cast<void*>(source));
  return *link;
}

}  // namespace

void LoadRateAttribute(AttributeEntry* attribute, int32_t value) {
  double current = value;
  double previous = attribute->PreviousValue;
  double delta = current - previous;
  if (previous == ZEVP_FIRST_SAMPLE_MARKER) {
    previous = current;
    delta = 0.0;
  }
  double result = 0.0;
  switch (attribute->AttrType) {
    case ZEVP_ATTR_RATE_PERCENT:
      result = previous == 0.0 ? 100.0 : std::trunc(delta / previous * 100.0 + 0.5);
      break;
    case ZEVP_ATTR_RATE_DELTA:
      result = std::trunc(delta);
      break;
    case ZEVP_ATTR_RATE_CHANGE: {
      int64_t time = now();
      int64_t interval = time - attribute->PreviousTime;
      result = std::trunc(delta / static_cast<double>(interval < 1 ? 1 : interval));
      attribute->PreviousTime = time;
      break;
    }
    default:
      TRC(TRC_ERROR, "*****Error: attribute %s of type %c is no rate", attribute->AttrName, attribute->AttrType);
      return;
  }
  // '%' and '#' can leave the 32-bit range (1 then 2000000000 is about 2e11 %).
  zevp::StoreInteger(attribute, zevp::ClampToInt32(result));
  attribute->PreviousValue = current;
}

// The split left each loaded rate's input value as its previous value; that
// value is rated again against the key's own previous value and time.
void ZEVP_ComputeKeyRates(SourceEntry* source) {
  if (source->FirstAttribute == nullptr) return;
  AttributeEntry* list = keyListOf(source);
  if (list == nullptr) return;
  int64_t time = now();
  for (AttributeEntry* row = source->FirstAttribute; row != nullptr && list != nullptr;
       row = row->next, list = list->next) {
    if (!isRate(row) || row->ActualValSize == 0) continue;
    double input = row->PreviousValue;
    if (input < std::numeric_limits<int32_t>::min() || input > std::numeric_limits<int32_t>::max()) continue;
    row->PreviousValue = list->PreviousValue;
    row->PreviousTime = list->PreviousTime;
    list->PreviousValue = input;
    list->PreviousTime = time;
    LoadRateAttribute(row, static_cast<int32_t>(input));
  }
}
