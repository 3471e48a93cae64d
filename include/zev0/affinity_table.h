// The affinity tables. An affinity is a 43-character code: characters 1-32 name a
// product, 35-43 are nine feature characters. The affinity table ("map") gives each
// known name its code and numeric identifier (product rows, and feature rows whose
// name begins with "AFF_FEAT_"); the display table ("mapText") gives identifiers their
// display texts, a feature's text beginning with '_' characters.
#pragma once

#include <cstdint>

struct AffinityEntry {
  const char* name;  // empty in the closing row
  const char* code;  // 43 characters
  uint32_t firstNumber;  // the affinity identifier; 0 in the closing row
  uint32_t secondNumber;
};

struct AffinityText {
  uint32_t affinityId;
  const char* text;  // null in the closing row
};

// The row of the name, or null when the table has none (or the name is null).
const AffinityEntry* ZEV0_FindAffinity(const char* name);

namespace zev0 {

struct AffinityTables {
  const AffinityEntry* map;
  const AffinityText* mapText;
};

// The tables in effect: the compiled ones unless a test installed others.
AffinityTables CurrentAffinityTables();
// Installs tables for the whole process ({null, null} restores the compiled ones);
// returns those that were installed ({null, null} for the compiled ones).
AffinityTables SetAffinityTables(AffinityTables tables);

}  // namespace zev0
