#include "action_replies.h"

#include <cstring>
#include <new>

#include "action_entry.h"
#include "dch_comm.h"
#include "dch_messages.h"
#include "dch_requests.h"
#include "dch_work_queue.h"
#include "engine_routines.h"
#include "source_entry.h"
#include "trc1.h"
#include "zev/action_codes.h"
#include "zev0/storage.h"

TRC_UNIT();

namespace {

// The status form's three fields fit with room to spare.
constexpr int32_t kStatusFormSize = 64;

}  // namespace

SourceEntry* ZEVP_NewActionReplySource(ProcessEntry* owner) {
  void* storage = ZEV0_GetStorage(sizeof(SourceEntry));
  if (storage == nullptr) {
    TRC(TRC_ERROR, "***** Unable to obtain storage for an action reply source");
    return nullptr;
  }
  std::memset(storage, 0, sizeof(SourceEntry));
  auto* source = static_cast<SourceEntry*>(storage);
  BSV1_InitializeLock(&source->EntryLock);
  source->OwningTask = owner;
  ZEVP_UpdateSourceEntryState(source, ZEVP_Action);
  return source;
}

void ZEVP_FreeActionReplySource(DPAB* anchor, SourceEntry** source) {
  if (*source == nullptr) return;
  // A request still waiting for a DCH client that never came must not stay queued.
  ZEVP_RemoveFromDCHwaitQueue(anchor, *source);
  BSV1_DestroyLock(&(*source)->EntryLock);
  ZEV0_FreeStorage(source);
}

void ZEVP_ReplyThroughDCHclient(DPAB* anchor, ProcessEntry* own, SourceEntry* reply, ActionEntry* entry) {
  BSV1_GetLock(&reply->EntryLock);
  reply->CurrentAction = entry;
  ZEVP_UpdateSourceEntryState(reply, ZEVP_Reply);
  BSV1_ReleaseLock(&reply->EntryLock);
  zevp::Routines().queueAndWaitDCHstatus(anchor, own, reply);
  // The action and the source are kept until the DCH client is done with them.
  ZEVP_AwaitDCHrequestDone(reply);
  BSV1_GetLock(&reply->EntryLock);
  reply->CurrentAction = nullptr;
  ZEVP_UpdateSourceEntryState(reply, ZEVP_Action);
  BSV1_ReleaseLock(&reply->EntryLock);
}

void ZEVP_SendProvideActionStatus(DCHcomm* comm, SourceEntry* source, uint32_t actionID, int32_t status) {
  if (ZEVP_DCHbypassed(comm)) return;
  char buffer[kStatusFormSize] = {};
  if (DCH_BuildActionResults(buffer, sizeof buffer, actionID, status, nullptr) == 0) {
    ZEVP_SetDCHstatus(comm, ZEVP_DCH_SEND_FAILED);
    return;
  }
  ZEVP_SendUntilAnswered(source, comm, buffer);
}

void ZEVP_SendProvideActionResult(DCHcomm* comm, SourceEntry* source, ActionEntry* entry) {
  if (ZEVP_DCHbypassed(comm)) {
    ZEV0_FreeStorage(&entry->ActionResult);
    return;
  }
  size_t resultLength = entry->ActionResult != nullptr ? std::strlen(entry->ActionResult) : 0;
  int32_t size = static_cast<int32_t>(resultLength) + kStatusFormSize;
  auto* buffer = static_cast<char*>(ZEV0_GetStorage(size));
  if (buffer == nullptr) {
    TRC(TRC_ERROR, "***** No storage to send the result of action %u", entry->ActionID);
    ZEVP_SetDCHstatus(comm, ZEVP_DCH_SEND_FAILED);
    return;
  }
  std::memset(buffer, 0, static_cast<size_t>(size));
  const bool built = DCH_BuildActionResults(buffer, static_cast<size_t>(size), entry->ActionID, entry->ActionStatus,
                                            entry->ActionResult) != 0;
  // The agent's answer lets the action's worker go on and give the action back, so
  // the entry is done with before the result is sent.
  ZEV0_FreeStorage(&entry->ActionResult);
  if (built)
    ZEVP_SendUntilAnswered(source, comm, buffer);
  else
    ZEVP_SetDCHstatus(comm, ZEVP_DCH_SEND_FAILED);
  ZEV0_FreeStorage(&buffer);
}

void ZEVP_ProvideActionReply(SourceEntry* source, DCHcomm* comm) {
  ActionEntry* entry = source->CurrentAction;
  if (entry == nullptr) {
    TRC(TRC_ERROR, "*** Logic error. Source @%p in Reply state without an action", static_cast<void*>(source));
    ZEVP_SetDCHstatus(comm, ZEVP_DCH_SEND_FAILED);
    return;
  }
  if (entry->ActionID == 0) {
    TRC(TRC_ERROR, "*** Action without ID performed, status %d not answered", entry->ActionStatus);
    ZEVP_SetDCHstatus(comm, DCH_STATUS_SUCCESS);
    return;
  }
  if (entry->ActionStatus == ZEV_ACTION_SUCCESS || entry->ActionResult != nullptr)
    ZEVP_SendProvideActionResult(comm, source, entry);
  else
    ZEVP_SendProvideActionStatus(comm, source, entry->ActionID, entry->ActionStatus);
}
