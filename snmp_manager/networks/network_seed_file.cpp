#include "network_seed_file.h"

#include <cerrno>
#include <string>
#include <vector>

#include "debug_switches.h"
#include "metafile_text.h"
#include "network_configuration_block.h"
#include "network_file_fields.h"
#include "network_list.h"
#include "network_masks.h"
#include "zev0/env.h"
#include "zev0/text_files.h"

TRC_UNIT();

namespace zevs {

int ReadSeedLines(NetworkConfigurationBlock* block, FILE* file) {
  int entered = 0;
  int lines = 0;
  std::string line;
  bool tooLong = false;
  while (block->shutdown.load() == 0 && zev0::NextTextLine(file, &line, kSeedFileLineMax, &tooLong)) {
    ++lines;
    if (tooLong) {
      TRC(TRC_ERROR, "***** Seed record %d longer than %d characters ignored", lines, static_cast<int>(kSeedFileLineMax));
      continue;
    }
    if (!line.empty() && line[0] == '*') continue;
    ZEVS_TRC(ZEVS_DEBUG_Network, TRC_DETAIL, "SEED NET %d ->%s", lines, line.c_str());
    const std::vector<std::string> words = zevp::Words(line);
    if (words.empty()) continue;
    uint32_t address = 0;
    uint32_t mask = 0;
    if (!ParseDottedAddress(words[0], &address) || (words.size() > 1 && !ParseDottedAddress(words[1], &mask))) {
      TRC(TRC_ERROR, "***** Seed record %d is not a network address and mask, ignored: %s", lines, line.c_str());
      continue;
    }
    if (words.size() < 2) mask = ZEVS_GetStandardNetMask(address);
    if (ZEVS_UpdateNetworkListEntry(&address, mask, 1) != nullptr) ++entered;
  }
  return entered;
}

}  // namespace zevs

void ZEVS_ReadNetConfigSeedFile(NetworkConfigurationBlock* block) {
  const char* name = ZEV0_GetEnv("ZEVP_SNMP_NETCONFIG_SEEDFILE", "ZEVSINIT");
  FILE* file = std::fopen(name, "re");
  if (file == nullptr) {
    TRC(TRC_ERROR, "Network configuration seed file %s open failed, errno %d. No seeding network loaded", name, errno);
    return;
  }
  const int entered = zevs::ReadSeedLines(block, file);
  std::fclose(file);
  ZEVS_TRC(ZEVS_DEBUG_Network, TRC_DETAIL, "%d network(s) loaded from network configuration seed file", entered);
}
