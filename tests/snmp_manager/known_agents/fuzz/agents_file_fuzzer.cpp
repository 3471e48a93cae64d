// The discovered-agent file's reader over the input as a file, and the affinity
// look-ups over the input as a reported affinity.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

#include "agents_file.h"
#include "ploven_agent_entry.h"
#include "product_affinity.h"
#include "trc1.h"
#include "zev0/storage.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const bool ready = (TRC1_Configure("*=0"), ZEVS_InitializePlovenFeatureArray(), true);
  (void)ready;
  if (size > 0) {
    FILE* file = fmemopen(const_cast<uint8_t*>(data), size, "r");
    if (file != nullptr) {
      zevs::ReadAgentsLines(file, [](PlovenAgentEntry* entry) { ZEVS_ReleasePlovenAgentEntry(entry); });
      std::fclose(file);
    }
  }
  const std::string text(reinterpret_cast<const char*>(data), size);
  char* affinity = ZEVS_CheckValidAffinity(text.c_str());
  ZEVS_LocateProductNameFromAffinity(text.c_str());
  char* unchecked = ZEVS_ConstructProductFeatureString(text.c_str());
  char* checked = ZEVS_ConstructProductFeatureString(affinity);
  ZEV0_FreeStorage(&affinity);
  ZEV0_FreeStorage(&unchecked);
  ZEV0_FreeStorage(&checked);
  return 0;
}
