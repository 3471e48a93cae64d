// The network seed file (docs/network-seed-file.md): networks the administrator
// names, one a line, a dotted network address and an optional dotted mask (without
// one, the address's class mask). Comment lines begin with '*'.
#pragma once

#include <cstdio>

struct NetworkConfigurationBlock;

// Enters the networks of the seed file (ZEVP_SNMP_NETCONFIG_SEEDFILE, else
// "ZEVSINIT" in the working directory) and sends their rows. A missing file is traced.
void ZEVS_ReadNetConfigSeedFile(NetworkConfigurationBlock* block);

namespace zevs {

constexpr size_t kSeedFileLineMax = 1023;

// Reads the lines of an open seed file into the process's block (until its
// shut-down flag): the number of networks entered. Over-long lines and lines whose
// words are no dotted address (or mask) are traced and skipped.
int ReadSeedLines(NetworkConfigurationBlock* block, FILE* file);

}  // namespace zevs
