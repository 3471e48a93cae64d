#include "internal_routing_block.h"

#include <cctype>
#include <cstring>
#include <mutex>

#include "dp_anchor.h"
#include "metafile_text.h"
#include "trc1.h"
#include "zev0/env.h"
#include "zev0/storage.h"

TRC_UNIT();

namespace {

bool begins(const char* value, char letter) {
  return value != nullptr && std::toupper(static_cast<unsigned char>(value[0])) == letter;
}

}  // namespace

namespace zevp {

const RoutingSwitchSettings& RoutingSwitches() {
  static RoutingSwitchSettings settings{true, false};
  static std::once_flag once;
  std::call_once(once, [] {
    settings.bypassBatchGroups = !begins(ZEV0_GetEnv("ZEVP_BYPASS_BATCH_GROUP", nullptr), 'N');
    settings.batchProcessing = begins(ZEV0_GetEnv("ZEVP_BATCH_MODE_PROCESS", nullptr), 'Y');
    if (settings.batchProcessing) settings.bypassBatchGroups = false;
  });
  return settings;
}

}  // namespace zevp

InternalRoutingBlock* ZEVP_CreateInternalRoutingBlock(DPAB* anchor, const char* name) {
  if (anchor == nullptr || name == nullptr) return nullptr;
  zevp::RoutingSwitches();
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
