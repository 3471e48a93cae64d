// The PLOVEN-AGENTS row of an agent entry.
#pragma once

#include <array>
#include <string>

struct PlovenAgentEntry;

constexpr int kPlovenAgentColumns = 8;

// Sends the entry's row (deleteRow 0) or deletes it (deleteRow non-zero: a row-delete
// request that carries only the managed-system name) through the anchor's
// PLOVEN-AGENTS source, and waits for the DCH client to have carried it out; values
// are cut to their attributes. Rows go one at a time. Nothing for a null entry or
// once the shut-down flag is set; nothing, with a trace, while the anchor has no
// such source.
void ZEVS_UpdatePlovenAgentInfoToDCH(PlovenAgentEntry* entry, int deleteRow);

namespace zevs {

// The row's values in attribute order: Managed_System_Name, Network_Name,
// Network_Address, Product_Name, Version, Agent_Framework_Features,
// Last_Check_TimeStamp (" " before the first probe) and Last_Reply_TimeStamp
// ("Initial Load" before the first registration). Under the entry's lock.
std::array<std::string, kPlovenAgentColumns> PlovenAgentRowValues(const PlovenAgentEntry& entry);

// The report step's refresh of the agents' rows (RefreshAgentRows over the agent
// list in effect, each row sent or deleted with ZEVS_UpdatePlovenAgentInfoToDCH).
void ReportPlovenAgentRows();

}  // namespace zevs
