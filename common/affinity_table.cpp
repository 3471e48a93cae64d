#include "affinity_table.h"

#include <cstring>

namespace {

// Only this product's own affinities are known: a packaged solution names one of them.
const AffinityEntry affinityTable[] = {
    {"AFF_DORVANE", "0000000000000040000000000000000000000000000", 0x112, 0},
    {"AFF_DORVANE_DATA", "0000000000000080000000000000000000000000000", 0x116, 0},
    {"", "", 0, 0},
};

}  // namespace

const AffinityEntry* ZEV0_FindAffinity(const char* name) {
  if (name == nullptr) return nullptr;
  for (const AffinityEntry* entry = affinityTable; entry->name[0] != '\0'; ++entry)
    if (std::strcmp(entry->name, name) == 0) return entry;
  return nullptr;
}
