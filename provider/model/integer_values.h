// Integer attribute values as the split stores them and the filters and formulas
// read them: 2-byte attributes as 16-bit, the others as 32-bit signed integers,
// in host byte order.
#pragma once

#include <cstdint>

struct AttributeEntry;

namespace zevp {

// Stores the value in the attribute's size (held within the 16-bit range for a
// 2-byte attribute) and sets ActualValSize to MaxValSize.
void StoreInteger(AttributeEntry* attribute, int32_t value);

// The value in place: a 16-bit one when ActualValSize is 2, else a 32-bit one;
// never more bytes than the value area holds (missing bytes count as 0).
int32_t IntegerValue(const AttributeEntry* attribute);

// The value within the 32-bit range.
int32_t ClampToInt32(double value);

}  // namespace zevp
