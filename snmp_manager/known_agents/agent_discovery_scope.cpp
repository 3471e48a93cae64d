#include "agent_discovery_scope.h"

#include "network_configuration_block.h"
#include "ploven_agent_entry.h"
#include "snmp_manager_model.h"

namespace zevs {

AgentDiscoveryScope AgentScopeOf(NetworkConfigurationBlock* block) {
  DPAB* anchor = block->anchor;
  SourceEntry* source = anchor != nullptr ? ZEVP_SNMPmanagerSource(anchor, ZEVP_SNMP_PLOVEN_AGENTS) : nullptr;
  return {{&block->agentListLock, &block->agents, &block->shutdown}, anchor, source};
}

std::optional<AgentDiscoveryScope> CurrentAgentScope() {
  NetworkConfigurationBlock* block = NCB.load();
  if (block == nullptr) return std::nullopt;
  return AgentScopeOf(block);
}

}  // namespace zevs

void ZEVS_EnqueuePlovenAgentEntry(PlovenAgentEntry* entry) {
  if (std::optional<zevs::AgentDiscoveryScope> scope = zevs::CurrentAgentScope())
    zevs::AppendAgent(scope->agents, entry);
}

PlovenAgentEntry* ZEVS_LocatePlovenAgentFromMS(const char* managedSystemName) {
  std::optional<zevs::AgentDiscoveryScope> scope = zevs::CurrentAgentScope();
  return scope ? zevs::FindAgent(scope->agents, managedSystemName) : nullptr;
}

void ZEVS_StampPlovenAgentFromAddress(const char* address) {
  if (std::optional<zevs::AgentDiscoveryScope> scope = zevs::CurrentAgentScope())
    zevs::StampAgents(scope->agents, address, zevs::AgentClockNow());
}
