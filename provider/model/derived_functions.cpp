#include "derived_functions.h"

#include <strings.h>

#include "attribute_entry.h"

const char* const DerivedFunctionName[ZEVP_DERIVED_FUNCTION_COUNT] = {
    "PLOVENTIMESTAMP", "IPADDRESSTONAME", "NETWARETIMETOTEXT", "UTCTOLOCALTIME", "UTCTOGMT",
};

int ZEVP_CheckDeriveFunctionSpec(const char* name, const void** function) {
  if (name == nullptr) return 0;
  for (int i = 0; i < ZEVP_DERIVED_FUNCTION_COUNT; ++i) {
    if (strcasecmp(name, DerivedFunctionName[i]) == 0) {
      if (function != nullptr) *function = &DerivedFunctionName[i];
      return 1;
    }
  }
  return 0;
}

int ZEVP_DeriveFunctionIndex(const void* operand) {
  for (int i = 0; i < ZEVP_DERIVED_FUNCTION_COUNT; ++i)
    if (operand == &DerivedFunctionName[i]) return i;
  return -1;
}

int ZEVP_IsDeriveFunction(const void* operand) { return ZEVP_DeriveFunctionIndex(operand) >= 0 ? 1 : 0; }

AttributeEntry* ZEVP_OperandAttribute(const void* operand) {
  if (operand == nullptr || ZEVP_IsDeriveFunction(operand)) return nullptr;
  return static_cast<AttributeEntry*>(const_cast<void*>(operand));
}
