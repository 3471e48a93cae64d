// Scrambles or unscrambles a text file record by record, the way the
// product specification reader reads it: records of at most 511 characters, record n
// keyed with (its length, line end included) x n.
//
//   zevscramble encipher|decipher [-p LINES] INPUT OUTPUT
//
// The first LINES lines (default 0) are copied plain: a product specification
// file keeps its identifier line "//PSF" unscrambled, so it is written with -p 1.
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "zev0/scrambler.h"

namespace {

int usage() {
  std::fprintf(stderr, "usage: zevscramble encipher|decipher [-p LINES] INPUT OUTPUT\n");
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 4) return usage();
  bool encipher = std::strcmp(argv[1], "encipher") == 0;
  if (!encipher && std::strcmp(argv[1], "decipher") != 0) return usage();
  int next = 2;
  long plainLines = 0;
  if (std::strcmp(argv[next], "-p") == 0) {
    if (argc != 6) return usage();
    plainLines = std::strtol(argv[next + 1], nullptr, 10);
    next += 2;
  }
  if (argc != next + 2) return usage();

  std::FILE* in = std::fopen(argv[next], "r");
  if (in == nullptr) {
    std::perror(argv[next]);
    return 1;
  }
  std::FILE* out = std::fopen(argv[next + 1], "w");
  if (out == nullptr) {
    std::perror(argv[next + 1]);
    std::fclose(in);
    return 1;
  }
  char record[512];
  for (long n = 1 - plainLines; std::fgets(record, sizeof record, in) != nullptr; ++n) {
    if (n > 0) {
      auto key = static_cast<int32_t>(std::strlen(record) * n);
      if (encipher)
        ZEV0_EncipherRecord(record, key);
      else
        ZEV0_DecipherMetaRecord(record, key);
    }
    std::fputs(record, out);
  }
  std::fclose(in);
  return std::fclose(out) == 0 ? 0 : 1;
}
