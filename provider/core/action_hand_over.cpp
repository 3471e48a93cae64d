#include "action_hand_over.h"

#include <cstdio>
#include <cstring>

#include "action_entry.h"
#include "action_worker.h"
#include "dch_work_queue.h"
#include "dp_log.h"
#include "engine_routines.h"
#include "process_entry.h"
#include "source_entry.h"
#include "trc1.h"
#include "zev/action_codes.h"
#include "zev0/storage.h"
#include "zev0/threads.h"

TRC_UNIT();

namespace {

constexpr const char* APIrequestString[ZEVP_API_VERB_COUNT] = {
    "      ", "BGNINP", "ENDINP", "BGNROW", "ENDROW", "SNDDTA", "ACCREQ", "RCVREQ", "RESULT", "SETSRC",
};
constexpr int kAPIverbOffset = 10;
constexpr int kAPIverbLength = 6;

// A partner that gave its result wait as 0 waits this long; so does the fetch of a
// partner that expects to send no result.
constexpr int32_t kDefaultResultWait = 60;
// The worker looks this often whether it is told to end or its source went.
constexpr int kLookSeconds = 1;

int64_t Now() {
  BSV1_Time now;
  BSV1_GetTime(&now);
  return now.seconds;
}

int32_t remoteStateOf(ActionEntry* entry) {
  BSV1_GetLock(&entry->ActionLock);
  int32_t state = entry->RemoteState;
  BSV1_ReleaseLock(&entry->ActionLock);
  return state;
}

void signalWorker(ActionEntry* entry) {
  pthread_mutex_lock(&entry->ActionMutex);
  pthread_cond_signal(&entry->ActionCondition);
  pthread_mutex_unlock(&entry->ActionMutex);
}

// The action has its result; the caller holds ActionLock.
void complete(ActionEntry* entry, const char* text, size_t length) {
  entry->RemoteState = ZEVP_REMOTE_COMPLETED;
  entry->ActionStatus = ZEV_ACTION_SUCCESS;
  ZEV0_FreeStorage(&entry->ActionResult);
  entry->ActionResult = ZEVP_CopyActionText(text, static_cast<uint32_t>(length));
  entry->CompletionTime = Now();
}

// The request text as the partner reads it; false without storage.
bool buildRequestText(ActionEntry* entry) {
  size_t nameLength = entry->ActionName != nullptr ? std::strlen(entry->ActionName) : 0;
  size_t size = nameLength + 80 + (entry->ActionParm != nullptr ? std::strlen(entry->ActionParm) : 0);
  auto* text = static_cast<char*>(ZEV0_GetStorage(static_cast<int32_t>(size)));
  if (text == nullptr) return false;
  const char* name = entry->ActionName != nullptr ? entry->ActionName : "";
  if (std::strcmp(name, SitStop) == 0) {
    std::snprintf(text, size, "%u FILTER(DELETE)", entry->ActionID);
  } else {
    int written = std::strcmp(name, SitStart) == 0 ? std::snprintf(text, size, "%u FILTER(ADD)", entry->ActionID)
                                                   : std::snprintf(text, size, "%u REQ(%s)", entry->ActionID, name);
    if (entry->ActionParm != nullptr && written >= 0 && static_cast<size_t>(written) < size)
      std::snprintf(text + written, size - static_cast<size_t>(written), "PARM(%s)", entry->ActionParm);
  }
  BSV1_GetLock(&entry->ActionLock);
  ZEV0_FreeStorage(&entry->RequestText);
  entry->RequestText = text;
  entry->RemoteState = ZEVP_REMOTE_FETCHED;
  entry->RequestTime = Now();
  BSV1_ReleaseLock(&entry->ActionLock);
  return true;
}

void logRequestFetched(DPAB* anchor, const ActionEntry* entry) {
  auto log = zevp::Routines().sendDPlogMessage;
  if (entry->ActionType == ZEV_ACTION_AUTOMATION) {
    if (entry->WorkerTask != nullptr && entry->WorkerTask->LogActivity != 0)
      log(anchor, 64, ZEVP_AutoTypeText(entry->ActionType), entry->ActionOwner, entry->ActionName,
          entry->ActionParm != nullptr ? entry->ActionParm : "NONE", entry->ActionSourceNode);
  } else if (entry->ActionName != nullptr && std::strcmp(entry->ActionName, SitStart) == 0) {
    log(anchor, 65, entry->ActionOwner, entry->ActionSourceNode, entry->ActionParm, nullptr, nullptr);
  } else {
    log(anchor, 66, entry->ActionOwner, entry->ActionSourceNode, nullptr, nullptr, nullptr);
  }
}

bool sourceActive(const SourceEntry* source) {
  int32_t state = ZEVP_SourceStateOf(source);
  return state == ZEVP_Active || state == ZEVP_Input || state == ZEVP_Output;
}

// Waits, holding ActionMutex, while the action is in one of the two states. A wait
// may end early: the worker is told to end, the source went, or the time is up;
// except while the partner holds the request text (fetched), which it confirms
// right after it has sent it, or gives up only by going offline.
int32_t awaitStateChange(ProcessEntry* worker, SourceEntry* source, ActionEntry* entry, int32_t first,
                         int32_t second, int64_t deadline) {
  for (;;) {
    int32_t state = remoteStateOf(entry);
    if (state != first && state != second) return state;
    if (!sourceActive(source)) return state;
    if (state != ZEVP_REMOTE_FETCHED && (worker->terminationFlag != 0 || Now() >= deadline)) return state;
    ZEV0_ConditionTimedWait(&entry->ActionCondition, &entry->ActionMutex, kLookSeconds);
  }
}

void appendToRemoteActions(SourceEntry* source, ActionEntry* entry) {
  entry->SourceNext = nullptr;
  ActionEntry** link = &source->RemoteActions;
  while (*link != nullptr) link = &(*link)->SourceNext;
  *link = entry;
}

void unlinkFromRemoteActions(SourceEntry* source, ActionEntry* entry) {
  for (ActionEntry** link = &source->RemoteActions; *link != nullptr; link = &(*link)->SourceNext) {
    if (*link != entry) continue;
    *link = entry->SourceNext;
    break;
  }
  entry->SourceNext = nullptr;
  if (source->ActionHandOver == entry) source->ActionHandOver = nullptr;
}

}  // namespace

