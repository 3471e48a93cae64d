#include "agent_discovery_scope.h"

#include <atomic>

#include "ploven_agent_entry.h"

namespace zevs {

namespace {
std::atomic<const AgentDiscoveryScope*> currentScope{nullptr};
}  // namespace

const AgentDiscoveryScope* CurrentAgentScope() { return currentScope.load(); }

void SetAgentScope(const AgentDiscoveryScope* scope) { currentScope.store(scope); }

}  // namespace zevs

void ZEVS_EnqueuePlovenAgentEntry(PlovenAgentEntry* entry) {
  if (const zevs::AgentDiscoveryScope* scope = zevs::CurrentAgentScope()) zevs::AppendAgent(scope->agents, entry);
}

PlovenAgentEntry* ZEVS_LocatePlovenAgentFromMS(const char* managedSystemName) {
  const zevs::AgentDiscoveryScope* scope = zevs::CurrentAgentScope();
  return scope != nullptr ? zevs::FindAgent(scope->agents, managedSystemName) : nullptr;
}

void ZEVS_StampPlovenAgentFromAddress(const char* address) {
  if (const zevs::AgentDiscoveryScope* scope = zevs::CurrentAgentScope())
    zevs::StampAgents(scope->agents, address, zevs::AgentClockNow());
}
