// Rate attributes compare an input value with the previous one of the same
// attribute: '#' the change, '%' the change in percent, '?' the change per
// second. In key data groups the previous values are kept per key.
#pragma once

#include <cstdint>

struct AttributeEntry;
struct SourceEntry;

// Computes the attribute's rate of this input value, stores it as a 32-bit
// integer and keeps the value (and, for '?', the time) as the previous one. The
// first sample gives 0 ('%' of 0: 100).
void LoadRateAttribute(AttributeEntry* attribute, int32_t value);

// After a split of a key data group: computes the rate attributes loaded by the
// split again against the previous values of the row's key, kept in one copy of
// the attribute list per key seen (the source's SavedRows chain, made here). The
// caller holds the source's locks.
void ZEVP_ComputeKeyRates(SourceEntry* source);
