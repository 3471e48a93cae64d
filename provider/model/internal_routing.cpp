#include "internal_routing.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "attribute_copies.h"
#include "attribute_order.h"
#include "dch_work_queue.h"
#include "engine_routines.h"
#include "internal_routing_block.h"
#include "metafile_text.h"
#include "process_entry.h"
#include "record_paths.h"
#include "source_entry.h"
#include "summary_block.h"
#include "summary_definition.h"
#include "table_entry.h"
#include "trc1.h"
#include "zev0/storage.h"

TRC_UNIT();

namespace {

// The blocks this thread is routing a row through, innermost last.
thread_local std::vector<const InternalRoutingBlock*> routingHere;

class RoutingOnThisThread {
 public:
  explicit RoutingOnThisThread(const InternalRoutingBlock* block) { routingHere.push_back(block); }
  ~RoutingOnThisThread() { routingHere.pop_back(); }
  RoutingOnThisThread(const RoutingOnThisThread&) = delete;
  RoutingOnThisThread& operator=(const RoutingOnThisThread&) = delete;
  static bool routing(const InternalRoutingBlock* block) {
    return std::find(routingHere.begin(), routingHere.end(), block) != routingHere.end();
  }
};

bool online(const SourceEntry* source) {
  int32_t state = ZEVP_SourceStateOf(source);
  return state == ZEVP_Active || state == ZEVP_Input || state == ZEVP_Output;
}

SourceEntry* routedSourceOf(TableEntry* table, const SourceEntry* origin) {
  BSV1_GetLock(&table->SourceListLock);
  SourceEntry* found = table->FirstSource;
  while (found != nullptr && found->Origin != origin) found = found->next;
  BSV1_ReleaseLock(&table->SourceListLock);
  return found;
}

std::vector<SourceEntry*> routedSourcesOf(TableEntry* table, const SourceEntry* origin) {
  std::vector<SourceEntry*> routed;
  BSV1_GetLock(&table->SourceListLock);
  for (SourceEntry* source = table->FirstSource; source != nullptr; source = source->next)
    if (source->Origin == origin) routed.push_back(source);
  BSV1_ReleaseLock(&table->SourceListLock);
  return routed;
}

// A BASE source of the input group for the origin, with the group's attributes
// and summary, the origin's node name and a waiting entry of its own; Ready.
SourceEntry* makeRoutedSource(DPAB* anchor, TableEntry* table, SourceEntry* origin) {
  ProcessEntry* waiting = ZEVP_InitializeProcessEntry(anchor);
  if (waiting == nullptr) {
    TRC(TRC_ERROR, "*****Error: no waiting entry for a routed source of group <%s>", table->TableName);
    return nullptr;
  }
  SourceEntry* routed = ZEVP_InitializeSourceEntry(anchor, table, "BASE", origin->SourceName, nullptr, nullptr);
  if (routed == nullptr) {
    ZEVP_DestroyProcessEntry(waiting);
    return nullptr;
  }
  routed->OwningTask = waiting;
  routed->OwnsTask = 1;
  routed->Routed = 1;
  BSV1_GetLock(&table->CounterLock);
  ++table->SourceCount;
  BSV1_ReleaseLock(&table->CounterLock);
  ZEVP_CheckCopySourceAttributes(table, table->FirstSource);
  ZEVP_CompleteSummaryTableDefinition(table, 0);
  ZEVP_ConstructAttributeOrderLinkList(nullptr, table);
  routed->Origin = origin;
  ZEV0_FreeStorage(&routed->pSourceNodeName);
  const char* node = origin->pSourceNodeName != nullptr ? origin->pSourceNodeName : "";
  routed->pSourceNodeName = zevp::NewStorageText(node);
  routed->SourceNodeNameLength = static_cast<int32_t>(std::strlen(node));
  TRC(TRC_DETAIL, "Set SEptr->pSourceNodeName <%s> SEptr @%p", node, static_cast<void*>(routed));
  zevp::Routines().updateSourceEntryState(routed, ZEVP_Ready);
  return routed;
}

// Puts a routed source online, unless the switches leave its group out. False when
// its online failed: the group's route then stays pending.
bool bringOnline(DPAB* anchor, TableEntry* table, SourceEntry* routed) {
  const zevp::RoutingSwitchSettings& switches = zevp::RoutingSwitches();
  const SummaryManagementBlock* summary = table->Summary;
  if (switches.bypassBatchGroups && summary != nullptr && summary->SummaryBatchMode != 0) {
    TRC(TRC_DETAIL, "dp_online for attribute group <%s> bypassed due to Bypass Batch Processing requested",
        table->TableName);
    return true;
  }
  if (switches.batchProcessing && summary != nullptr && summary->SummaryBatchMode == 0) {
    TRC(TRC_DETAIL, "Monitor file attribute group <%s> bypassed due to Batch Processing in effect", table->TableName);
    return true;
  }
  zevp::Routines().queueAndWaitDCHstatus(anchor, routed->OwningTask, routed);
  if (ZEVP_SourceStateOf(routed) == ZEVP_Active) return true;
  TRC(TRC_ERROR, "*** dp_online failed for Table <%s>", table->TableName);
  return false;
}

// Storage for a copy of the record; replaced when the record is at least as long
// as the longest routed so far.
bool roomForRecord(InternalRoutingBlock* block, int32_t length) {
  if (block->RecordCopy != nullptr && length < block->RecordLength) return true;
  auto* copy = static_cast<char*>(ZEV0_GetStorage(length + 1));
  if (copy == nullptr) {
    TRC(TRC_ERROR, "*****Error: no storage to route a record of %d bytes through IRB <%s>", length, block->Name);
    return false;
  }
  ZEV0_FreeStorage(&block->RecordCopy);
  block->RecordCopy = copy;
  block->RecordLength = length;
  return true;
}

// One input group's share of a row; false when the group is passed over.
bool routeToGroup(DPAB* anchor, SourceEntry* source, InternalRoutingBlock* block, TableEntry* table,
                  const char* record, int32_t length) {
  SourceEntry* routed = routedSourceOf(table, source);
  if (routed == nullptr) routed = makeRoutedSource(anchor, table, source);
  if (routed == nullptr) return false;
  // Ready: just made, taken offline with its origin (a rotated file), or its online
  // failed before; each time it goes online (again) with its origin's next row.
  if (ZEVP_SourceStateOf(routed) == ZEVP_Ready && !bringOnline(anchor, table, routed)) return false;
  if (ZEVP_SourceStateOf(routed) == ZEVP_Ready || record == nullptr || length <= 0) return true;
  // Each split writes into the record: every group gets a fresh copy.
  std::memcpy(block->RecordCopy, record, static_cast<size_t>(length));
  block->RecordCopy[length] = '\0';
  TRC(TRC_DETAIL, "IRB Name <%s> Moving data <%s> to DCH", block->Name, block->RecordCopy);
  ZEVP_MoveDataToDCH(anchor, routed, block->RecordCopy, length);
  return true;
}

}  // namespace

