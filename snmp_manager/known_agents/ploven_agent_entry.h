// One of the maker's agents that discovery knows: found by its registration, or
// loaded from the agents file. Every text is the entry's own copy (ZEV0_GetStorage);
// its fields change under its lock.
#pragma once

#include <cstdint>
#include <ctime>

#include "bsv1.h"

struct PlovenAgentEntry {
  PlovenAgentEntry* next;
  char* networkName;        // the agent host's name
  char* networkAddress;     // its dotted address (or the name when it does not resolve)
  char* managedSystemName;  // the agent's name: the list's key and the row's
  char* productVersion;
  char* productName;
  char* affinity;  // 43 characters
  char* features;
  int32_t reserved;      // 0; not read
  time_t lastCheckTime;  // when a probe of its address was last dispatched; 0 never
  time_t lastReplyTime;  // when it last registered; 0 never (loaded from the file)
  BSV1_Lock lock;
};

// Frees the entry's texts, its lock and the entry.
void ZEVS_ReleasePlovenAgentEntry(PlovenAgentEntry* entry);

namespace zevs {

// A new entry, cleared, its lock initialised; null without storage.
PlovenAgentEntry* NewPlovenAgentEntry();

// A new copy of the text (null for null or without storage).
char* CopyAgentText(const char* text);

// The time of the clock in effect (BSV1_GetTime), in seconds.
time_t AgentClockNow();

}  // namespace zevs
