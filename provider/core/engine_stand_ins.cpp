#include "engine_stand_ins.h"

#include "dp_anchor.h"
#include "process_entry.h"

namespace zevp::standin {

namespace {

void WaitForTermination(ProcessEntry* entry) {
  pthread_mutex_lock(&entry->mutex);
  while (entry->terminationFlag == 0) pthread_cond_wait(&entry->condition, &entry->mutex);
  pthread_mutex_unlock(&entry->mutex);
}

}  // namespace

void IdleUntilTerminated(ProcessEntry* entry) {
  DPAB* anchor = entry->anchor;
  WaitForTermination(entry);
  ZEVP_ReleaseProcessResources(anchor, entry);
  ZEVP_EndThread();
}

}  // namespace zevp::standin
