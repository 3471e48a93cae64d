#include "periodic_task.h"

#include <cstdlib>
#include <cstring>

#include "application_entry.h"
#include "bsv1.h"
#include "dch_work_queue.h"
#include "dp_anchor.h"
#include "engine_routines.h"
#include "io_entry.h"
#include "periodic_cycle.h"
#include "process_entry.h"
#include "select_interrupt.h"
#include "socket_partner_watch.h"
#include "source_entry.h"
#include "table_entry.h"
#include "trc1.h"
#include "zev/dp_types.h"
#include "zev0/env.h"

TRC_UNIT();

namespace {

constexpr int kRegistrationCheckSeconds = 60;
constexpr int kNoDataReportSeconds = 180;
constexpr int kSummaryAgeLimit = 300;
constexpr int kBatchSummaryAgeLimit = 30;

struct PeriodicSettings {
  PeriodicCycleSettings cycle;
  bool disconnectByTTL;
  int64_t snmpNetDataTTL;
};

int numberSetting(const char* variable, const char* fallback) { return std::atoi(ZEV0_GetEnv(variable, fallback)); }

PeriodicSettings readSettings() {
  PeriodicSettings settings;
  const char* byTTL = ZEV0_GetEnv("ZEVP_TCP_DISCONNECT_BY_TTL", "Y");
  settings.disconnectByTTL = std::strcmp(byTTL, "Y") == 0;
  settings.cycle.outageWindow = numberSetting("ZEVP_TCP_OUTAGE_WINDOW", "180");
  settings.cycle.scanDelayCycles = numberSetting("ZEVP_SCAN_DELAY_CYCLES", "30");
  settings.cycle.scanMaxInterval = numberSetting("ZEVP_SCAN_MAX_INTERVAL", "60");
  settings.cycle.activityDelayCycles = numberSetting("ZEVP_ACTIVITY_DELAY_CYCLES", "3");
  settings.snmpNetDataTTL = numberSetting("ZEVP_SNMP_NETDATA_TTL", "14400");
  return settings;
}

int64_t Now() {
  BSV1_Time now;
  BSV1_GetTime(&now);
  return now.seconds;
}

struct TaskState {
  int64_t lastRegistrationCheck;
  int64_t lastMIBinterestUpdate;
  int64_t lastNoDataReport;
  int64_t lastProbePass;
  int64_t firstSummaryCheck;
  int64_t summaryAgeLimit;
  int fileWakeups = 0;
  int workUnits = 0;
};

// Step 1: the DCH client runs when work waits, and while the data provider ends.
// Under the wait-queue lock, under which the client leaves the anchor.
void wakeDCHclient(DPAB* anchor, ProcessEntry* self, TaskState& state) {
  BSV1_GetLock(&anchor->dchWaitQueueLock);
  if (ProcessEntry* client = anchor->dchClientEntry.load()) {
    BSV1_GetLock(&client->workQueueLock);
    bool waiting = client->workQueue != nullptr;
    BSV1_ReleaseLock(&client->workQueueLock);
    if (waiting || self->terminationFlag != 0) {
      pthread_mutex_lock(&client->mutex);
      pthread_cond_signal(&client->condition);
      pthread_mutex_unlock(&client->mutex);
      ++state.workUnits;
    }
  }
  BSV1_ReleaseLock(&anchor->dchWaitQueueLock);
}

// Step 2: requests queued before the DCH client ran.
void handOverWaitingRequests(DPAB* anchor, TaskState& state) {
  BSV1_GetLock(&anchor->dchWaitQueueLock);
  bool waiting = anchor->dchWaitQueue != nullptr && anchor->dchClientEntry.load() != nullptr;
  BSV1_ReleaseLock(&anchor->dchWaitQueueLock);
  if (!waiting) return;
  ZEVP_EnqueueWaitingDCHrequests(anchor);
  ++state.workUnits;
}

// Step 3: file servers waiting for their file, or for their source to be online.
void wakeFileServers(DPAB* anchor, const PeriodicSettings& settings, TaskState& state) {
  bool signalled = false;
  BSV1_GetLock(&anchor->fileIOListLock);
  for (IOEntry* input = anchor->fileIOEntries; input != nullptr; input = input->NextOfKind) {
    bool due = input->Stream == nullptr ? ZEVP_FileWaitPending(input) != 0
                                        : input->Source != nullptr && ZEVP_SourceStateOf(input->Source) == ZEVP_Ready;
    if (!due) continue;
    ZEVP_WakeFileServer(input);
    signalled = true;
    if (++state.fileWakeups > settings.cycle.scanDelayCycles) {
      state.fileWakeups = 0;
      ++state.workUnits;
    }
  }
  BSV1_ReleaseLock(&anchor->fileIOListLock);
  if (!signalled) state.fileWakeups = 0;
}

// Step 4: the select loops wake and see their termination flag.
void interruptListeners(DPAB* anchor) {
  if (anchor->inputServerListening != 0) ZEVP_SendSelectInterrupt(anchor->dpType, SelectShutDownMsg);
  if (anchor->metaServerListening != 0) ZEVP_SendSelectInterrupt(ZEVP_METAFILE_SERVER_TYPE, SelectShutDownMsg);
}

// An application may still be taking its tables from its metafile (a console IMPORT)
// while it is on the list already: its lists are read under their own locks.
SourceEntry* firstSourceOf(ApplicationEntry* application) {
  BSV1_GetLock(&application->TableListLock);
  TableEntry* table = application->FirstTable;
  SourceEntry* first = nullptr;
  if (table != nullptr) {
    BSV1_GetLock(&table->SourceListLock);
    first = table->FirstSource;
    BSV1_ReleaseLock(&table->SourceListLock);
  }
  BSV1_ReleaseLock(&application->TableListLock);
  return first;
}

// Step 5: the log source's delayed registration and online, else the first
// application whose registration the agent deferred.
void retryRegistrations(DPAB* anchor) {
  if (SourceEntry* log = anchor->logSource) {
    if (ZEVP_SourceStateOf(log) == ZEVP_Pending) {
      ZEVP_UpdateSourceEntryState(log, ZEVP_Register);
      TRC(TRC_DETAIL, "Enqueue delayed application registration 1");
      ZEVP_EnqueueSourceToDCH(anchor, log);
      return;
    }
    if (ZEVP_SourceStateOf(log) == ZEVP_Register) ZEVP_UpdateSourceEntryState(log, ZEVP_Ready);
    if (ZEVP_SourceStateOf(log) == ZEVP_Ready) {
      TRC(TRC_DETAIL, "Enqueue delayed dp_online");
      ZEVP_EnqueueSourceToDCH(anchor, log);
      return;
    }
  }
  BSV1_GetLock(&anchor->applicationListLock);
  for (ApplicationEntry* application = anchor->applications; application != nullptr; application = application->next) {
    SourceEntry* first = firstSourceOf(application);
    if (first == nullptr) continue;
    BSV1_GetLock(&first->DataLock);
    if (ZEVP_SourceStateOf(first) == ZEVP_Pending) {
      ZEVP_UpdateSourceEntryState(first, ZEVP_Register);
      TRC(TRC_DETAIL, "Enqueue application registration 2");
      ZEVP_EnqueueSourceToDCH(anchor, first);
    }
    BSV1_ReleaseLock(&first->DataLock);
  }
  BSV1_ReleaseLock(&anchor->applicationListLock);
}

// Step 6: the SNMP data provider's periodic reports.
void reportSNMP(DPAB* anchor, const PeriodicSettings& settings, TaskState& state, int64_t now) {
  if (now - state.lastMIBinterestUpdate > settings.snmpNetDataTTL / 2) {
    zevp::Routines().updateMIBinteresToDCH(anchor);
    state.lastMIBinterestUpdate = now;
  }
  if (now - state.lastNoDataReport > kNoDataReportSeconds) {
    zevp::Routines().doNoDataStatusReport(anchor);
    state.lastNoDataReport = now;
  }
}

// Step 7: at most one copy a cycle whose rows have expired goes offline.
bool orderExpiredOffline(DPAB* anchor, int64_t now) {
  bool ordered = false;
  BSV1_GetLock(&anchor->offlineQueueLock);
  for (SourceEntry* copy = anchor->delayedOfflineQueue; copy != nullptr; copy = copy->NextInOfflineQueue) {
    if (copy->DataExpiryTime > now || ZEVP_SourceStateOf(copy) == ZEVP_Inactive) continue;
    ZEVP_UpdateSourceEntryState(copy, ZEVP_Inactive);
    TRC(TRC_DETAIL, "Enqueue delayed dp_offline");
    ZEVP_EnqueueSourceToDCH(anchor, copy);
    ordered = true;
    break;
  }
  BSV1_ReleaseLock(&anchor->offlineQueueLock);
  return ordered;
}

// Step 10: summary intervals that have ended send their rows.
void endSummaries(DPAB* anchor, const TaskState& state, int64_t now) {
  BSV1_GetLock(&anchor->applicationListLock);
  for (ApplicationEntry* application = anchor->applications; application != nullptr; application = application->next) {
    BSV1_GetLock(&application->TableListLock);
    for (TableEntry* table = application->FirstTable; table != nullptr; table = table->next) {
      BSV1_GetLock(&table->SourceListLock);
      for (SourceEntry* source = table->FirstSource; source != nullptr; source = source->next) {
        if (source->Summary == nullptr) continue;
        if (!zevp::Routines().summaryIntervalEnded(source, now, state.summaryAgeLimit)) continue;
        ZEVP_UpdateSourceEntryState(source, ZEVP_Output);
        TRC(TRC_DETAIL, "Enqueue End Summary request for %s", table->TableName);
        ZEVP_EnqueueSourceToDCH(anchor, source);
      }
      BSV1_ReleaseLock(&table->SourceListLock);
    }
    BSV1_ReleaseLock(&application->TableListLock);
  }
  BSV1_ReleaseLock(&anchor->applicationListLock);
}

bool partnersListed(DPAB* anchor) {
  BSV1_GetLock(&anchor->sockIOListLock);
  bool listed = anchor->sockIOEntries != nullptr;
  BSV1_ReleaseLock(&anchor->sockIOListLock);
  return listed;
}

// The cycle's work after the DCH and file steps, while the data provider runs.
void runCycleWork(DPAB* anchor, ProcessEntry* self, const PeriodicSettings& settings, TaskState& state) {
  int64_t now = Now();
  if (now - state.lastRegistrationCheck > kRegistrationCheckSeconds) {
    retryRegistrations(anchor);
    state.lastRegistrationCheck = now;
  }
  if (anchor->dpType == ZEV_DP_SNMP) reportSNMP(anchor, settings, state, now);
  if (orderExpiredOffline(anchor, now)) ++state.workUnits;
  if (ZEVP_ExpireIdleUDPpartners(anchor, self, now)) state.workUnits += settings.cycle.activityDelayCycles;
  int window = settings.cycle.outageWindow;
  if (window > 0 && now - state.lastProbePass > window && partnersListed(anchor)) {
    if (ZEVP_ProbeTCPpartners(anchor, self, now, settings.disconnectByTTL)) {
      state.workUnits += settings.cycle.activityDelayCycles;
      ZEVP_SendSelectInterrupt(anchor->dpType, SelectDeleteMsg);
    }
    state.lastProbePass = now;
  }
  if (now >= state.firstSummaryCheck) endSummaries(anchor, state, now);
}

// Sleeps the cycle a second at a time, so that the end of the data provider is
// seen within a second; while it ends, a second per cycle, cut short when the last
// other thread has gone.
void sleepCycle(ProcessEntry* self, int seconds, bool terminating) {
  if (terminating) {
    ZEVP_AwaitThreadCountBelow(self->anchor, 2, 1);
    return;
  }
  for (int slept = 0; slept < seconds; ++slept) {
    BSV1_Sleep(1);
    if (self->terminationFlag != 0) break;
  }
}

}  // namespace

