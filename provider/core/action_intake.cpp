#include "action_intake.h"

#include "action_entry.h"
#include "automation_server.h"
#include "dch_message_parser.h"
#include "dp_anchor.h"
#include "trc1.h"
#include "zev0/storage.h"

TRC_UNIT();

namespace {

// A copy of a field that came; null for one that did not (or without storage,
// which leaves the action incomplete).
char* copyOf(const DCHview& view) {
  return view.data != nullptr ? ZEVP_CopyActionText(view.data, view.length) : nullptr;
}

}  // namespace

void ZEVP_TakeActionFromAgent(DPAB* anchor, const DCHactionMessage* action) {
  char* node = copyOf(action->node);
  char* owner = copyOf(action->owner);
  char* name = copyOf(action->name);
  char* parms = copyOf(action->parms);
  // Filled under the chain's lock: the duplicate rule reads the entries in use.
  BSV1_GetLock(&anchor->actionListLock);
  ActionEntry* entry = ZEVP_AllocateActionEntry(anchor);
  if (entry != nullptr) {
    entry->FieldCount = action->fieldCount;
    if (action->hasActionType) entry->ActionType = action->actionType;
    entry->ActionID = action->actionID;
    entry->ActionSourceNode = node;
    entry->ActionOwner = owner;
    entry->ActionName = name;
    entry->ActionParm = parms;
  }
  BSV1_ReleaseLock(&anchor->actionListLock);
  if (entry == nullptr) {
    TRC(TRC_ERROR, "***** No action entry for DCH action %u, dropped", action->actionID);
    ZEV0_FreeStorage(&node);
    ZEV0_FreeStorage(&owner);
    ZEV0_FreeStorage(&name);
    ZEV0_FreeStorage(&parms);
    return;
  }
  ZEVP_EnqueueActionToServer(anchor, entry);
}
