// The readers of the network work file, the seed file and the exclude file over the
// input as a file, into a block of their own made afresh for each input.
#include <stdlib.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>

#include "excluded_interface_types.h"
#include "network_configuration_block.h"
#include "network_seed_file.h"
#include "network_work_file.h"
#include "trc1.h"

namespace {

void Read(const uint8_t* data, size_t size, void (*reader)(FILE*)) {
  FILE* file = fmemopen(const_cast<uint8_t*>(data), size, "r");
  if (file == nullptr) return;
  reader(file);
  std::fclose(file);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const bool ready = (TRC1_Configure("*=0"), setenv("ZEV_WORK_PATH", "/tmp", 0), true);
  (void)ready;
  if (size == 0) return 0;
  NetworkConfigurationBlock* block = ZEVS_InitializeNCB();
  if (block == nullptr) return 0;
  Read(data, size, [](FILE* file) { zevs::ReadNetworkLines(NCB.load(), file); });
  Read(data, size, [](FILE* file) { zevs::ReadSeedLines(NCB.load(), file); });
  zevs::FreeNetworkConfigurationBlock(block);
  Read(data, size, [](FILE* file) {
    zevs::ExcludedTypes excluded = zevs::DefaultExcludedTypes();
    zevs::ReadExcludedTypes(file, &excluded);
  });
  return 0;
}
