#include "derived_values.h"

#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>

#include "attribute_entry.h"
#include "derived_attributes.h"
#include "engine_routines.h"
#include "source_entry.h"
#include "trc1.h"

TRC_UNIT();

namespace {

template <typename Number>
Number clampTo(double value) {
  if (value >= static_cast<double>(std::numeric_limits<Number>::max())) return std::numeric_limits<Number>::max();
  if (value <= static_cast<double>(std::numeric_limits<Number>::min())) return std::numeric_limits<Number>::min();
  return static_cast<Number>(value);
}

// A 4-byte value as a 32-bit number, anything shorter as a 16-bit one.
int32_t operandValue(const AttributeEntry* operand) {
  if (operand->ActualValSize >= 4) {
    int32_t value;
    std::memcpy(&value, operand->Value(), sizeof value);
    return value;
  }
  if (operand->ActualValSize >= 2) {
    int16_t value;
    std::memcpy(&value, operand->Value(), sizeof value);
    return value;
  }
  return static_cast<signed char>(operand->Value()[0]);
}

// The result in the attribute's own size, so that a 2-byte attribute holds the
// value (within 16 bits) rather than the high half of a 32-bit one.
void storeNumber(AttributeEntry* attribute, int32_t result) {
  if (attribute->MaxValSize >= 4) {
    std::memcpy(attribute->Value(), &result, sizeof result);
    attribute->ActualValSize = 4;
  } else if (attribute->MaxValSize >= 2) {
    int16_t shortResult = clampTo<int16_t>(result);
    std::memcpy(attribute->Value(), &shortResult, sizeof shortResult);
    attribute->ActualValSize = 2;
  } else {
    TRC(TRC_ERROR, "*** attribute %s of %d bytes cannot hold a number", attribute->AttrName, attribute->MaxValSize);
    attribute->ActualValSize = 0;
  }
}

void storeReal(AttributeEntry* attribute, double exact) {
  int length = std::snprintf(attribute->Value(), static_cast<size_t>(attribute->MaxValSize) + 1, "%.3f", exact);
  attribute->ActualValSize = static_cast<uint16_t>(std::min<int>(std::max(length, 0), attribute->MaxValSize));
}

void computeNumeric(AttributeEntry* attribute, const AttributeEntry* first, const AttributeEntry* second) {
  int32_t a = operandValue(first);
  int32_t b = operandValue(second);
  int32_t result = 0;
  double exact = 0.0;
  if (!ZEVP_ComputeFormula(attribute->AttrOperator, a, b, &result, &exact))
    TRC(TRC_ERROR, "*****Invalid Operation Type %c", attribute->AttrOperator);
  TRC(TRC_DETAIL, "Attribute %s formula calculated %d %d result %d %.3f", attribute->AttrName, a, b, result, exact);
  if (attribute->Real != 0)
    storeReal(attribute, exact);
  else
    storeNumber(attribute, result);
}

bool holdsValue(const AttributeEntry* attribute) { return attribute != nullptr && attribute->ActualValSize > 0; }

void computeAttribute(AttributeEntry* attribute) {
  const AttributeEntry* first = ZEVP_OperandAttribute(attribute->AttrOper1);
  const AttributeEntry* second = attribute->AttrOper2;
  if (first == nullptr) {  // a derived function of the second operand
    if (holdsValue(second)) zevp::Routines().performDeriveAttrFunction(attribute);
    return;
  }
  if (!holdsValue(first) || !holdsValue(second)) return;
  if (first->AttrType == ZEVP_ATTR_DISPLAY && second->AttrType == ZEVP_ATTR_DISPLAY)
    DoSpecialDerivedAttribute(attribute);  // the two texts joined
  else
    computeNumeric(attribute, first, second);
}

}  // namespace

bool ZEVP_ComputeFormula(char operatorLetter, int32_t first, int32_t second, int32_t* result, double* exact) {
  double a = first;
  double b = second;
  switch (operatorLetter) {
    case '+':
      *exact = a + b;
      break;
    case '-':
      *exact = a - b;
      break;
    case '*':
      *exact = a * b;
      break;
    case '/':
      *exact = second == 0 ? 0.0 : a / b;
      break;
    case '%': {
      *exact = second == 0 ? 0.0 : a * 100.0 / b;
      double whole = std::trunc(*exact);
      *result = clampTo<int32_t>(*exact - whole >= 0.5 ? whole + 1 : whole);
      return true;
    }
    default:
      *exact = 0.0;
      *result = 0;
      return false;
  }
  *result = clampTo<int32_t>(std::trunc(*exact));
  return true;
}

void ZEVP_ComputeDerivedValues(SourceEntry* source) {
  for (AttributeEntry* attribute = source->FirstAttribute; attribute != nullptr; attribute = attribute->next) {
    if (attribute->AttrOper1 == nullptr || attribute->AttrOper2 == nullptr) continue;
    // The summary output gives its keys and totals the values of the summary row.
    if (source->SummaryDelivering != 0 && attribute->AttrSortKey != 0) continue;
    computeAttribute(attribute);
  }
}
