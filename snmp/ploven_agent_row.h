// The PLOVEN-AGENTS row of an agent entry.
#pragma once

#include <array>
#include <string>

struct PlovenAgentEntry;

namespace zevs {

constexpr int kPlovenAgentColumns = 8;

// The row's values in attribute order: Managed_System_Name, Network_Name,
// Network_Address, Product_Name, Version, Agent_Framework_Features,
// Last_Check_TimeStamp (" " before the first probe) and Last_Reply_TimeStamp
// ("Initial Load" before the first registration). Under the entry's lock.
std::array<std::string, kPlovenAgentColumns> PlovenAgentRowValues(const PlovenAgentEntry& entry);

}  // namespace zevs
