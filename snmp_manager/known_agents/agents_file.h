// The discovered-agent file (docs/agents-file.md): the header line, then one line per
// agent of seven fields, each followed by ';': network name, network address,
// managed-system name, product name, product version, features, affinity.
#pragma once

#include <cstdio>
#include <functional>
#include <string>

struct NetworkConfigurationBlock;
struct PlovenAgentEntry;

// The process's agents file, ZEVSAGNT in the work directory. The writer writes the
// block's agent list when an entry has registered since the writer's last pass (a
// failed write leaves the old file and counts as no pass). The reader appends an
// entry per line to the agent list in effect and sends its row.
void ZEVS_WriteDiscoveredPlovenAgentToExt(NetworkConfigurationBlock* block);
void ZEVS_ReadDiscoveredPlovenAgentFromExt();

namespace zevs {

// A line holds at most this many characters before its line end.
constexpr size_t kAgentsFileLineMax = 1023;
extern const char kAgentsFileHeader[];

// The entry's line, without its line end. A field is never empty (" " stands for an
// empty or missing text) and holds no ';', CR or LF (each becomes a blank), so the
// line reads back into its seven fields. Under the entry's lock.
std::string AgentsFileLine(const PlovenAgentEntry& entry);

// A new entry of a line of the file, or null when the line lacks one of its seven
// fields. The names, address and version come from the line; the affinity is checked
// (a text that is no affinity becomes the no-affinity value) and the product name and
// features are those the affinity gives now. Times 0: never checked, never replied.
PlovenAgentEntry* AgentFromFileLine(const std::string& line);

// Writes the header and one line per entry of the chain to a new file that then
// replaces the file at path; false, traced, when the new file could not be opened or
// written (the file at path is then as it was).
bool WriteAgentsFile(const char* path, PlovenAgentEntry* first);

// Hands each entry made from a line of the file at path to take (which owns it), in
// file order; the number made. A missing file is traced and gives none; lines that
// are over-long or lack a field are skipped.
int ReadAgentsFile(const char* path, const std::function<void(PlovenAgentEntry*)>& take);
// The same over an open file, from its first line (the header) on.
int ReadAgentsLines(FILE* file, const std::function<void(PlovenAgentEntry*)>& take);

}  // namespace zevs
