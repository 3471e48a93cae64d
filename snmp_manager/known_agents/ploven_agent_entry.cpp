#include "ploven_agent_entry.h"

#include <cstring>
#include <initializer_list>
#include <new>

#include "zev0/storage.h"

void ZEVS_ReleasePlovenAgentEntry(PlovenAgentEntry* entry) {
  if (entry == nullptr) return;
  for (char** text : {&entry->networkName, &entry->networkAddress, &entry->managedSystemName, &entry->productVersion,
                      &entry->productName, &entry->affinity, &entry->features})
    ZEV0_FreeStorage(text);
  BSV1_DestroyLock(&entry->lock);
  delete entry;
}

namespace zevs {

PlovenAgentEntry* NewPlovenAgentEntry() {
  PlovenAgentEntry* entry = new (std::nothrow) PlovenAgentEntry{};
  if (entry != nullptr) BSV1_InitializeLock(&entry->lock);
  return entry;
}

char* CopyAgentText(const char* text) {
  if (text == nullptr) return nullptr;
  size_t length = std::strlen(text);
  char* copy = static_cast<char*>(ZEV0_GetStorage(static_cast<int32_t>(length + 1)));
  if (copy != nullptr) std::memcpy(copy, text, length + 1);
  return copy;
}

time_t AgentClockNow() {
  BSV1_Time now;
  BSV1_GetTime(&now);
  return static_cast<time_t>(now.seconds);
}

}  // namespace zevs
