// The network work file (docs/network-work-file.md): the known networks kept across
// restarts. A header line, then one line per network in list order: mask, address,
// agent-found flag, state, poll interval, the network-wide current, minimum and
// maximum response times, the hosts' status letters (ranges below 256 only), each
// followed by ','.
#pragma once

#include <cstdio>
#include <string>

struct NetworkConfigurationBlock;
struct NetworkEntry;

// Writes the block's networks to its network work file (a new file that replaces
// the old one whole), under the network-list lock and each entry's lock.
void ZEVS_WriteNetConfigToExt(NetworkConfigurationBlock* block);
// Enters the networks of the block's network work file that are not known yet, with
// what the file kept of them, and sends their rows. A missing file is traced.
void ZEVS_ReadNetConfigFromExt(NetworkConfigurationBlock* block);

namespace zevs {

extern const char kNetworkFileHeader[];
// A line holds at most this many characters before its line end.
constexpr size_t kNetworkFileLineMax = 511;

// The entry's line without its line end; under the entry's lock.
std::string NetworkFileLine(const NetworkEntry& entry);
// Reads the lines of an open work file into the process's block (until its
// shut-down flag): the number of networks entered. Lines that do not begin with a
// digit are passed over; over-long or malformed lines are traced and skipped.
int ReadNetworkLines(NetworkConfigurationBlock* block, FILE* file);

}  // namespace zevs
