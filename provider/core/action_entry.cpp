#include "action_entry.h"

#include <cstring>
#include <new>

#include "dp_anchor.h"
#include "monitor_node_list.h"
#include "network_manage_entry.h"
#include "trc1.h"
#include "zev/action_codes.h"
#include "zev0/storage.h"
#include "zev0/threads.h"

TRC_UNIT();

namespace {

constexpr const char* AutoTypeString[] = {" ", "Situation/Policy", "Rule", "SNMP", " "};

constexpr const char* ActionResultText[ZEVP_ACTION_RESULT_TEXT_COUNT] = {
    " ", " ", " ", " ", " ", " ", " ", " ", " ",
    "Request syntax error",                                   // 9
    "Monitoring never started",                               // 10
    " ", " ", " ", " ", " ", " ", " ", " ", " ",
    "MIB monitor started",                                    // 20
    "MIB monitor stopped for requested nodes",                // 21
    "Monitoring scheduled for requested resources",           // 22
    "Monitoring stopped for requested resources",             // 23
    "Network resource address unresolved",                    // 24
    "MIB attribute not found",                                // 25
    "MIB attribute not scalar type",                          // 26
    "Agent address invalid or unresolvable",                  // 27
    "Set value not specified",                                // 28
    "Set value invalid",                                      // 29
    "Numeric SET value expected",                             // 30
    "SET OK",                                                 // 31
    "SET value too big",                                      // 32
    "SET no such attribute",                                  // 33
    "SET value invalid or out-of-range",                      // 34
    "SET attribute read only",                                // 35
    "SET attribute Read-Only or agent specific error",        // 36
    "SET agent no response or comm error",                    // 37
};

// The fields a fresh entry and a reset one share.
void clearActionFields(ActionEntry* entry) {
  entry->QueueNext = nullptr;
  entry->SourceNext = nullptr;
  entry->WorkerTask = nullptr;
  entry->FieldCount = 0;
  entry->ActionType = ZEV_ACTION_AUTOMATION;
  entry->ActionStatus = ZEV_ACTION_STATUS_UNKNOWN;
  entry->ActionID = 0;
  entry->ResultLength = 0;
  entry->RemoteState = ZEVP_REMOTE_NONE;
  entry->RequestTime = 0;
  entry->CompletionTime = 0;
  entry->MonitorAgentNameEntries = nullptr;
  entry->SnmpRequest = 0;
}

void freeTexts(ActionEntry* entry) {
  ZEV0_FreeStorage(&entry->ActionName);
  ZEV0_FreeStorage(&entry->ActionParm);
  ZEV0_FreeStorage(&entry->ActionResult);
  ZEV0_FreeStorage(&entry->ActionOwner);
  ZEV0_FreeStorage(&entry->ActionSourceNode);
  ZEV0_FreeStorage(&entry->RequestText);
  ZEV0_FreeStorage(&entry->NetworkManage);
  ZEVP_FreeMonitorAgentNames(&entry->MonitorAgentNameEntries);
}

ActionEntry* newEntry() {
  void* storage = ZEV0_GetStorage(sizeof(ActionEntry));
  if (storage == nullptr) {
    TRC(TRC_ERROR, "***** Unable to obtain storage for ActionEntry");
    return nullptr;
  }
  std::memset(storage, 0, sizeof(ActionEntry));
  auto* entry = new (storage) ActionEntry();
  entry->EyeCatcher = 'A';
  clearActionFields(entry);
  entry->InUse = 1;
  entry->WorkState = ZEVP_ACTION_NEW;
  ZEV0_InitializeMutex(&entry->ActionMutex);
  ZEV0_InitializeCondVar(&entry->ActionCondition);
  BSV1_InitializeLock(&entry->ActionLock);
  TRC(TRC_STORAGE, "Allocated ActionEntry @%p for length %d", static_cast<void*>(entry),
      static_cast<int>(sizeof(ActionEntry)));
  return entry;
}

bool sameText(const char* left, const char* right) {
  if (left == nullptr || right == nullptr) return left == right;
  return std::strcmp(left, right) == 0;
}

}  // namespace

const char* ZEVP_AutoTypeText(int32_t actionType) {
  return actionType >= ZEV_ACTION_AUTOMATION && actionType <= ZEV_ACTION_SNMP ? AutoTypeString[actionType]
                                                                                : AutoTypeString[0];
}

char* ZEVP_CopyActionText(const char* text, uint32_t length) {
  auto* copy = static_cast<char*>(ZEV0_GetStorage(static_cast<int32_t>(length) + 1));
  if (copy == nullptr) return nullptr;
  if (length > 0) std::memcpy(copy, text, length);
  copy[length] = '\0';
  return copy;
}