int ZEVP_CheckIsLocalAction(const SourceEntry* source, const ActionEntry* entry) {
  if (source->BuiltIn != 0 || source->SourceType == ZEVP_SOURCE_FILE) return 1;
  if (entry->ActionName != nullptr && std::strcmp(entry->ActionName, ZEVP_DP_CONTROL) == 0) return 1;
  if (source->SourceType != ZEVP_SOURCE_BASE && source->SourceType != ZEVP_SOURCE_SOCK) return 1;
  auto* lockable = const_cast<SourceEntry*>(source);
  BSV1_GetLock(&lockable->ActionListLock);
  int accepts = source->AcceptActionRequests;
  BSV1_ReleaseLock(&lockable->ActionListLock);
  return accepts != 0 ? 0 : 1;
}

int ZEVP_ExtractAPIcallType(const char* request, int32_t length) {
  if (request == nullptr || length < kAPIverbOffset + kAPIverbLength) return 0;
  for (int verb = 1; verb < ZEVP_API_VERB_COUNT; ++verb)
    if (std::memcmp(request + kAPIverbOffset, APIrequestString[verb], kAPIverbLength) == 0) return verb;
  return 0;
}

char* ZEVP_CheckOutstandingActionRequest(DPAB* anchor, SourceEntry* source) {
  for (;;) {
    BSV1_GetLock(&source->ActionListLock);
    ActionEntry* entry = source->RemoteActions;
    while (entry != nullptr && remoteStateOf(entry) != ZEVP_REMOTE_QUEUED) entry = entry->SourceNext;
    if (entry == nullptr) {
      BSV1_ReleaseLock(&source->ActionListLock);
      return nullptr;
    }
    // One action at a time is in hand-over: the next waits until it is confirmed.
    if (source->ActionHandOver != nullptr) {
      BSV1_ReleaseLock(&source->ActionListLock);
      BSV1_Sleep(1);
      continue;
    }
    if (!buildRequestText(entry)) {
      BSV1_ReleaseLock(&source->ActionListLock);
      TRC(TRC_ERROR, "***** No storage for the request text of action %u", entry->ActionID);
      return nullptr;
    }
    source->ActionHandOver = entry;
    char* text = entry->RequestText;
    BSV1_ReleaseLock(&source->ActionListLock);
    logRequestFetched(anchor, entry);
    return text;
  }
}

