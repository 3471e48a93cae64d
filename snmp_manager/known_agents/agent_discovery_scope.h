// What agent discovery takes of the SNMP data provider's shared state: the agent list
// of the network configuration block (with its lock and the block's shut-down flag),
// the data provider's anchor, and the anchor's PLOVEN-AGENTS source. Every read of
// that state goes through here, so the block's and the anchor's own fields are
// named in one place.
#pragma once

#include <optional>

#include "ploven_agent_list.h"

struct DPAB;
struct NetworkConfigurationBlock;
struct SourceEntry;

namespace zevs {

struct AgentDiscoveryScope {
  AgentList agents;
  DPAB* anchor;
  // The PLOVEN-AGENTS source as the anchor holds it when the scope is taken: null
  // while the application has no such table or the anchor none yet.
  SourceEntry* plovenAgentsSource;
};

// The scope of the block, taken now.
AgentDiscoveryScope AgentScopeOf(NetworkConfigurationBlock* block);
// The scope of the process's block (NCB); none while no block is made.
std::optional<AgentDiscoveryScope> CurrentAgentScope();

}  // namespace zevs

// The list calls over the process's agent list (nothing, or null, while there is none).
// Appends the entry at the tail.
void ZEVS_EnqueuePlovenAgentEntry(PlovenAgentEntry* entry);
// The first entry whose managed-system name is the text exactly; null once shut-down.
PlovenAgentEntry* ZEVS_LocatePlovenAgentFromMS(const char* managedSystemName);
// Sets the last-check time of every entry at the address to now.
void ZEVS_StampPlovenAgentFromAddress(const char* address);