// The chain holds only entries made here, linked under the action lock: a link is
// an entry or null, and there is nothing else to check before following it.
ActionEntry* ZEVP_AllocateActionEntry(DPAB* anchor) {
  BSV1_GetLock(&anchor->actionListLock);
  ActionEntry** link = &anchor->actionEntries;
  for (; *link != nullptr; link = &(*link)->NextEntry) {
    ActionEntry* entry = *link;
    if (entry->InUse != 0) continue;
    entry->InUse = 1;
    entry->WorkState = ZEVP_ACTION_NEW;
    BSV1_ReleaseLock(&anchor->actionListLock);
    TRC(TRC_DETAIL, "ActionEntry @%p reused", static_cast<void*>(entry));
    return entry;
  }
  ActionEntry* entry = newEntry();
  if (entry != nullptr) *link = entry;
  BSV1_ReleaseLock(&anchor->actionListLock);
  return entry;
}

void ZEVP_ReleaseActionEntry(DPAB* anchor, ActionEntry* entry) {
  if (entry == nullptr) return;
  BSV1_GetLock(&anchor->actionListLock);
  BSV1_GetLock(&entry->ActionLock);
  freeTexts(entry);
  clearActionFields(entry);
  entry->SnmpWord = ZEVP_SNMP_WORD_RESET;
  entry->InUse = 0;
  BSV1_ReleaseLock(&entry->ActionLock);
  BSV1_ReleaseLock(&anchor->actionListLock);
}

void ZEVP_FreeActionEntries(DPAB* anchor) {
  BSV1_GetLock(&anchor->actionListLock);
  ActionEntry* entry = anchor->actionEntries;
  anchor->actionEntries = nullptr;
  anchor->heldActions = nullptr;
  BSV1_ReleaseLock(&anchor->actionListLock);
  while (entry != nullptr) {
    ActionEntry* next = entry->NextEntry;
    freeTexts(entry);
    pthread_mutex_destroy(&entry->ActionMutex);
    pthread_cond_destroy(&entry->ActionCondition);
    BSV1_DestroyLock(&entry->ActionLock);
    TRC(TRC_STORAGE, "Freeing ActionEntry @%p", static_cast<void*>(entry));
    entry->~ActionEntry();
    ZEV0_FreeStorage(&entry);
    entry = next;
  }
}

void ZEVP_SetActionResult(ActionEntry* entry, const char* text) {
  ZEV0_FreeStorage(&entry->ActionResult);
  if (text != nullptr) entry->ActionResult = ZEVP_CopyActionText(text, static_cast<uint32_t>(std::strlen(text)));
}

void ZEVP_SetActionResultText(ActionEntry* entry, int32_t index) {
  if (index < 0 || index >= ZEVP_ACTION_RESULT_TEXT_COUNT) {
    TRC(TRC_ERROR, "***** Action result text %d does not exist", index);
    return;
  }
  ZEVP_SetActionResult(entry, ActionResultText[index]);
  entry->ResultLength = entry->ActionResult != nullptr ? static_cast<int32_t>(std::strlen(entry->ActionResult)) : 0;
}

int ZEVP_CheckDuplicateActiveAction(DPAB* anchor, const ActionEntry* entry) {
  if (!ZEV0_IsValidBlockPointer(entry)) {
    TRC(TRC_ERROR, "*****Invalid input ActionEntry bypassed");
    return 1;
  }
  BSV1_GetLock(&anchor->actionListLock);
  int duplicate = 0;
  if (entry->ActionType != ZEV_ACTION_AUTOMATION) {
    for (const ActionEntry* active = anchor->actionEntries; active != nullptr; active = active->NextEntry) {
      if (active == entry || active->InUse == 0 || active->ActionSourceNode == nullptr) continue;
      if (active->ActionType == ZEV_ACTION_AUTOMATION || active->ActionType == ZEV_ACTION_SNMP) continue;
      if (sameText(active->ActionSourceNode, entry->ActionSourceNode) &&
          sameText(active->ActionOwner, entry->ActionOwner) && sameText(active->ActionName, entry->ActionName) &&
          sameText(active->ActionParm, entry->ActionParm)) {
        TRC(TRC_DETAIL, "Duplicate of active action %u ID %u dropped", active->ActionID, entry->ActionID);
        duplicate = 1;
        break;
      }
    }
  }
  BSV1_ReleaseLock(&anchor->actionListLock);
  return duplicate;
}

ActionEntry* ZEVP_LocateStartActionByID(DPAB* anchor, uint32_t actionID, const char* owner) {
  if (owner == nullptr) return nullptr;
  BSV1_GetLock(&anchor->actionListLock);
  ActionEntry* found = nullptr;
  for (ActionEntry* entry = anchor->actionEntries; entry != nullptr && found == nullptr; entry = entry->NextEntry) {
    if (entry->InUse != 0 && entry->ActionID == actionID && sameText(entry->ActionOwner, owner) &&
        sameText(entry->ActionName, ZEVP_SNMPSTARTGET))
      found = entry;
  }
  BSV1_ReleaseLock(&anchor->actionListLock);
  return found;
}
