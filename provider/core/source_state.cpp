#include "dch_work_queue.h"
#include "trc1.h"
#include "zev0/storage.h"

TRC_UNIT();

namespace {

const char* stateName(int32_t state) {
  const char* name = ZEVP_SourceStateName(state);
  return name != nullptr ? name : "(unknown)";
}

}  // namespace

void ZEVP_UpdateSourceEntryState(SourceEntry* source, int32_t state) {
  if (!ZEV0_IsValidBlockPointer(source)) {
    TRC(TRC_ERROR, "*****Input source entry invalid @%p", static_cast<void*>(source));
    return;
  }
  TRC(TRC_DETAIL, "Source @%p Old state %s, New state %s", static_cast<void*>(source), stateName(ZEVP_SourceStateOf(source)),
      stateName(state));
  __atomic_store_n(&source->State, state, __ATOMIC_RELEASE);
}