void ZEVP_CheckActionRequestCompletion(SourceEntry* source) {
  BSV1_GetLock(&source->ActionListLock);
  ActionEntry* entry = source->ActionHandOver;
  source->ActionHandOver = nullptr;
  int32_t resultWait = source->ActionResultWait;
  if (entry != nullptr) {
    BSV1_GetLock(&entry->ActionLock);
    if (resultWait != -1 && entry->ActionType != ZEV_ACTION_RULE)
      entry->RemoteState = ZEVP_REMOTE_DELIVERED;
    else
      complete(entry, NoResultString, std::strlen(NoResultString));
    BSV1_ReleaseLock(&entry->ActionLock);
  }
  BSV1_ReleaseLock(&source->ActionListLock);
  // Entries stay on the anchor's chain while any thread runs: a late signal can
  // only wake a waiter that tests its state again.
  if (entry != nullptr) signalWorker(entry);
}

int ZEVP_PostActionRequestCompletion(SourceEntry* source, uint32_t actionID, const char* text) {
  BSV1_GetLock(&source->ActionListLock);
  ActionEntry* entry = source->RemoteActions;
  while (entry != nullptr && (entry->ActionID != actionID || remoteStateOf(entry) != ZEVP_REMOTE_DELIVERED))
    entry = entry->SourceNext;
  if (entry == nullptr) {
    BSV1_ReleaseLock(&source->ActionListLock);
    TRC(TRC_ERROR, "***** No action %u awaits a result from source @%p", actionID, static_cast<void*>(source));
    return ZEVP_NO_ACTION_AWAITS_RESULT;
  }
  BSV1_GetLock(&entry->ActionLock);
  if (text == nullptr) {
    complete(entry, NoResultDataReceived, std::strlen(NoResultDataReceived));
  } else {
    // The partner ends its result with a character of its own.
    size_t length = std::strlen(text);
    complete(entry, text, length > 0 ? length - 1 : 0);
  }
  BSV1_ReleaseLock(&entry->ActionLock);
  BSV1_ReleaseLock(&source->ActionListLock);
  signalWorker(entry);
  return 0;
}

void ZEVP_PerformRemoteAction(ProcessEntry* worker, SourceEntry* source, ActionEntry* entry) {
  BSV1_GetLock(&entry->ActionLock);
  entry->RemoteState = ZEVP_REMOTE_QUEUED;
  BSV1_ReleaseLock(&entry->ActionLock);
  BSV1_GetLock(&source->ActionListLock);
  int32_t resultWait = source->ActionResultWait > 0 ? source->ActionResultWait : kDefaultResultWait;
  appendToRemoteActions(source, entry);
  BSV1_ReleaseLock(&source->ActionListLock);

  pthread_mutex_lock(&entry->ActionMutex);
  int32_t state = awaitStateChange(worker, source, entry, ZEVP_REMOTE_QUEUED, ZEVP_REMOTE_FETCHED,
                                   Now() + resultWait);
  if (state == ZEVP_REMOTE_DELIVERED)
    state = awaitStateChange(worker, source, entry, ZEVP_REMOTE_DELIVERED, ZEVP_REMOTE_DELIVERED,
                             Now() + resultWait);
  BSV1_GetLock(&source->ActionListLock);
  unlinkFromRemoteActions(source, entry);
  BSV1_ReleaseLock(&source->ActionListLock);
  BSV1_GetLock(&entry->ActionLock);
  if (entry->RemoteState != ZEVP_REMOTE_COMPLETED) {
    TRC(TRC_DETAIL, "Action %u: no result from the partner of source @%p", entry->ActionID,
        static_cast<void*>(source));
    complete(entry, NoResultExpireString, std::strlen(NoResultExpireString));
  }
  entry->ActionStatus = ZEV_ACTION_SUCCESS;
  BSV1_ReleaseLock(&entry->ActionLock);
  pthread_mutex_unlock(&entry->ActionMutex);
}
