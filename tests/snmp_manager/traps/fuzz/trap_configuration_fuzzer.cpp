// The trap configuration file's two passes over the input as a file, and a
// look-up of every trap entry it gave.
#include <cstddef>
#include <cstdint>
#include <cstdio>

#include "trap_configuration.h"
#include "trc1.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const bool ready = (TRC1_Configure("*=0"), true);
  (void)ready;
  if (size == 0) return 0;
  FILE* file = fmemopen(const_cast<uint8_t*>(data), size, "r");
  if (file == nullptr) return 0;
  TrapConfigurationBlock block = zevs::ParseTrapConfiguration(file, zevs::TrapSectionKeywords());
  std::fclose(file);
  if (static_cast<size_t>(block.specificationCount) != block.specifications.size()) __builtin_trap();
  return 0;
}
