#include "action_log.h"

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <memory>
#include <mutex>
#include <new>
#include <set>

#include "action_log_rate.h"
#include "action_log_row.h"
#include "appl_space_list.h"
#include "bsv1.h"
#include "dch/channel_functions.h"
#include "dch/dch_api.h"
#include "dch/dch_protocol.h"
#include "trc1.h"
#include "zev/action_codes.h"
#include "zev0/hostnames.h"
#include "zev0/threads.h"

TRC_UNIT();

namespace {

constexpr char kSourceSuffix[] = "ACT";
constexpr int kUpdateError = 2;
constexpr int kNothingToLog = 1;
// The longest a row waits for the online started before it: well beyond a reply's time-out.
constexpr std::chrono::seconds kOnlineWaitLimit{30};

// The action log's online attempts in progress, by table. A row, and an offline, wait
// for the online that was started before them, so that they use the handle that the
// online brings rather than the one before it.
class PendingOnlines {
 public:
  void begin(const actionTable* table) {
    std::lock_guard<std::mutex> guard(mutex_);
    pending_.insert(table);
  }
  void end(const actionTable* table) {
    std::lock_guard<std::mutex> guard(mutex_);
    forget(table);
    ended_.notify_all();
  }
  // An online that does not end in time is waited for no more.
  void awaitEnd(const actionTable* table) {
    std::unique_lock<std::mutex> lock(mutex_);
    if (ended_.wait_for(lock, kOnlineWaitLimit, [&] { return pending_.count(table) == 0; })) return;
    TRC(TRC_ERROR, "Warning: action log source still not online after %d seconds.",
        static_cast<int>(kOnlineWaitLimit.count()));
    forget(table);
  }

 private:
  void forget(const actionTable* table) {
    auto found = pending_.find(table);
    if (found != pending_.end()) pending_.erase(found);
  }

  std::mutex mutex_;
  std::condition_variable ended_;
  std::multiset<const actionTable*> pending_;
};

// Never destroyed: detached threads may still use it while the process ends.
PendingOnlines& pendingOnlines() {
  static auto* onlines = new PendingOnlines;
  return *onlines;
}

bool startDetached(void* (*routine)(void*), void* argument, const char* failedText) {
  pthread_t thread;
  if (ZEV0_CreateThread(routine, argument, PTHREAD_CREATE_DETACHED, &thread) == 0) return true;
  TRC(TRC_ERROR, "%s", failedText);
  return false;
}

// The thread deletes its share of the table when it ends.
bool startWithShare(void* (*routine)(void*), const std::shared_ptr<actionTable>& table, const char* failedText) {
  auto* share = new (std::nothrow) std::shared_ptr<actionTable>(table);
  if (share != nullptr && startDetached(routine, share, failedText)) return true;
  if (share == nullptr) TRC(TRC_ERROR, "%s", failedText);
  delete share;
  return false;
}

unsigned long nowSeconds() {
  BSV1_Time now;
  BSV1_GetTime(&now);
  return static_cast<unsigned long>(now.seconds);
}

// With the table's lock held.
int applyRoutedAction(actionTable& table, const ActionInfo_t& record) {
  auto* entry = new (std::nothrow) actionTableEntry(record);
  if (entry == nullptr) {
    TRC(TRC_ERROR, "Error: allocating actionTableEntry");
    return kUpdateError;
  }
  table.linkEntry(entry);
  table.latest(entry);
  table.requestType(ActionInfo_t::kActionRouted);
  return 0;
}

// With the table's lock held.
int applyActionResult(actionTable& table, const ActionInfo_t& record) {
  actionTableIterator walk(table.entries());
  while (actionTableEntry* entry = walk.Next()) {
    if (entry->actionID() != record.actionID || entry->actionType() != ZEV_ACTION_AUTOMATION) continue;
    // Every data provider of the node's host is sent the action; those without the
    // node's source answer so, and must not end it before the one that has it.
    if (record.actionStatus == ZEV_ACTION_SOURCE_OFFLINE && entry->offlineAnswerAwaitsOthers()) {
      TRC(TRC_DETAIL, "actionID <%ld>: no source at one data provider, awaiting the others.", record.actionID);
      return kNothingToLog;
    }
    entry->actionStatus(record.actionStatus);
    entry->actionResults(record.actionResults);
    table.latest(entry);
    table.requestType(ActionInfo_t::kActionResult);
    return 0;
  }
  TRC(TRC_DETAIL, "No actionTableEntry for the result of actionID <%ld>.", record.actionID);
  return kNothingToLog;
}

int applyRecord(actionTable& table, const ActionInfo_t& record) {
  switch (record.requestType) {
    case ActionInfo_t::kActionRouted:
      return applyRoutedAction(table, record);
    case ActionInfo_t::kActionResult:
      return applyActionResult(table, record);
    default:
      TRC(TRC_ERROR, "Error: requestType<%d> not valid", record.requestType);
      return kUpdateError;
  }
}

// Steps after a record was applied; false when the thread must end.
bool logLatest(actionTable& table) {
  actionTableEntry* entry = table.latest();
  int requestType = table.requestType();
  applyActionLogRate(table, *entry, requestType, nowSeconds());
  bool goOn = true;
  if (entry->getActionLogging() != 0) {
    pendingOnlines().awaitEnd(&table);
    ActionRowResult row = sendActionRow(*entry, table.handle());
    goOn = row == ActionRowResult::sent || row == ActionRowResult::timedOut;
  }
  // The result is the last the log hears of an action.
  if (requestType == ActionInfo_t::kActionResult && table.removeEntry(entry) != 0)
    TRC(TRC_ERROR, "Error: failed to remove actionTableEntry @%p actionID <%ld>", static_cast<void*>(entry),
        entry->actionID());
  return goOn;
}

}  // namespace

