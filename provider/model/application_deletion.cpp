#include "application_deletion.h"

#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "application_entry.h"
#include "dch_work_queue.h"
#include "dp_anchor.h"
#include "dp_log_numbers.h"
#include "engine_routines.h"
#include "file_pattern_control_block.h"
#include "internal_routing.h"
#include "io_entry.h"
#include "model_release.h"
#include "process_entry.h"
#include "select_interrupt.h"
#include "source_entry.h"
#include "table_entry.h"
#include "trc1.h"
#include "zev/dp_types.h"
#include "zev0/sockets.h"

TRC_UNIT();

namespace {

int64_t now() {
  BSV1_Time time;
  BSV1_GetTime(&time);
  return time.seconds;
}

bool online(int32_t state) { return state == ZEVP_Active || state == ZEVP_Input || state == ZEVP_Output; }

// Waits until a pinned thread has finished its current work (it holds its
// TerminationLock while it works), then unpins it.
void awaitTermination(ProcessEntry* entry) {
  TRC(TRC_DETAIL, "Waiting for TerminationLock for PEptr @%p", static_cast<void*>(entry));
  BSV1_GetLock(&entry->TerminationLock);
  TRC(TRC_DETAIL, "Acquired TerminationLock for PEptr @%p", static_cast<void*>(entry));
  BSV1_ReleaseLock(&entry->TerminationLock);
  ZEVP_UnpinProcessEntry(entry);
}

// The source's file server, pinned, or null. The server clears its record of itself
// under this lock before it ends, so a server found here is not yet freed.
ProcessEntry* pinnedFileServer(DPAB* anchor, const SourceEntry* source, bool tellToEnd) {
  BSV1_GetLock(&anchor->fileIOListLock);
  ProcessEntry* server = source->FileSpec != nullptr ? source->FileSpec->FileServer : nullptr;
  if (server != nullptr) {
    ZEVP_PinProcessEntry(server);
    if (tellToEnd) {
      pthread_mutex_lock(&server->mutex);
      server->terminationFlag = 1;
      pthread_cond_signal(&server->condition);
      pthread_mutex_unlock(&server->mutex);
    }
  }
  BSV1_ReleaseLock(&anchor->fileIOListLock);
  return server;
}

// A file server is told to end and awaited. It holds its TerminationLock from its
// start until it has let go of its source (its record of itself cleared last), so
// the lock is taken again until the record is gone: a server that had not taken
// it yet is then past its source too.
void stopFileServer(DPAB* anchor, SourceEntry* source) {
  ProcessEntry* server = pinnedFileServer(anchor, source, true);
  if (server == nullptr) return;
  if (source->IO != nullptr) ZEVP_WakeFileServer(source->IO);
  for (;;) {
    awaitTermination(server);
    ProcessEntry* still = pinnedFileServer(anchor, source, false);
    if (still != server) {
      if (still != nullptr) ZEVP_UnpinProcessEntry(still);
      return;
    }
    std::this_thread::yield();
  }
}

// A partner's source goes: its I/O entry is marked for the socket server to drop
// it, and a source the agent still shows is taken offline on the calling thread's
// entry (or the anchor's lent one).
void stopPartner(DPAB* anchor, SourceEntry* source) {
  zevp::EngineRoutines& routines = zevp::Routines();
  IOEntry* io = source->IO;
  if (io != nullptr) {
    __atomic_store_n(&io->Active, 0, __ATOMIC_RELEASE);
    __atomic_store_n(&io->NewBinding, 1, __ATOMIC_RELEASE);
    ZEVP_SendSelectInterrupt(anchor->dpType, SelectDeleteMsg);
    // A datagram partner's socket is the server's own UDP socket, which stays open;
    // a TCP partner's is its connection, closed once (its connection socket with it).
    BSV1_GetLock(&io->Lock);
    if (io->ConnectionSocket != 0) {
      TRC(TRC_DETAIL, "Calling ZEV0_CloseTheSocket for socket %d", io->ConnectionSocket);
      ZEV0_CloseTheSocket(io->ConnectionSocket);
      io->ConnectionSocket = 0;
    }
    io->Socket = 0;
    BSV1_ReleaseLock(&io->Lock);
  }
  int32_t state = ZEVP_SourceStateOf(source);
  int64_t time = now();
  if (!online(state) && !(state == ZEVP_Ready && source->DataExpiryTime >= time)) return;
  ProcessEntry* waiter = ZEVP_LocateOwnProcessEntry(anchor);
  bool lent = waiter == nullptr;
  if (lent) {
    BSV1_GetLock(&anchor->statPELock);
    waiter = anchor->pStatPE;
  }
  if (waiter != nullptr) {
    ProcessEntry* owner = ZEVP_LendSource(source, waiter);
    source->DataExpiryTime = time;  // the offline is not postponed
    routines.updateSourceEntryState(source, ZEVP_Inactive);
    routines.processSockRequestByState(anchor, waiter, io, 0, nullptr);
    ZEVP_GiveSourceBack(source, waiter, owner);
  } else {
    TRC(TRC_ERROR, "*****Error: no waiting entry to take source @%p offline", static_cast<void*>(source));
  }
  if (lent) BSV1_ReleaseLock(&anchor->statPELock);
}

void stopSNMPcollection(SourceEntry* source) {
  BSV1_GetLock(&source->EntryLock);
  ProcessEntry* collector = source->OwningTask;
  if (collector != nullptr) ZEVP_PinProcessEntry(collector);
  BSV1_ReleaseLock(&source->EntryLock);
  if (collector == nullptr) return;
  zevp::Routines().stopSNMPcollection(source);
  awaitTermination(collector);
}

void stopSource(DPAB* anchor, SourceEntry* source) {
  switch (source->SourceType) {
    case ZEVP_SOURCE_FILE:
      stopFileServer(anchor, source);
      break;
    case ZEVP_SOURCE_SOCK:
    case ZEVP_SOURCE_BASE:
      stopPartner(anchor, source);
      break;
    case ZEVP_SOURCE_SNMP:
      stopSNMPcollection(source);
      break;
    default:
      break;
  }
}

}  // namespace