void ZEVP_DispatchInternalOutput(DPAB* anchor, SourceEntry* source, InternalRoutingBlock* block, const char* record,
                                 int32_t length) {
  if (anchor == nullptr || source == nullptr || block == nullptr) return;
  if (record == nullptr || length < 0) length = 0;
  if (RoutingOnThisThread::routing(block)) {
    TRC(TRC_ERROR, "*****Error: IRB <%s> routes a row that it routed itself: not routed again", block->Name);
    return;
  }
  BSV1_GetLock(&block->Lock);
  RoutingOnThisThread here(block);
  if (roomForRecord(block, length)) {
    block->PendingRoutes = block->InputCount;
    for (TableEntry* table = block->FirstInput; table != nullptr; table = table->NextInputTable)
      if (routeToGroup(anchor, source, block, table, record, length)) --block->PendingRoutes;
    if (block->PendingRoutes != 0) {
      TRC(TRC_ERROR, "*****WARNING: IRB route count forced to zero");
      block->PendingRoutes = 0;
    }
  }
  BSV1_ReleaseLock(&block->Lock);
}

void ZEVP_CheckRedirectSourceOffline(DPAB* anchor, SourceEntry* source, InternalRoutingBlock* block) {
  if (anchor == nullptr || source == nullptr || block == nullptr || block->Output != source->Table) return;
  TRC(TRC_DETAIL, "Do redirect output table receivers offline");
  zevp::EngineRoutines& routines = zevp::Routines();
  BSV1_GetLock(&block->Lock);
  for (TableEntry* table = block->FirstInput; table != nullptr; table = table->NextInputTable) {
    for (SourceEntry* routed : routedSourcesOf(table, source)) {
      // One the agent does not hold online (not yet put online, its online failed,
      // or offline already) has nothing to send and nothing to take offline.
      if (!online(routed)) continue;
      bool flush = false;
      if (SummaryManagementBlock* summary = routed->Summary) {
        BSV1_GetLock(&summary->Lock);
        flush = summary->UsedEntries > 0 && routed->EndBatchSummary == 0;
        if (flush) routed->EndBatchSummary = 1;
        BSV1_ReleaseLock(&summary->Lock);
      }
      // The summary's open interval goes first; the offline after it.
      if (flush) {
        routines.updateSourceEntryState(routed, ZEVP_Output);
        TRC(TRC_DETAIL, ">>>>>Enqueue End Summary request for Table <%s>", table->TableName);
        routines.queueAndWaitDCHstatus(anchor, routed->OwningTask, routed);
      }
      routines.updateSourceEntryState(routed, ZEVP_Inactive);
      routines.queueAndWaitDCHstatus(anchor, routed->OwningTask, routed);
      if (ZEVP_SourceStateOf(routed) != ZEVP_Ready)
        TRC(TRC_ERROR, "*** dp_offline failed for Table <%s> Source @%p", table->TableName,
            static_cast<void*>(routed));
    }
  }
  BSV1_ReleaseLock(&block->Lock);
}
