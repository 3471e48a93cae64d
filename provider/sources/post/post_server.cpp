// The life of the POST server thread: the application defined and registered, the
// wait until the agent has it online, the listen service, and the source taken
// offline at its end.
#include "post_server.h"

#include <cstdio>

#include "application_entry.h"
#include "dch_work_queue.h"
#include "dp_anchor.h"
#include "engine_routines.h"
#include "model_release.h"
#include "process_entry.h"
#include "shutdown_request.h"
#include "source_entry.h"
#include "table_entry.h"
#include "trc1.h"
#include "validation_messages.h"

TRC_UNIT();

namespace {

constexpr unsigned kOnlineLookSeconds = 5;

void Order(DPAB* anchor, ProcessEntry* entry, SourceEntry* source, int32_t state) {
  zevp::EngineRoutines& routines = zevp::Routines();
  routines.updateSourceEntryState(source, state);
  routines.queueAndWaitDCHstatus(anchor, entry, source);
}

void EndDataProvider(DPAB* anchor) {
  anchor->shutdownFlag = 1;
  zevp::NotifyShutdownFlagSet();
}

bool ToldToEnd(DPAB* anchor, const ProcessEntry* entry) {
  return entry->terminationFlag == 1 || anchor->shutdownFlag != 0;
}

// False when the agent refused it: the application is then released.
bool Register(DPAB* anchor, ProcessEntry* entry, ApplicationEntry* application, SourceEntry* source) {
  Order(anchor, entry, source, ZEVP_Register);
  switch (ZEVP_SourceStateOf(source)) {
    case ZEVP_Ready:
    case ZEVP_Pending:
      return true;
    case ZEVP_Register:  // the agent knows the application already
      zevp::Routines().updateSourceEntryState(source, ZEVP_Ready);
      ZEVP_ReleaseApplGroupHelp(application);
      return true;
    default:
      TRC(TRC_ERROR, "*** dp_register failed for Post DP");
      ZEVP_ReleaseApplResources(anchor, application, 1);
      ZEVP_DisplayValidationMessage(ZEVPV87E, nullptr);
      return false;
  }
}

// Until the periodic task's retried registration has made the source Ready; false
// when the thread is told to end first. *delayed: the operator was told.
bool AwaitAgent(DPAB* anchor, ProcessEntry* entry, SourceEntry* source, bool* delayed) {
  BSV1_GetLock(&source->DataLock);
  while (ZEVP_SourceStateOf(source) != ZEVP_Ready && !ToldToEnd(anchor, entry)) {
    BSV1_ReleaseLock(&source->DataLock);
    if (!*delayed) {
      std::printf("On-Line delayed. Wait for connecting to agent\n");
      std::fflush(stdout);
      *delayed = true;
    }
    BSV1_Sleep(kOnlineLookSeconds);
    BSV1_GetLock(&source->DataLock);
  }
  bool ready = ZEVP_SourceStateOf(source) == ZEVP_Ready;
  BSV1_ReleaseLock(&source->DataLock);
  return ready && !ToldToEnd(anchor, entry);
}

void Serve(DPAB* anchor, ProcessEntry* entry, ApplicationEntry* application) {
  SourceEntry* source = application->FirstTable->FirstSource;
  source->OwningTask = entry;
  if (!Register(anchor, entry, application, source)) {
    EndDataProvider(anchor);
    return;
  }
  bool delayed = false;
  if (!AwaitAgent(anchor, entry, source, &delayed)) return;
  Order(anchor, entry, source, ZEVP_Ready);  // online
  if (delayed) {
    std::printf("Agent contacted\n");
    std::fflush(stdout);
  }
  ZEVP_PostListenService(anchor, entry, application);
  Order(anchor, entry, source, ZEVP_Inactive);  // offline
}

}  // namespace

void ZEVP_PostServer(ProcessEntry* entry) {
  DPAB* anchor = entry->anchor;
  entry->threadId = BSV1_ThreadID();
  unsigned long thread = entry->threadId.load();
  TRC(TRC_FLOW, ">>>>> Post DP server process started. Thread: %lX", thread);
  BSV1_GetLock(&entry->TerminationLock);
  ApplicationEntry* application = ZEVP_DefineDPpostApplication(anchor);
  if (application == nullptr)
    EndDataProvider(anchor);
  else
    Serve(anchor, entry, application);
  BSV1_ReleaseLock(&entry->TerminationLock);
  ZEVP_ReleaseProcessResources(anchor, entry);
  TRC(TRC_FLOW, ">>>>> Post DP server process ended. Thread: %lX", thread);
  ZEVP_EndThread();
}
