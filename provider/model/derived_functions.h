// The derived functions a formula attribute can apply to another attribute. A
// derived-function attribute keeps its function's entry of DerivedFunctionName
// as its first operand.
#pragma once

constexpr int ZEVP_DERIVED_FUNCTION_COUNT = 5;

enum ZEVP_DerivedFunction : int {
  ZEVP_PLOVENTIMESTAMP = 0,
  ZEVP_IPADDRESSTONAME = 1,
  ZEVP_NETWARETIMETOTEXT = 2,
  ZEVP_UTCTOLOCALTIME = 3,
  ZEVP_UTCTOGMT = 4,
};

extern const char* const DerivedFunctionName[ZEVP_DERIVED_FUNCTION_COUNT];

// 1, with the function's entry of DerivedFunctionName stored through function,
// when the name (compared in upper case) is a derived function; else 0.
int ZEVP_CheckDeriveFunctionSpec(const char* name, const void** function);

// 1 when the operand is an entry of DerivedFunctionName, else 0.
int ZEVP_IsDeriveFunction(const void* operand);

// The function number of an operand that is an entry of DerivedFunctionName, else -1.
int ZEVP_DeriveFunctionIndex(const void* operand);
