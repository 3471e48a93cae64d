// The life of a file server thread: the wait for its source's registration, the
// file (by pattern), the setup, passes and the waits between them, the checks for
// a switched or re-created file, and its end.
#include "file_server.h"

#include <cctype>
#include <string>

#include "bsv1.h"
#include "dp_anchor.h"
#include "dch_work_queue.h"
#include "dp_log.h"
#include "engine_routines.h"
#include "file_monitor.h"
#include "file_selection.h"
#include "file_pattern_control_block.h"
#include "io_entry.h"
#include "process_entry.h"
#include "source_entry.h"
#include "table_entry.h"
#include "trc1.h"
#include "zev0/env.h"
#include "zev0/storage.h"

TRC_UNIT();

namespace zevp {

namespace {

constexpr unsigned kRegistrationLookSeconds = 5;
constexpr unsigned kEndPauseSeconds = 3;

bool SwitchOn(const char* value) { return value != nullptr && std::toupper(static_cast<unsigned char>(value[0])) == 'Y'; }

int64_t Now() {
  BSV1_Time now;
  BSV1_GetTime(&now);
  return now.seconds;
}

// The source stays Pending or Register until its application is registered.
bool AwaitRegistration(FileMonitor& monitor) {
  SourceEntry* source = monitor.source;
  BSV1_GetLock(&source->DataLock);
  auto registering = [source] {
    int32_t state = ZEVP_SourceStateOf(source);
    return state == ZEVP_Pending || state == ZEVP_Register;
  };
  while (registering() && !monitor.toldToEnd()) {
    BSV1_ReleaseLock(&source->DataLock);
    TRC(TRC_DETAIL, "Wait for registration to complete");
    BSV1_Sleep(kRegistrationLookSeconds);
    BSV1_GetLock(&source->DataLock);
  }
  bool ready = ZEVP_SourceStateOf(source) == ZEVP_Ready;
  BSV1_ReleaseLock(&source->DataLock);
  return ready && !monitor.toldToEnd();
}

// The wait between passes: over 30 seconds in steps that notice the end.
void AwaitNextPass(const FileMonitor& monitor) {
  TRC(TRC_UNIT_DETAIL, ">>>>> wait for next sample/event");
  const SamplingFrequency& frequency = monitor.frequency;
  if (frequency.frequency <= 30) {
    SleepUnlessToldToEnd(monitor, frequency.frequency);
    return;
  }
  int64_t start = Now();
  while (Now() - start < frequency.testFrequency && !monitor.toldToEnd()) BSV1_Sleep(frequency.testInterval);
}

// A pattern's file is looked for again once its switch-check interval has passed;
// false when no file is left (all-match mode: every file was monitored). *switched
// tells whether another file was selected.
bool CheckFileSwitch(FileMonitor& monitor, int64_t* nextCheck, bool* switched) {
  *switched = false;
  if (monitor.spec->PatternFlag == 0) return true;
  if (monitor.anchor->batchMode == 0 && Now() < *nextCheck) return true;
  std::string previous = monitor.fileName();
  ZEVP_DetermineCurrentMonitorFileName(monitor.spec, monitor.allMatch ? 1 : 0);
  if (monitor.spec->CurrentSpecFileName == nullptr) return false;
  *switched = previous != monitor.spec->CurrentSpecFileName;
  *nextCheck = Now() + monitor.spec->SwitchCheckInterval;
  return true;
}

// A file whose first line changed since the last pass was switched, re-created or
// copied over: it is read again from its beginning. False in batch mode once the
// file stays the same (its one pass is done).
bool CheckFileIdentity(FileMonitor& monitor, bool switched) {
  if (!switched && IsSameFile(&monitor.identity, monitor.fileName(), monitor.io->RecordLength)) {
    monitor.restart = 0;
    return monitor.anchor->batchMode == 0;
  }
  TRC(TRC_DETAIL, ">>>>>>File switched or re-created or copied. Restart monitor from beginning<<<<<<");
  monitor.restart = 1;
  monitor.previousCount = 0;
  monitor.identity = ReadFileIdentity(monitor.fileName(), monitor.io->RecordLength);
  monitor.spec->IdentityCheckSum = monitor.identity.checkSum;
  // Also a file found empty: what is written into it before the next pass is new.
  if (monitor.identity.opened) {
    monitor.previousEnd = monitor.savedPosition = 0;
    ZEVP_SendDPlogMessage(monitor.anchor, 75, monitor.fileName());
  }
  return true;
}

// The source goes offline (and the groups it routes to with it).
void TakeOffline(FileMonitor& monitor) {
  Routines().updateSourceEntryState(monitor.source, ZEVP_Inactive);
  if (!monitor.unregistered) Routines().queueAndWaitDCHstatus(monitor.anchor, monitor.server, monitor.source);
  if (monitor.table->RoutingBlock != nullptr)
    Routines().checkRedirectSourceOffline(monitor.anchor, monitor.source, monitor.table->RoutingBlock);
}

void FileGone(FileMonitor& monitor) {
  TRC(TRC_ERROR, "***** Monitoring file %s no longer exists!", monitor.fileName());
  ZEVP_SendDPlogMessage(monitor.anchor, 54, monitor.fileName());
  TakeOffline(monitor);
}

enum class Outcome { ended, offline };

// Passes until the thread is told to end or its file is gone for good; offline:
// the source is to go offline as the thread ends.
Outcome Monitor(FileMonitor& monitor) {
  int64_t nextSwitchCheck = Now() + monitor.spec->SwitchCheckInterval;
  for (;;) {
    if (!SetUpFileMonitoring(monitor)) return Outcome::ended;
    for (;;) {
      PassEnd pass = RunFilePass(monitor);
      if (pass == PassEnd::ended) return Outcome::offline;
      if (pass == PassEnd::fileGone) {
        FileGone(monitor);
        break;
      }
      if (monitor.anchor->batchMode == 0) AwaitNextPass(monitor);
      bool switched = false;
      if (!CheckFileSwitch(monitor, &nextSwitchCheck, &switched)) return Outcome::offline;
      if (!CheckFileIdentity(monitor, switched)) return Outcome::offline;
      if (monitor.toldToEnd()) return Outcome::offline;
    }
    if (monitor.toldToEnd()) return Outcome::ended;
  }
}

// The source's server thread, recorded under the anchor's file list lock, under
// which the start of the file servers looks at it.
void RecordServer(FileMonitor& monitor, ProcessEntry* entry) {
  BSV1_GetLock(&monitor.anchor->fileIOListLock);
  monitor.spec->FileServer = entry;
  BSV1_ReleaseLock(&monitor.anchor->fileIOListLock);
}

void ForgetSelection(FileSpecControlBlock* spec) {
  if (spec->PatternFlag != 0) ZEV0_FreeStorage(&spec->CurrentSpecFileName);
  while (SelectedFileEntry* selected = spec->SpecSelectedFileList) {
    spec->SpecSelectedFileList = selected->next;
    ZEV0_FreeStorage(&selected);
  }
}

[[noreturn]] void EndFileServer(FileMonitor& monitor, ProcessEntry* entry) {
  monitor.rule.reset();
  if (monitor.monitoring) ZEVP_SendDPlogMessage(monitor.anchor, 17, monitor.fileName());
  ForgetSelection(monitor.spec);
  RecordServer(monitor, nullptr);
  if (monitor.source->OwningTask == entry) monitor.source->OwningTask = nullptr;
  TRC(TRC_DETAIL, "Releasing TerminationLock for PEptr @%p", static_cast<void*>(entry));
  BSV1_ReleaseLock(&entry->TerminationLock);
  BSV1_Sleep(kEndPauseSeconds);
  DPAB* anchor = entry->anchor;
  unsigned long thread = entry->threadId;
  ZEVP_ReleaseProcessResources(anchor, entry);
  TRC(TRC_FLOW, ">>>>> DP file server process ended. Thread: %lX", thread);
  ZEVP_EndThread();
}

}  // namespace

}  // namespace zevp

