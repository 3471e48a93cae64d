#include "ploven_agent_list.h"

#include <cstring>

#include "ploven_agent_entry.h"

namespace zevs {

namespace {

// An agent that has not registered for a day after it was last probed is gone.
constexpr time_t kAgentSilenceLimit = 86401;

}  // namespace

void AppendAgent(const AgentList& list, PlovenAgentEntry* entry) {
  if (entry == nullptr) return;
  entry->next = nullptr;
  AgentListHold hold(list);
  PlovenAgentEntry** link = list.first;
  while (*link != nullptr) link = &(*link)->next;
  *link = entry;
}

PlovenAgentEntry* FindAgent(const AgentList& list, const char* managedSystemName) {
  if (managedSystemName == nullptr || list.shutdown->load() != 0) return nullptr;
  AgentListHold hold(list);
  for (PlovenAgentEntry* entry = *list.first; entry != nullptr; entry = entry->next)
    if (entry->managedSystemName != nullptr && std::strcmp(entry->managedSystemName, managedSystemName) == 0)
      return entry;
  return nullptr;
}

size_t CountAgents(const AgentList& list) {
  AgentListHold hold(list);
  size_t count = 0;
  for (PlovenAgentEntry* entry = *list.first; entry != nullptr; entry = entry->next) ++count;
  return count;
}

void StampAgents(const AgentList& list, const char* address, time_t now) {
  if (address == nullptr) return;
  AgentListHold hold(list);
  for (PlovenAgentEntry* entry = *list.first; entry != nullptr; entry = entry->next) {
    BSV1_GetLock(&entry->lock);
    if (entry->networkAddress != nullptr && std::strcmp(entry->networkAddress, address) == 0)
      entry->lastCheckTime = now;
    BSV1_ReleaseLock(&entry->lock);
  }
}

void RefreshAgentRows(const AgentList& list, const std::function<void(PlovenAgentEntry*, int)>& sendRow) {
  AgentListHold hold(list);
  PlovenAgentEntry** link = list.first;
  while (*link != nullptr) {
    PlovenAgentEntry* entry = *link;
    BSV1_GetLock(&entry->lock);
    bool answering = entry->lastCheckTime - entry->lastReplyTime < kAgentSilenceLimit;
    BSV1_ReleaseLock(&entry->lock);
    if (answering) {
      sendRow(entry, 0);
      link = &entry->next;
      continue;
    }
    sendRow(entry, 1);
    *link = entry->next;
    ZEVS_ReleasePlovenAgentEntry(entry);
  }
}

void ReleaseAgents(const AgentList& list) {
  AgentListHold hold(list);
  PlovenAgentEntry* entry = *list.first;
  *list.first = nullptr;
  while (entry != nullptr) {
    PlovenAgentEntry* next = entry->next;
    ZEVS_ReleasePlovenAgentEntry(entry);
    entry = next;
  }
}

}  // namespace zevs
