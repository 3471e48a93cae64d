#include "zev0/scrambler.h"

#include <cstring>

namespace {

// The character table fixes the stored form of every scrambled file of the system:
// changing it makes every product specification file, scrambled metafile and ODI or
// JPF file written before unreadable. It holds the 94 visible ASCII characters once
// each, so blanks, tabs and line ends pass through unchanged.
constexpr char cipher_table[] =
    "/X;+Lbz=\"5&G(2'DP).pCe@uhwaH>]j`#1Unc<![YB|Kg$0*x,m-oVMk}6S:fJZ3{EQWisqrd^%R~F9\?\\y4_l7ANtIvT8O";
constexpr int64_t kTableLength = sizeof(cipher_table) - 1;

static_assert(kTableLength == 94, "the table holds the 94 visible ASCII characters");

// direction +1 scrambles, -1 unscrambles.
char* transform(char* record, int32_t key, int direction) {
  // The key walks key, key-1, key+1, key-2, key+2, ... ; 64-bit so that long records with
  // large keys cannot overflow.
  int64_t k = key;
  int64_t i = 0;
  for (char* c = record; *c != '\0'; ++c) {
    const char* found = std::strchr(cipher_table, *c);
    if (found != nullptr) {
      int64_t q = ((found - cipher_table) + direction * k) % kTableLength;
      if (q < 0) q += kTableLength;
      *c = cipher_table[q];
    }
    ++i;
    k += (i % 2 != 0) ? -i : i;
  }
  return record;
}

}  // namespace

char* ZEV0_EncipherRecord(char* record, int32_t key) { return transform(record, key, +1); }

char* ZEV0_DecipherMetaRecord(char* record, int32_t key) { return transform(record, key, -1); }
