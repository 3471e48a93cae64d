// Numbers written in a metafile, read with their range held: a number too large
// or too small for 32 bits takes the nearest 32-bit value, never an overflow.
#pragma once

#include <cstdint>

namespace zevp {

// The decimal number at the start of text as atoi reads it (leading blanks and a
// sign allowed, reading stops at the first other character), held to the 32-bit
// range. No digits give 0, and *hasDigits (when asked for) says whether there were any.
int32_t DecimalValue(const char* text, bool* hasDigits = nullptr);

// The real number at the start of text as strtod reads it, truncated and held to
// the 32-bit range; no number and NaN give 0.
int32_t RealValue(const char* text);

// The value v held between low and high.
inline int32_t HeldTo(int32_t v, int32_t low, int32_t high) { return v < low ? low : (v > high ? high : v); }

}  // namespace zevp
