#include "action_table.h"

#include <cstdio>

#include "bsv1.h"
#include "dch/channel_functions.h"
#include "trc1.h"
#include "zev/action_codes.h"
#include "zev0/threads.h"

TRC_UNIT();

namespace {

// The highest status that has a text of its own; 14 reads as "UNKNOWN".
constexpr long kLastNamedStatus = ZEV_ACTION_INPUTPARM_ERROR;
constexpr int kStatusTextSize = 65;

template <size_t N>
void copyText(char (&target)[N], const char* text) {
  std::snprintf(target, N, "%s", text != nullptr ? text : "");
}

unsigned long nowSeconds() {
  BSV1_Time now;
  BSV1_GetTime(&now);
  return static_cast<unsigned long>(now.seconds);
}

}  // namespace

actionTable::actionTable() {
  ZEV0_InitializeMutex(&_lock);
  _lastAddTime = _lastCheckTime = nowSeconds();
}

actionTable::~actionTable() {
  closeRing();
  while (actionTableEntry* head = _list.head()) {
    _list.remove(head);
    delete head;
  }
  pthread_mutex_destroy(&_lock);
}

int actionTable::addEntry(short actionType, const char* owner, const char* node, const char* name, long actionID,
                          const char* parms, int recipients) {
  switch (actionType) {
    case ZEV_ACTION_AUTOMATION:
      break;
    case ZEV_ACTION_RULE:
      TRC(TRC_DETAIL, "RULE START/STOP actionType ignored");
      return 0;
    case ZEV_ACTION_SNMP:
      TRC(TRC_DETAIL, "SNMP actionType ignored");
      return 0;
    default:
      TRC(TRC_DETAIL, "actionType <%d> ignored", actionType);
      return 0;
  }
  ActionInfo_t routed{};
  routed.requestType = ActionInfo_t::kActionRouted;
  routed.actionID = actionID;
  routed.actionType = actionType;
  copyText(routed.actionOwner, owner);
  copyText(routed.actionNode, node);
  copyText(routed.actionName, name);
  copyText(routed.actionParms, parms);
  routed.actionStatus = ZEV_ACTION_STATUS_UNKNOWN;
  routed.recipients = recipients;
  return cb_put_data(routed);
}

int actionTable::recordActionResults(long actionID, long status, const char* results) {
  ActionInfo_t result{};
  result.requestType = ActionInfo_t::kActionResult;
  result.actionID = actionID;
  result.actionType = ZEV_ACTION_UNKNOWN;
  result.actionStatus = status;
  copyText(result.actionResults, results);
  return cb_put_data(result);
}

long actionTable::getActionStatus(long actionID) {
  if (ZEVA_GetLock(&_lock, this) != 0) {
    TRC(TRC_ERROR, "Error: unable to acquire action lock.");
    return ZEV_ACTION_STATUS_UNKNOWN;
  }
  long status = ZEV_ACTION_STATUS_UNKNOWN;
  if (const actionTableEntry* entry = findEntry(actionID)) status = entry->actionStatus();
  ZEVA_ReleaseLock(&_lock, this);
  return status;
}

const char* actionTable::actionTypeText(short type) {
  return type >= 0 && type < ZEV_ACTION_TYPE_COUNT ? ActionTypeString[type] : ActionTypeString[ZEV_ACTION_UNKNOWN];
}

const char* actionTable::actionStatusText(long status) {
  if (status >= 0)
    return status <= kLastNamedStatus ? ActionStatusString[status] : ActionStatusString[ZEV_ACTION_STATUS_UNKNOWN];
  thread_local char text[kStatusTextSize];
  // Unsigned, so that the most negative status has an absolute value too.
  std::snprintf(text, sizeof text, "%s %lu", ActionStatusString[ZEV_ACTION_INPUTPARM_ERROR],
                0UL - static_cast<unsigned long>(status));
  return text;
}

int actionTable::cb_put_data(const ActionInfo_t& record) {
  return _actionInfo.put(record) == ActionRingPut::failed ? 1 : 0;
}

int actionTable::cb_get_data(ActionInfo_t* record) { return _actionInfo.get(record); }

actionTableEntry* actionTable::findEntry(long actionID) const {
  actionTableIterator walk(_list);
  while (actionTableEntry* entry = walk.Next()) {
    if (entry->actionID() == actionID) return entry;
  }
  return nullptr;
}

int actionTable::removeEntry(actionTableEntry* entry) {
  if (ZEVA_GetLock(&_lock, this) != 0) {
    TRC(TRC_ERROR, "Error: unable to acquire actionTable lock");
    TRC(TRC_ERROR, "Error: actionTableEntry<@%p> not removed.", static_cast<void*>(entry));
    return 1;
  }
  bool found = false;
  actionTableIterator walk(_list);
  while (actionTableEntry* candidate = walk.Next()) {
    if (candidate == entry) {
      found = true;
      break;
    }
  }
  if (found) {
    if (_latest == entry) _latest = nullptr;
    _list.remove(entry);
    delete entry;
  } else {
    TRC(TRC_ERROR, "Error: actionTableEntry<@%p> not removed.", static_cast<void*>(entry));
  }
  ZEVA_ReleaseLock(&_lock, this);
  return found ? 0 : 1;
}

void actionTable::sourceName(const char* name) {
  if (ZEVA_GetLock(&_lock, this) != 0) return;
  copyText(_sourceName, name);
  ZEVA_ReleaseLock(&_lock, this);
}

void actionTable::printList() {
  if (!TRC_ON(TRC_DETAIL) || ZEVA_GetLock(&_lock, this) != 0) return;
  int count = 0;
  actionTableIterator walk(_list);
  while (const actionTableEntry* entry = walk.Next()) {
    TRC(TRC_DETAIL, "actionTable entry %d of %d:", ++count, _list.count());
    entry->printSelf();
  }
  ZEVA_ReleaseLock(&_lock, this);
}
