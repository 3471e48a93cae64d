// The decisions of one cycle of the HTTP manager: how many client tasks, whether
// the URL configuration file is rewritten, and when the next walk begins.
#include <algorithm>

#include "http_manager.h"
#include "http_trace.h"
#include "url_config_file.h"

TRC_UNIT();

namespace zevp {

int32_t ClientTasksWanted(int32_t urls, int32_t perTask) { return urls / std::max(perTask, 1) + 1; }

bool RewriteChangedURLconfiguration(URLmanagementBlock* block) {
  BSV1_GetLock(&block->ConfigurationLock);
  const bool changed = block->ConfigurationChanged != 0;
  if (changed) {
    ZEVP_UpdateURLconfigurationFile(block->Anchor);
    block->ConfigurationChanged = 0;
  }
  BSV1_ReleaseLock(&block->ConfigurationLock);
  return changed;
}

WalkPlan PlanNextWalk(URLmanagementBlock* block, int64_t now) {
  const int32_t longest = block->DefaultSampleInterval;
  WalkPlan plan;
  plan.pause = longest;
  int32_t shortestInterval = longest;
  BSV1_GetLock(&block->URLListLock);
  for (URLrequestEntry* entry = block->URLs; entry != nullptr; entry = entry->next) {
    BSV1_GetLock(&entry->EntryLock);
    const int64_t nextCheck = entry->NextCheckTime;
    const int32_t interval = entry->StatusInterval;
    BSV1_ReleaseLock(&entry->EntryLock);
    if (!plan.begun && nextCheck <= now) {
      HTTP_TRC(TRC_DETAIL, "Found expired URE @%p  URL %s", static_cast<void*>(entry), entry->URL);
      block->CurrentURL = block->URLs;
      ++block->Walk;
      plan.begun = true;
    }
    const int64_t wait = nextCheck > 0 ? std::max<int64_t>(nextCheck - now, 0) : 0;
    shortestInterval = std::min(shortestInterval, interval);
    HTTP_TRC(TRC_DETAIL, "Calculated DiffTime %lld for URE @%p  URL %s  MinSampleInterval %d",
             static_cast<long long>(wait), static_cast<void*>(entry), entry->URL, shortestInterval);
    plan.pause = static_cast<int32_t>(std::min<int64_t>(plan.pause, wait));
  }
  BSV1_ReleaseLock(&block->URLListLock);
  HTTP_TRC(TRC_DETAIL, "Calculated NextCheckTime in %d seconds", plan.pause);
  if (plan.pause == 0 || plan.pause > longest) {
    plan.pause = shortestInterval > 0 && shortestInterval < longest ? shortestInterval : longest;
    HTTP_TRC(TRC_DETAIL, "Reset NextCheckTime to %d seconds", plan.pause);
  }
  return plan;
}

}  // namespace zevp
