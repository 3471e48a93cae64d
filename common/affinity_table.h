// The affinity table: the 43-character affinity code of each known affinity name.
#pragma once

#include <cstdint>

struct AffinityEntry {
  const char* name;  // empty in the closing row
  const char* code;  // 43 characters
  uint32_t firstNumber;
  uint32_t secondNumber;
};

// The row of the name, or null when the table has none (or the name is null).
const AffinityEntry* ZEV0_FindAffinity(const char* name);
