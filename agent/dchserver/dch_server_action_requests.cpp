// Actions between consumers and data providers: a data provider waits for actions
// (0x1040) and reports their results (0x1050); a consumer provides an action (0x2080)
// and waits for its results (0x2090); a cancel (0x10FF) is accepted and does nothing.
#include <algorithm>
#include <cstdio>
#include <cstring>

#include "action_table.h"
#include "atomic_situation_list.h"
#include "dc_waiting_list.h"
#include "dch/channel_functions.h"
#include "dch/ipc_sock.h"
#include "dch_messages.h"
#include "dch_server.h"
#include "field_reading.h"
#include "request_fields.h"
#include "trc1.h"
#include "zev/action_codes.h"

TRC_UNIT();

namespace {

// The names of a waiter that is tied to no application.
constexpr const char* kNoName = DCwaitingList::kNoName;
constexpr char kRuleStop[] = "RULESTOP";
constexpr char kTrapEmit[] = "TRAPEMIT";
constexpr int kMissing = 1;
constexpr int kRefused = -1;
constexpr size_t kMessageBufferSize = DCH_REQUEST_BUFFER_SIZE;

// An action as a consumer handed it over, each text within its limit.
struct ProvidedAction {
  uint16_t actionType = 0;
  char owner[DCH_MAX_ACTION_OWNER + 1] = {};
  char node[DCH_MAX_ACTION_NODE + 1] = {};
  char subNode[DCH_MAX_SUBNODE + 1] = {};
  char name[DCH_MAX_ACTION_NAME + 1] = {};
  uint32_t actionID = 0;
  char parms[DCH_MAX_ACTION_PARMS + 1] = {};  // empty: none

  DCHaction forwarded() const {
    return DCHaction{actionType, owner, node, subNode, name, actionID, parms[0] != '\0' ? parms : nullptr};
  }
};

bool supportedActionType(uint16_t actionType) {
  if (actionType >= ZEV_ACTION_AUTOMATION && actionType <= ZEV_ACTION_SNMP) return true;
  TRC(TRC_ERROR, "Error: actionType %d not supported", actionType);
  return false;
}

// At most what the holder takes, terminated inside it.
template <size_t N>
void copyView(const DCHview& text, char (&holder)[N]) {
  size_t length = std::min<size_t>(text.length, N - 1);
  std::memcpy(holder, text.data, length);
  holder[length] = '\0';
}

// A text into its holder; false (traced with its length and the limit) when it is
// longer than the holder takes.
template <size_t N>
bool takeText(const DCHview& text, const char* name, char (&holder)[N]) {
  if (text.length > N - 1) {
    TRC(TRC_ERROR, "Error: %s length %u > %d", name, text.length, static_cast<int>(N - 1));
    return false;
  }
  copyView(text, holder);
  return true;
}

// One text field of the action: kMissing, kRefused or 0.
template <size_t N>
int readText(DataFieldReader& reader, int16_t dataType, const char* typeName, const char* name, char (&holder)[N]) {
  DCHview text;
  if (!DCH_ReadText(reader, dataType, typeName, &text)) return kMissing;
  return takeText(text, name, holder) ? 0 : kRefused;
}

int readParms(DataFieldReader& reader, ProvidedAction* action) {
  char* value;
  uint32_t length;
  int dataType = reader.next(&value, &length);
  if (dataType != DCH_actionParms) {
    TRC(TRC_DETAIL, "Note: dataType of DCH_actionParms missing: %d", dataType);
    return 0;
  }
  return takeText(DCHview{value, length}, "actionParms", action->parms) ? 0 : kRefused;
}

// The fields of a 0x2080 request in their order: 0, kMissing or kRefused.
int readProvidedAction(char* message, ProvidedAction* action) {
  DataFieldReader reader = requestFields(message);
  if (!DCH_ReadU16(reader, DCH_actionType, "DCH_actionType", &action->actionType)) return kMissing;
  if (!supportedActionType(action->actionType)) return kRefused;
  int status = readText(reader, DCH_actionOwner, "DCH_actionOwner", "actionOwner", action->owner);
  if (status == 0) status = readText(reader, DCH_sourceName, "DCH_sourceName", "actionNode", action->node);
  if (status == 0) status = readText(reader, DCH_sourceName, "DCH_sourceName", "subNode", action->subNode);
  if (status == 0) status = readText(reader, DCH_actionName, "DCH_actionName", "actionName", action->name);
  if (status != 0) return status;
  if (!DCH_ReadU32(reader, DCH_actionID, "DCH_actionID", &action->actionID)) return kMissing;
  return readParms(reader, action);
}

// A rule stop forgets the values that the situation's actions were de-duplicated on.
void forgetAtomicEvents(const char* situation) {
  atomicSituationList* situations = atomicSituations();
  if (situations == nullptr || situations->getNumberOfElements() == 0) return;
  atomicSituationEntry* entry = situations->findEntry(situation);
  if (entry == nullptr || situations->getLock() != 0) return;
  bool hasEvents = entry->getAtomicEventList() != nullptr;
  situations->releaseLock();
  if (!hasEvents) return;
  TRC(TRC_DETAIL, "Removing atomic event list for situation <%s>", situation);
  entry->removeAtomicEventList();
}

bool waitsForAction(const DCwaitingListEntry& waiter, uint16_t actionType, const char* hostName) {
  return waiter.waiterType() == static_cast<short>(DCH_dp_waitForAction) && waiter.actionType() == actionType &&
         std::strcmp(waiter.sourceName(), hostName) == 0;
}

bool waitsForResults(const DCwaitingListEntry& waiter) {
  return waiter.waiterType() == static_cast<short>(DCH_dc_waitForActionResults);
}

// Whether a waiter of the list matches; the list's walk is closed again.
template <typename Matches>
bool holdsWaiter(DCwaitingList& waiters, Matches matches) {
  bool found = false;
  for (DCwaitingListEntry* waiter = waiters.getEntry(1); waiter != nullptr && !found; waiter = waiters.getEntry(0))
    found = matches(*waiter);
  waiters.deleteIterator();
  return found;
}

}  // namespace

