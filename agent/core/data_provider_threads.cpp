#include "data_provider_threads.h"

#include <cerrno>

#include "dp_start_table.h"
#include "trc1.h"
#include "zev/dp_types.h"
#include "zev0/threads.h"
#include "zevp/data_provider.h"
#include "zevs/snmp_data_provider.h"

TRC_UNIT();

namespace {

void startThread(DPstartEntry* entry, void* (*routine)(void*), const char* routineName) {
  if (ZEV0_CreateThread(routine, &entry->type, PTHREAD_CREATE_JOINABLE, &entry->threadId) != 0) {
    TRC(TRC_ERROR, "Error: %s <%s> thread failed creation: errno=%d", routineName, entry->typeName, errno);
    return;
  }
  entry->started = 1;
  TRC(TRC_DETAIL, "%s <%s> thread created.", routineName, entry->typeName);
}

}  // namespace

void startDataProviderThreads(DPstartTable* table) {
  for (int i = 0; i < table->DPsToStartCount; ++i) {
    DPstartEntry& entry = table->entries[i];
    entry.started = 0;
    TRC(TRC_DETAIL, "Starting DP thread for [%d/%s]", entry.type, entry.typeName);
    if (entry.type == ZEV_DP_SNMP)
      startThread(&entry, ZEVS_StartSNMPDataProvider, "ZEVS_StartSNMPDataProvider");
    else if (entry.type == ZEV_DP_APPC)
      TRC(TRC_ERROR, "Error: ZEVN_StartAPPCDataProvider only supported on Windows NT");
    else
      startThread(&entry, ZEVP_StartDataProvider, "ZEVP_StartDataProvider");
  }
}

bool joinDataProviderThreads(DPstartTable* table) {
  for (int i = 0; i < table->DPsToStartCount; ++i) {
    DPstartEntry& entry = table->entries[i];
    if (entry.started == 0) {
      TRC(TRC_DETAIL, "DP <%s> did not start. No waiting.", entry.typeName);
      continue;
    }
    TRC(TRC_DETAIL, "Waiting for DP <%s> thread to complete.", entry.typeName);
    int rc = pthread_join(entry.threadId, nullptr);
    if (rc != 0) {
      TRC(TRC_ERROR, "Error: pthread_join for DP <%s> failed: errno=%d", entry.typeName, rc);
      return false;
    }
    TRC(TRC_DETAIL, "Thread for DP <%s> completed.", entry.typeName);
  }
  return true;
}

int startedDataProviders(const DPstartTable& table) {
  int started = 0;
  for (int i = 0; i < table.DPsToStartCount; ++i) started += table.entries[i].started;
  return started;
}