void ZEVP_FileServer(ProcessEntry* entry) {
  auto* source = static_cast<SourceEntry*>(entry->parameter);
  if (source == nullptr || source->FileSpec == nullptr || source->IO == nullptr || source->Table == nullptr) {
    TRC(TRC_ERROR, "*** Logic error. file server process parm NULL");
    ZEVP_ReleaseProcessResources(entry->anchor, entry);
    ZEVP_EndThread();
  }
  zevp::FileMonitor monitor;
  monitor.anchor = entry->anchor;
  monitor.server = entry;
  monitor.source = source;
  monitor.table = source->Table;
  monitor.io = source->IO;
  monitor.spec = source->FileSpec;
  monitor.unregistered = source->Table->TableName[0] == '~';
  monitor.allMatch = zevp::SwitchOn(ZEV0_GetEnv("ZEVP_PROCESS_ALL_MATCH_PATTERN_FILES", "N"));
  zevp::RecordServer(monitor, entry);
  source->OwningTask = entry;
  BSV1_GetLock(&entry->TerminationLock);

  if (zevp::AwaitRegistration(monitor)) {
    monitor.frequency = ZEVP_ComputeSamplingFrequency(
        monitor.table->DataType[0], monitor.table->TTL, monitor.io->Mode == 'C',
        ZEV0_GetEnv("ZEVP_DP_EVENT", nullptr), ZEV0_GetEnv("ZEVP_DP_SAMPLE_FACTOR", nullptr));
    if (monitor.spec->PatternFlag != 0) ZEVP_DetermineCurrentMonitorFileName(monitor.spec, monitor.allMatch ? 1 : 0);
    if (monitor.spec->CurrentSpecFileName != nullptr && zevp::Monitor(monitor) == zevp::Outcome::offline) {
      TRC(TRC_DETAIL, ">>>>> File server waits for dp_offline notification");
      zevp::TakeOffline(monitor);
    }
  }
  zevp::EndFileServer(monitor, entry);
}
