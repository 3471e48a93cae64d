#include "filter_check.h"

#include <algorithm>
#include <cstring>
#include <string>

#include "attribute_entry.h"
#include "bsv1.h"
#include "integer_values.h"
#include "source_entry.h"
#include "trc1.h"

TRC_UNIT();

namespace {

// Rows that report status or delete rows carry these control values.
bool isStatusRow(int16_t sequence) { return sequence == 1 || sequence == 16 || sequence == 221 || sequence == 255; }

const char* outcome(bool holds) { return holds ? "passed" : "failed"; }

// The loaded text from the term's offset on; empty when the offset is past it.
std::string textFrom(const AttributeEntry* attribute, int32_t offset) {
  std::string value(attribute->Value(), attribute->ActualValSize);
  if (offset < 0 || static_cast<size_t>(offset) >= value.size()) return std::string();
  return value.substr(static_cast<size_t>(offset));
}

bool textTermHolds(const AttributeEntry* attribute, const AttributeFilterTerm& term, int number) {
  const char* compare = term.CompareString != nullptr ? term.CompareString : "";
  std::string text = textFrom(attribute, term.Offset);
  bool scan = term.Kind == ZEVP_FILTER_SCAN;
  // A match compares the whole compare text, never past the loaded value.
  size_t length = std::strlen(compare);
  bool holds = scan ? text.find(compare) != std::string::npos
                    : text.size() >= length && text.compare(0, length, compare) == 0;
  TRC(TRC_DETAIL, "Data <%s> %s %s filter %d: %s", attribute->Value(), outcome(holds), scan ? "Scan" : "Match", number,
      compare);
  return holds;
}

bool numberTermHolds(const AttributeEntry* attribute, const AttributeFilterTerm& term, int number) {
  int32_t value = zevp::IntegerValue(attribute);
  int32_t limit = term.CompareNumber;
  bool holds = false;
  const char* name = "";
  switch (term.Kind) {
    case ZEVP_FILTER_EQUAL: holds = value == limit, name = "EQ"; break;
    case ZEVP_FILTER_GREATER: holds = value > limit, name = "GT"; break;
    case ZEVP_FILTER_LESS: holds = value < limit, name = "LT"; break;
    case ZEVP_FILTER_GREATER_EQUAL: holds = value >= limit, name = "GE"; break;
    case ZEVP_FILTER_LESS_EQUAL: holds = value <= limit, name = "LE"; break;
    default: break;
  }
  TRC(TRC_DETAIL, "Value %d %s %s filter %d", value, outcome(holds), name, number);
  return holds;
}

bool termHolds(const AttributeEntry* attribute, const AttributeFilterTerm& term, int number) {
  switch (term.Kind) {
    case ZEVP_FILTER_SCAN:
    case ZEVP_FILTER_MATCH:
      return textTermHolds(attribute, term, number);
    case ZEVP_FILTER_EQUAL:
    case ZEVP_FILTER_GREATER:
    case ZEVP_FILTER_LESS:
    case ZEVP_FILTER_GREATER_EQUAL:
    case ZEVP_FILTER_LESS_EQUAL:
      return numberTermHolds(attribute, term, number);
    default:
      TRC(TRC_ERROR, "*****Invalid filter %d type %c", number, term.Kind);
      return false;
  }
}

bool attributePasses(const AttributeEntry* attribute) {
  int terms = std::min(attribute->FilterTermCount, ZEVP_FILTER_TERMS_MAX);
  int holding = 0;
  for (int i = 0; i < terms; ++i)
    if (termHolds(attribute, attribute->FilterTerms[i], i + 1)) ++holding;
  bool all = attribute->FilterLogic == '&';
  if (attribute->FilterAccept != 0) {
    if (!all && holding == 0) {
      TRC(TRC_DETAIL, "1 Pass set to NO");
      return false;
    }
    if (all && holding < terms) {
      TRC(TRC_DETAIL, "2 Pass set to NO");
      return false;
    }
    return true;
  }
  // A reject filter with "&" rejects the rows for which all its terms hold.
  if (all ? holding == terms : holding > 0) {
    TRC(TRC_DETAIL, "3 Pass set to NO");
    return false;
  }
  return true;
}

}  // namespace

int ZEVP_CheckAttributesPassFilters(SourceEntry* source) {
  if (isStatusRow(source->DataSequence)) {
    TRC(TRC_DETAIL, "Data passed, SEptr->DataSequence: %d", source->DataSequence);
    return 1;
  }
  // The DCH client may be sending the row meanwhile (and marking SNMP values sent).
  BSV1_GetLock(&source->AttributeLock);
  bool passed = true;
  for (const AttributeEntry* attribute = source->FirstAttribute; attribute != nullptr && passed;
       attribute = attribute->next)
    if (attribute->FilterTermCount > 0) passed = attributePasses(attribute);
  BSV1_ReleaseLock(&source->AttributeLock);
  return passed ? 1 : 0;
}
