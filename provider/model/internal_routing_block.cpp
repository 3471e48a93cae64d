#include "internal_routing_block.h"

#include <cstring>

#include "dp_anchor.h"
#include "metafile_text.h"
#include "trc1.h"
#include "zev0/storage.h"

TRC_UNIT();

InternalRoutingBlock* ZEVP_CreateInternalRoutingBlock(DPAB* anchor, const char* name) {
  if (anchor == nullptr || name == nullptr) return nullptr;
  BSV1_GetLock(&anchor->internalRoutingLock);
  InternalRoutingBlock** tail = &anchor->internalRoutingBlocks;
  for (; *tail != nullptr; tail = &(*tail)->next) {
    if (std::strcmp((*tail)->Name, name) == 0) {
      InternalRoutingBlock* existing = *tail;
      BSV1_ReleaseLock(&anchor->internalRoutingLock);
      TRC(TRC_DETAIL, "Existing IRB @%p found", static_cast<void*>(existing));
      return existing;
    }
  }
  auto* block = static_cast<InternalRoutingBlock*>(ZEV0_GetStorage(sizeof(InternalRoutingBlock)));
  if (block != nullptr) {
    std::memset(block, 0, sizeof *block);
    block->Name = zevp::NewStorageText(name);
    if (block->Name == nullptr) {
      ZEV0_FreeStorage(&block);
    } else {
      BSV1_InitializeLock(&block->Lock);
      *tail = block;
      TRC(TRC_STORAGE, "Allocated InternalRoutingBlock @%p", static_cast<void*>(block));
    }
  }
  BSV1_ReleaseLock(&anchor->internalRoutingLock);
  if (block == nullptr) TRC(TRC_ERROR, "***** Unable to obtain storage for InternalRoutingBlock <%s>", name);
  return block;
}