void ZEVP_TaskPeriodical(ProcessEntry* entry) {
  DPAB* anchor = entry->anchor;
  entry->threadId = BSV1_ThreadID();
  TRC(TRC_DETAIL, ">>>>> Background activity periodical process started. Thread: %lX", entry->threadId.load());
  PeriodicSettings settings = readSettings();
  int64_t start = Now();
  TaskState state{start, start, start, start,
                  start + (anchor->batchMode != 0 ? kBatchSummaryAgeLimit : kSummaryAgeLimit),
                  anchor->batchMode != 0 ? kBatchSummaryAgeLimit : kSummaryAgeLimit};
  PeriodicCycleState cycle;

  for (;;) {
    state.workUnits = 0;
    wakeDCHclient(anchor, entry, state);
    handOverWaitingRequests(anchor, state);
    wakeFileServers(anchor, settings, state);
    bool terminating = entry->terminationFlag != 0;
    if (terminating) {
      interruptListeners(anchor);
      state.workUnits += settings.cycle.activityDelayCycles;
    } else {
      runCycleWork(anchor, entry, settings, state);
    }
    int seconds = ZEVP_NextCycleTime(settings.cycle, cycle, state.workUnits, terminating);
    TRC(TRC_DETAIL, "Scan waits on activity - interval %d, delay %d", seconds, cycle.cyclesSinceChange);
    sleepCycle(entry, seconds, terminating);
    ++cycle.cyclesSinceChange;
    if (entry->terminationFlag != 0 && ZEVP_ActiveThreadCount(anchor) < 2) break;
  }

  unsigned long threadId = entry->threadId.load();
  ZEVP_ReleaseProcessResources(anchor, entry);
  TRC(TRC_DETAIL, ">>>>> Background activity periodical process ended. Thread: %lX", threadId);
  ZEVP_EndThread();
}
