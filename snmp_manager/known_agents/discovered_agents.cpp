// The discovered-agent file of the process: read once at the discovery manager's
// start, rewritten after a recheck of all agents when one has registered since.
#include <atomic>
#include <ctime>

#include "agent_discovery_scope.h"
#include "agents_file.h"
#include "ploven_agent_entry.h"
#include "ploven_agent_row.h"
#include "zev0/storage.h"
#include "zev0/text.h"

namespace {

// When the writer last passed; 0 before its first pass.
std::atomic<time_t> lastOutputTime{0};

// The file's full name in the work directory, built once.
const char* PlovenAgentFile() {
  static const char* const path = ZEV0_ConstructFullyQualifiedName(nullptr, "ZEVSAGNT");
  return path;
}

bool RegisteredSince(PlovenAgentEntry* first, time_t since) {
  for (PlovenAgentEntry* entry = first; entry != nullptr; entry = entry->next) {
    BSV1_GetLock(&entry->lock);
    const bool registered = entry->lastReplyTime > since;
    BSV1_ReleaseLock(&entry->lock);
    if (registered) return true;
  }
  return false;
}

}  // namespace

void ZEVS_WriteDiscoveredPlovenAgentToExt(NetworkConfigurationBlock* block) {
  if (block == nullptr || PlovenAgentFile() == nullptr) return;
  const zevs::AgentList agents = zevs::AgentScopeOf(block).agents;
  BSV1_GetLock(agents.lock);
  if (RegisteredSince(*agents.first, lastOutputTime.load()) && !zevs::WriteAgentsFile(PlovenAgentFile(), *agents.first)) {
    BSV1_ReleaseLock(agents.lock);
    return;
  }
  BSV1_ReleaseLock(agents.lock);
  lastOutputTime.store(zevs::AgentClockNow());
}

void ZEVS_ReadDiscoveredPlovenAgentFromExt() {
  const std::optional<zevs::AgentDiscoveryScope> scope = zevs::CurrentAgentScope();
  if (!scope || PlovenAgentFile() == nullptr) return;
  zevs::ReadAgentsFile(PlovenAgentFile(), [&scope](PlovenAgentEntry* entry) {
    zevs::AppendAgent(scope->agents, entry);
    ZEVS_UpdatePlovenAgentInfoToDCH(entry, 0);
  });
}