int DCHserver::dp_waitForAction(char* message) {
  DataFieldReader reader = requestFields(message);
  uint16_t actionType;
  if (!DCH_ReadU16(reader, DCH_actionType, "DCH_actionType", &actionType)) return kMissing;
  if (!supportedActionType(actionType)) return kRefused;
  DCHview host;
  if (!DCH_ReadText(reader, DCH_sourceName, "DCH_sourceName", &host)) return kMissing;
  if (host.length > DCH_MAX_SOURCE_NAME) {
    TRC(TRC_ERROR, "Warning: SourceName length=%u > %d -> truncating", host.length,
        static_cast<int>(DCH_MAX_SOURCE_NAME));
    host.data += host.length - DCH_MAX_SOURCE_NAME;
    host.length = DCH_MAX_SOURCE_NAME;
  }
  char hostName[DCH_MAX_SOURCE_NAME + 1];
  copyView(host, hostName);

  if (holdsWaiter(*_waitList, [&](const DCwaitingListEntry& waiter) {
        return waitsForAction(waiter, actionType, hostName) && waiter.replyAddress().sameRequester(_requester);
      })) {
    TRC(TRC_DETAIL, "Found a waiting DCH_dp_waitForAction");
    return 0;
  }
  if (_waitList->addEntry(kNoName, kNoName, DCH_dp_waitForAction, _requester, hostName,
                          static_cast<short>(actionType)) != 0)
    return kMissing;
  if (DV_Debug() == 1) _waitList->printList();
  return 0;
}

int DCHserver::dc_provideAction(char* message) {
  ProvidedAction action;
  int status = readProvidedAction(message, &action);
  if (status != 0) return status;
  if (std::strcmp(action.name, kRuleStop) == 0) forgetAtomicEvents(action.owner);

  // The host is the node's part before its first ':'.
  const char* colon = std::strchr(action.node, ':');
  char hostName[sizeof action.node] = {};
  if (colon != nullptr)
    std::snprintf(hostName, sizeof hostName, "%.*s", static_cast<int>(colon - action.node), action.node);

  if (std::strcmp(action.name, kTrapEmit) != 0 || ipcSock::_envTRAPEMIT == 1) {
    status = _actionList->addEntry(static_cast<short>(action.actionType), action.owner, action.subNode, action.name,
                                   static_cast<long>(action.actionID), action.parms[0] != '\0' ? action.parms : nullptr,
                                   colon != nullptr ? countActionRecipients(action.actionType, hostName) : 0);
    if (status != 0) return status;
  }

  if (colon == nullptr) {
    TRC(TRC_ERROR, "Error: HostName could not be resolved from actionName<%s>", action.node);
    return kRefused;
  }
  return forwardAction(action.forwarded(), hostName);
}

