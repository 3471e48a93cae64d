#include "derived_attributes.h"

#include <algorithm>
#include <cstring>
#include <string>

#include "attribute_entry.h"
#include "derived_function_values.h"
#include "derived_functions.h"
#include "trc1.h"

TRC_UNIT();

namespace {

// Replaces the value by the text, cut to the attribute's size.
void storeResult(AttributeEntry* attribute, const char* text, size_t length) {
  size_t kept = std::min<size_t>(length, attribute->MaxValSize);
  std::memset(attribute->Value(), 0, static_cast<size_t>(attribute->MaxValSize) + 1);
  std::memcpy(attribute->Value(), text, kept);
  attribute->ActualValSize = static_cast<uint16_t>(kept);
}

void storeResult(AttributeEntry* attribute, const std::string& text) { storeResult(attribute, text.data(), text.size()); }

// The operand's loaded value as text, without its leading blanks.
std::string operandText(const AttributeEntry* operand) {
  std::string text(operand->Value(), operand->ActualValSize);
  text = text.substr(0, text.find('\0'));
  size_t start = text.find_first_not_of(' ');
  return start == std::string::npos ? std::string() : text.substr(start);
}

void joinDisplayOperands(AttributeEntry* attribute, const AttributeEntry* first, const AttributeEntry* second) {
  std::string joined(first->Value(), first->ActualValSize);
  joined.append(second->Value(), second->ActualValSize);
  storeResult(attribute, joined);
  TRC(TRC_DETAIL, "Attribute %s derived string size %d {%s}", attribute->AttrName, attribute->ActualValSize,
      attribute->Value());
}

}  // namespace

void DoSpecialDerivedAttribute(AttributeEntry* attribute) {
  if (attribute->AttrOper1 == nullptr || attribute->AttrOper2 == nullptr) return;
  if (ZEVP_IsDeriveFunction(attribute->AttrOper1)) {
    ZEVP_PerformDeriveAttrFunction(attribute);
    return;
  }
  const AttributeEntry* first = ZEVP_OperandAttribute(attribute->AttrOper1);
  const AttributeEntry* second = attribute->AttrOper2;
  if (first->AttrType == ZEVP_ATTR_DISPLAY && second->AttrType == ZEVP_ATTR_DISPLAY)
    joinDisplayOperands(attribute, first, second);
}

void ZEVP_PerformDeriveAttrFunction(AttributeEntry* attribute) {
  const AttributeEntry* operand = attribute->AttrOper2;
  if (operand == nullptr || operand->ActualValSize == 0) return;
  int function = ZEVP_DeriveFunctionIndex(attribute->AttrOper1);
  switch (function) {
    case ZEVP_PLOVENTIMESTAMP:
      storeResult(attribute, zevp::PlovenTimeStampOf(operandText(operand)));
      break;
    case ZEVP_IPADDRESSTONAME:
      storeResult(attribute, zevp::AddressToName(operandText(operand)));
      break;
    case ZEVP_NETWARETIMETOTEXT:
      storeResult(attribute, zevp::NetWareTimeText(operandText(operand)));
      break;
    case ZEVP_UTCTOLOCALTIME:
    case ZEVP_UTCTOGMT: {
      // The integer as it is stored: a blank byte is part of its value.
      std::string stamp;
      if (zevp::UTCTimeStamp(operand->Value(), operand->ActualValSize, function == ZEVP_UTCTOLOCALTIME, &stamp))
        storeResult(attribute, stamp);
      break;
    }
    default:
      TRC(TRC_ERROR, "*****Error: Unknown derived attribute function value: %d", function);
      break;
  }
}
