// What agent discovery takes of the SNMP data provider's shared state: the agent list
// of the network configuration block (with its lock and the block's shut-down flag),
// the data provider's anchor, and the anchor's PLOVEN-AGENTS source. Every read of
// that state goes through here, so the block's and the anchor's own fields are
// named in one place.
#pragma once

#include "ploven_agent_list.h"

struct DPAB;
struct SourceEntry;

namespace zevs {

struct AgentDiscoveryScope {
  AgentList agents;
  DPAB* anchor;
  // The anchor's place of the PLOVEN-AGENTS source, read at each row: it holds null
  // when the application has no such table, and once shut-down has cleared it.
  SourceEntry* const* plovenAgentsSource;
};

// The scope in effect for the process; null while no configuration block is set.
const AgentDiscoveryScope* CurrentAgentScope();
// Set by the one that makes the block, before any thread uses the agent list, and
// cleared (null) once none does.
void SetAgentScope(const AgentDiscoveryScope* scope);

}  // namespace zevs

// The list calls over the agent list in effect (nothing, or null, while there is none).
// Appends the entry at the tail.
void ZEVS_EnqueuePlovenAgentEntry(PlovenAgentEntry* entry);
// The first entry whose managed-system name is the text exactly; null once shut-down.
PlovenAgentEntry* ZEVS_LocatePlovenAgentFromMS(const char* managedSystemName);
// Sets the last-check time of every entry at the address to now.
void ZEVS_StampPlovenAgentFromAddress(const char* address);
