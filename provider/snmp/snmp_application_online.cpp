#include "snmp_application_online.h"

#include <vector>

#include "application_entry.h"
#include "dp_anchor.h"
#include "engine_routines.h"
#include "process_entry.h"
#include "source_entry.h"
#include "source_states.h"
#include "table_entry.h"
#include "trc1.h"
#include "zev/dp_types.h"

TRC_UNIT();

namespace {

constexpr int32_t kAttributesOfACollectedTable = 3;

enum class Direction { online, offline };

bool Takes(const DPAB* anchor, const ApplicationEntry* application) {
  return application != nullptr && application->SNMPapplication != 0 && anchor->dpType == ZEV_DP_SNMP;
}

// The sources to move, gathered under the application's locks; the DCH requests are
// made out of them, since the DCH client may take them meanwhile.
std::vector<SourceEntry*> SourcesOf(ApplicationEntry* application, Direction direction) {
  std::vector<SourceEntry*> sources;
  BSV1_GetLock(&application->TableListLock);
  BSV1_GetLock(&application->EntryLock);
  for (TableEntry* table = application->FirstTable; table != nullptr; table = table->next) {
    BSV1_GetLock(&table->CounterLock);
    int32_t attributes = table->AttributesDefined;
    BSV1_ReleaseLock(&table->CounterLock);
    if (direction == Direction::online && attributes < kAttributesOfACollectedTable) break;
    BSV1_GetLock(&table->SourceListLock);
    for (SourceEntry* source = table->FirstSource; source != nullptr; source = source->next) sources.push_back(source);
    BSV1_ReleaseLock(&table->SourceListLock);
  }
  BSV1_ReleaseLock(&application->EntryLock);
  BSV1_ReleaseLock(&application->TableListLock);
  return sources;
}

// Each source waits for its request on a process entry made for the call.
void Move(DPAB* anchor, ApplicationEntry* application, Direction direction) {
  std::vector<SourceEntry*> sources = SourcesOf(application, direction);
  ProcessEntry* entry = ZEVP_InitializeProcessEntry(anchor);
  if (entry == nullptr) {
    TRC(TRC_ERROR, "***** No process entry for the tables of application %s", application->ApplName);
    return;
  }
  zevp::EngineRoutines& routines = zevp::Routines();
  const int32_t state = direction == Direction::online ? ZEVP_Ready : ZEVP_Inactive;
  for (SourceEntry* source : sources) {
    BSV1_GetLock(&source->EntryLock);
    ProcessEntry* own = source->OwningTask;
    source->OwningTask = entry;
    BSV1_ReleaseLock(&source->EntryLock);
    routines.updateSourceEntryState(source, state);
    routines.queueAndWaitDCHstatus(anchor, entry, source);
    BSV1_GetLock(&source->EntryLock);
    source->OwningTask = own;
    BSV1_ReleaseLock(&source->EntryLock);
  }
  ZEVP_DestroyProcessEntry(entry);
}

}  // namespace

void ZEVP_SNMPapplOnline(DPAB* anchor, ApplicationEntry* application) {
  if (!Takes(anchor, application)) {
    TRC(TRC_DETAIL, ">>>>> dp_online bypassed for non-SNMP DP or application");
    return;
  }
  Move(anchor, application, Direction::online);
}

void ZEVP_SNMPapplOffline(DPAB* anchor, ApplicationEntry* application) {
  if (!Takes(anchor, application)) {
    TRC(TRC_DETAIL, ">>>>> dp_offline bypassed for non-SNMP DP or application");
    return;
  }
  Move(anchor, application, Direction::offline);
}
