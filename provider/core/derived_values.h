// Attributes defined by a formula of two other attributes of the same source,
// computed just before a row is sent.
#pragma once

#include <cstdint>

struct SourceEntry;

// The result of a numeric formula: + - * / and % (percentage of the second,
// rounded half up). '/' and '%' by 0 give 0; results are held within 32 bits.
// False for an operator letter that is none of these (the result is then 0).
bool ZEVP_ComputeFormula(char operatorLetter, int32_t first, int32_t second, int32_t* result, double* exact);

// Computes every formula attribute of the source whose operands both hold a
// value, but not the keys and totals of a summary row, whose values the
// summary output gave. The caller holds the source's attribute lock.
void ZEVP_ComputeDerivedValues(SourceEntry* source);
