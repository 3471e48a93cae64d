// The sources of the NETWORK table, one per monitored network, named by the
// network's symbolic name or its dotted address with '-' for '.'.
#pragma once

#include <cstdint>
#include <string>

struct DPAB;
struct NetworkEntry;
struct ProcessEntry;
struct SourceEntry;

namespace zevs {

std::string NetworkSourceName(const NetworkEntry* network, uint32_t address);
// The NETWORK table's source of that name, made (with its attributes, summary and a
// process entry of its own) when there is none; null without the table.
SourceEntry* LocateNetworkSource(DPAB* anchor, NetworkEntry* network, uint32_t address);
// Puts the source online (Ready) and waits for the DCH (on the source's own entry,
// else the caller's): true once it is Active.
bool PutNetworkSourceOnline(DPAB* anchor, ProcessEntry* caller, SourceEntry* source);
// Takes it offline (Inactive) and waits for the DCH; nothing for a null source.
void TakeNetworkSourceOffline(DPAB* anchor, ProcessEntry* caller, SourceEntry* source);

}  // namespace zevs
