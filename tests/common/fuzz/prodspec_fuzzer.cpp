// A product specification file as it lies on disk: any contents are read into the
// table of items or refused, each record within its 511 characters.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <vector>

#include "prodspec_reading.h"
#include "trc1.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const bool quiet = (TRC1_Configure("*=0"), true);
  (void)quiet;
  if (size == 0) return 0;
  std::vector<char> contents(data, data + size);
  std::FILE* file = fmemopen(contents.data(), contents.size(), "r");
  if (file == nullptr) return 0;
  zev0::ReadProductSpec(file, "fuzz input", nullptr);
  std::fclose(file);
  return 0;
}
