#include "engine_stand_ins.h"

#include "dp_anchor.h"
#include "process_entry.h"
#include "trc1.h"

TRC_UNIT();

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

void StopSNMPcollection(SourceEntry* source) {
  TRC(TRC_ERROR, "***** SNMP collection not available: collection of source @%p not stopped",
      static_cast<void*>(source));
}

}  // namespace zevp::standin