int DCHserver::countActionRecipients(uint16_t actionType, const char* hostName) {
  int recipients = 0;
  for (DCwaitingListEntry* waiter = _waitList->getEntry(1); waiter != nullptr; waiter = _waitList->getEntry(0))
    if (waitsForAction(*waiter, actionType, hostName)) ++recipients;
  _waitList->deleteIterator();
  return recipients;
}

// Waiters stay parked; a failed send ends the walk.
int DCHserver::forwardAction(const DCHaction& action, const char* hostName) {
  char forwarded[kMessageBufferSize] = {};
  uint32_t length = DCH_BuildProvideAction(forwarded, sizeof forwarded, action);
  if (length == 0) return kRefused;
  int status = 0;
  for (DCwaitingListEntry* waiter = _waitList->getEntry(1); waiter != nullptr; waiter = _waitList->getEntry(0)) {
    if (!waitsForAction(*waiter, action.actionType, hostName)) continue;
    if (sendReply(forwarded, static_cast<int>(length), waiter->replyAddress()) < 0) {
      TRC(TRC_ERROR, "Error: byte send operation failed.");
      status = kRefused;
      break;
    }
    TRC(TRC_DETAIL, "Action <%s> actionID <%u> sent to host <%s>.", action.name, action.actionID, hostName);
  }
  _waitList->deleteIterator();
  return status;
}

int DCHserver::dp_provideActionResults(char* message) {
  DataFieldReader reader = requestFields(message);
  uint32_t actionID;
  uint32_t reported;
  if (!DCH_ReadU32(reader, DCH_actionID, "DCH_actionID", &actionID) ||
      !DCH_ReadU32(reader, DCH_status, "DCH_status", &reported))
    return kMissing;
  char results[DCH_MAX_ACTION_RESULT + 1] = {};
  char* value;
  uint32_t length;
  int dataType = reader.next(&value, &length);
  if (dataType != DCH_actionResult) {
    TRC(TRC_DETAIL, "Note: dataType of DCH_actionResult missing: %d", dataType);
  } else {
    if (length > DCH_MAX_ACTION_RESULT) {
      TRC(TRC_ERROR, "Warning: actionResult length=%u > %d -> truncating", length,
          static_cast<int>(DCH_MAX_ACTION_RESULT));
      length = DCH_MAX_ACTION_RESULT;
    }
    copyView(DCHview{value, length}, results);
  }
  // Action statuses are signed: a data provider reports -3 as 0xfffffffd.
  auto status = static_cast<int32_t>(reported);
  int recorded =
      _actionList->recordActionResults(static_cast<long>(actionID), status, results[0] != '\0' ? results : nullptr);
  if (recorded == 0) notifyActionResultWaiters(status);
  return recorded;
}

// Every waiter hears of every result, whatever action it asked about; it stays parked.
void DCHserver::notifyActionResultWaiters(int32_t status) {
  char notice[DCH_STATUS_REPLY_SIZE];
  uint32_t length = DCH_BuildActionResultNotice(notice, sizeof notice, status);
  if (length == 0) return;
  for (DCwaitingListEntry* waiter = _waitList->getEntry(1); waiter != nullptr; waiter = _waitList->getEntry(0)) {
    if (!waitsForResults(*waiter)) continue;
    if (sendReply(notice, static_cast<int>(length), waiter->replyAddress()) < 0)
      TRC(TRC_ERROR, "Error: action result notice not sent.");
  }
  _waitList->deleteIterator();
}

int DCHserver::dc_waitForActionResults(char* message, long* results) {
  DataFieldReader reader = requestFields(message);
  uint32_t actionID;
  if (!DCH_ReadU32(reader, DCH_actionID, "DCH_actionID", &actionID)) {
    // A malformed request: the server's failure status, not an action's.
    *results = kRefused;
    return kMissing;
  }
  *results = _actionList->getActionStatus(static_cast<long>(actionID));
  if (*results != ZEV_ACTION_STATUS_UNKNOWN) return 0;
  // No outcome yet: the consumer hears of the later results, once however often it asks.
  if (holdsWaiter(*_waitList, [&](const DCwaitingListEntry& waiter) {
        return waitsForResults(waiter) && waiter.replyAddress().sameRequester(_requester);
      }))
    return 0;
  if (_waitList->addEntry(kNoName, kNoName, DCH_dc_waitForActionResults, _requester, kNoName, ZEV_ACTION_AUTOMATION) !=
      0)
    return kMissing;
  if (DV_Debug() == 1) _waitList->printList();
  return 0;
}

int DCHserver::dp_cancel(char* /*message*/) { return 0; }
