// The list of known agents: singly linked, appended at the tail, guarded by its lock
// (taken before an entry's own). It lives in the network configuration block; the
// functions here take the block's list, lock and shut-down flag.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <ctime>
#include <functional>

#include "bsv1.h"

struct PlovenAgentEntry;

namespace zevs {

struct AgentList {
  BSV1_Lock* lock;
  PlovenAgentEntry** first;
  const std::atomic<int32_t>* shutdown;
};

// Holds the list's lock for the life of the object (the lock may be taken again
// inside, so the calls below may run under a hold).
class AgentListHold {
 public:
  explicit AgentListHold(const AgentList& list) : lock_(list.lock) { BSV1_GetLock(lock_); }
  ~AgentListHold() { BSV1_ReleaseLock(lock_); }
  AgentListHold(const AgentListHold&) = delete;
  AgentListHold& operator=(const AgentListHold&) = delete;

 private:
  BSV1_Lock* lock_;
};

// Appends the entry (its next cleared) at the tail.
void AppendAgent(const AgentList& list, PlovenAgentEntry* entry);

// The first entry whose managed-system name is the text exactly; null when none is, or
// once the shut-down flag is set.
PlovenAgentEntry* FindAgent(const AgentList& list, const char* managedSystemName);

// The number of entries in the list.
size_t CountAgents(const AgentList& list);

// Sets the last-check time of every entry whose network address is the text to now,
// each under its lock.
void StampAgents(const AgentList& list, const char* address, time_t now);

// The report step's refresh of the agents' rows, under the list's lock: an entry last
// checked less than 86401 seconds after its last reply gets its row sent again; any
// other has its row deleted and is unlinked and released. sendRow(entry, deleteRow).
void RefreshAgentRows(const AgentList& list, const std::function<void(PlovenAgentEntry*, int)>& sendRow);

// Releases every entry and clears the list.
void ReleaseAgents(const AgentList& list);

}  // namespace zevs
