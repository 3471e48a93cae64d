// Groups that are deleted leave their routing blocks. The anchor's list lock is
// taken before a block's lock, which a routing holds for a whole row: no group is
// unlinked, nor a block freed, under a row in flight.
#include <vector>

#include "dp_anchor.h"
#include "internal_routing.h"
#include "internal_routing_block.h"
#include "model_lists.h"
#include "source_entry.h"
#include "table_entry.h"
#include "trc1.h"
#include "zev0/storage.h"

TRC_UNIT();

namespace {

bool isInput(const InternalRoutingBlock* block, const TableEntry* table) {
  for (const TableEntry* input = block->FirstInput; input != nullptr; input = input->NextInputTable)
    if (input == table) return true;
  return false;
}

// The caller holds the block's lock.
void unlinkInput(InternalRoutingBlock* block, TableEntry* table) {
  zevp::RemoveFromList(&block->FirstInput, table, &TableEntry::NextInputTable);
  table->NextInputTable = nullptr;
  --block->InputCount;
}

// The routed sources of an input group leaving a block whose output group goes
// no longer have an origin.
void forgetOrigins(TableEntry* input, const TableEntry* output) {
  for (SourceEntry* source = input->FirstSource; source != nullptr; source = source->next)
    if (source->Origin != nullptr && source->Origin->Table == output) source->Origin = nullptr;
}

void freeBlock(InternalRoutingBlock* block) {
  TRC(TRC_STORAGE, "Freeing InternalRoutingBlock @%p", static_cast<void*>(block));
  BSV1_DestroyLock(&block->Lock);
  ZEV0_FreeStorage(&block->Name);
  ZEV0_FreeStorage(&block->RecordCopy);
  ZEV0_FreeStorage(&block);
}

}  // namespace

void ZEVP_RemoveTableFromIRB(DPAB* anchor, InternalRoutingBlock* block, TableEntry* table) {
  if (anchor == nullptr || block == nullptr || table == nullptr) return;
  BSV1_GetLock(&anchor->internalRoutingLock);
  BSV1_GetLock(&block->Lock);
  if (isInput(block, table)) {
    unlinkInput(block, table);
    TRC(TRC_DETAIL, "Input table <%s> removed from IRB <%s>", table->TableName, block->Name);
  }
  bool output = block->Output == table;
  if (output) {
    while (TableEntry* input = block->FirstInput) {
      BSV1_GetLock(&input->SourceListLock);
      unlinkInput(block, input);
      forgetOrigins(input, table);
      BSV1_ReleaseLock(&input->SourceListLock);
      TRC(TRC_DETAIL, "Input table <%s> removed from deleting IRB <%s>", input->TableName, block->Name);
    }
    zevp::RemoveFromList(&anchor->internalRoutingBlocks, block);
    TRC(TRC_DETAIL, "IRB <%s> removed from DPAB", block->Name);
    block->Output = nullptr;
    table->RoutingBlock = nullptr;
    TRC(TRC_DETAIL, "Output table <%s> removed from deleting IRB <%s>", table->TableName, block->Name);
  }
  BSV1_ReleaseLock(&block->Lock);
  BSV1_ReleaseLock(&anchor->internalRoutingLock);
  if (output) freeBlock(block);
}

namespace zevp {

void RemoveTableFromRouting(DPAB* anchor, TableEntry* table) {
  std::vector<InternalRoutingBlock*> blocks;
  BSV1_GetLock(&anchor->internalRoutingLock);
  for (InternalRoutingBlock* block = anchor->internalRoutingBlocks; block != nullptr; block = block->next) {
    BSV1_GetLock(&block->Lock);
    if (block->Output == table || isInput(block, table)) blocks.push_back(block);
    BSV1_ReleaseLock(&block->Lock);
  }
  BSV1_ReleaseLock(&anchor->internalRoutingLock);
  for (InternalRoutingBlock* block : blocks) ZEVP_RemoveTableFromIRB(anchor, block, table);
}

}  // namespace zevp