void ZEVP_DeleteExistingApplication(DPAB* anchor, ApplicationEntry* application) {
  if (anchor == nullptr || application == nullptr) return;
  BSV1_GetLock(&anchor->applDefinitionLock);
  // The groups and sources are gathered under the application's locks, and their
  // threads awaited out of them: a thread that ends may wait for the DCH client,
  // which takes them to register the application again.
  std::vector<std::pair<TableEntry*, std::vector<SourceEntry*>>> groups;
  BSV1_GetLock(&application->TableListLock);
  BSV1_GetLock(&application->EntryLock);
  for (TableEntry* table = application->FirstTable; table != nullptr; table = table->next) {
    groups.emplace_back(table, std::vector<SourceEntry*>());
    BSV1_GetLock(&table->SourceListLock);
    for (SourceEntry* source = table->FirstSource; source != nullptr; source = source->next)
      groups.back().second.push_back(source);
    BSV1_ReleaseLock(&table->SourceListLock);
  }
  BSV1_ReleaseLock(&application->EntryLock);
  BSV1_ReleaseLock(&application->TableListLock);
  for (const auto& [table, sources] : groups) {
    for (SourceEntry* source : sources) stopSource(anchor, source);
    zevp::RemoveTableFromRouting(anchor, table);
  }
  if (application->SNMPapplication != 0 && anchor->dpType == ZEV_DP_SNMP)
    zevp::Routines().snmpApplOffline(anchor, application);
  std::string name = application->ApplName;
  zevp::Routines().sendDPlogMessage(anchor, ZEVP_DPLOG_APPLICATION_DELETED, name.c_str(), nullptr, nullptr, nullptr,
                                    nullptr);
  ZEVP_ReleaseApplResources(anchor, application, 0);
  BSV1_ReleaseLock(&anchor->applDefinitionLock);
}