void actionLogSourceName(const char* hostName, char (&name)[actionTable::kSourceNameSize]) {
  if (hostName == nullptr || hostName[0] == '\0') {
    TRC(TRC_ERROR, "Error: ZEV0_LocalHostNameString failed for Action table.");
    hostName = "";
  }
  // A longer short name would make a source name that the DCH refuses.
  constexpr size_t kMaxShortName = DCH_MAX_SOURCE_NAME - (sizeof kSourceSuffix - 1);
  size_t shortName = std::strcspn(hostName, ".");
  if (shortName > kMaxShortName) shortName = kMaxShortName;
  std::snprintf(name, sizeof name, "%.*s%s", static_cast<int>(shortName), hostName, kSourceSuffix);
}

int updateActionTable(actionTable* table) {
  ActionInfo_t record;
  if (table->cb_get_data(&record) != 0) return kUpdateError;
  if (ZEVA_GetLock(table->lock(), table) != 0) {
    TRC(TRC_ERROR, "Error: unable to acquire actionTable lock");
    return kUpdateError;
  }
  int result = applyRecord(*table, record);
  if (ZEVA_ReleaseLock(table->lock(), table) != 0) {
    TRC(TRC_ERROR, "Error: failed to release actionTable lock");
    result = kUpdateError;
  }
  return result;
}

void* actionOnline(void* tableShare) {
  std::unique_ptr<std::shared_ptr<actionTable>> share(static_cast<std::shared_ptr<actionTable>*>(tableShare));
  actionTable* table = share->get();
  char sourceName[actionTable::kSourceNameSize];
  actionLogSourceName(ZEV0_LocalHostNameString(), sourceName);
  table->sourceName(sourceName);
  long status = 0;
  long handle = 0;
  int result = dp_online(&status, &handle, DCH_ACTION_LOG_APPLICATION, kActionLogGroup, sourceName);
  if (result == 0 && status == 0) {
    table->handle(handle);
    TRC(TRC_DETAIL, "Action table source <%s> online, handle <%ld>.", sourceName, handle);
  } else {
    TRC(TRC_ERROR, "Error: dp_online failed for Action table. ERROR<%d> STATUS<%ld>", result, status);
  }
  pendingOnlines().end(table);
  return nullptr;
}

void* actionData(void* argument) {
  auto* table = static_cast<actionTable*>(argument);
  for (;;) {
    int applied = updateActionTable(table);
    if (applied == kUpdateError) {
      TRC(TRC_ERROR, "Error: updateActionTable returned: %d", applied);
      break;
    }
    if (applied == 0 && !logLatest(*table)) break;
  }
  // The table may go as soon as this is done.
  table->actionLogStopped();
  return nullptr;
}

void* actionOffline(void* tableShare) {
  std::unique_ptr<std::shared_ptr<actionTable>> share(static_cast<std::shared_ptr<actionTable>*>(tableShare));
  actionTable* table = share->get();
  // An online still on its way brings the handle to take offline.
  pendingOnlines().awaitEnd(table);
  long handle = table->handle();
  long status = 0;
  int result = dp_offline(&status, handle);
  if (result != 0 || status != 0)
    TRC(TRC_ERROR, "Error: dp_offline failed for Action table. HANDLE<%ld> ERROR<%d> STATUS<%ld>", handle, result,
        status);
  return nullptr;
}

int doActionOnline(const std::shared_ptr<actionTable>& table) {
  pendingOnlines().begin(table.get());
  if (startWithShare(actionOnline, table, "Error: actionOnline thread failed creation.")) return 0;
  pendingOnlines().end(table.get());
  return 1;
}

int doActionData(actionTable* table) {
  table->actionLogStarted();
  if (startDetached(actionData, table, "Error: actionData thread failed creation.")) return 0;
  table->actionLogStopped();
  return 1;
}

int doActionOffline(const std::shared_ptr<actionTable>& table) {
  return startWithShare(actionOffline, table, "Error: actionOffline thread failed creation.") ? 0 : 1;
}
