#include "mib_collection.h"

#include <cctype>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <string>

#include "action_entry.h"
#include "action_worker.h"
#include "application_entry.h"
#include "attribute_entry.h"
#include "automation_server.h"
#include "dp_anchor.h"
#include "metafile_text.h"
#include "model_lookups.h"
#include "monitor_node_list.h"
#include "process_entry.h"
#include "snmp_action_parameters.h"
#include "snmp_worker_extension.h"
#include "snmp_worker_task.h"
#include "source_entry.h"
#include "table_entry.h"
#include "trc1.h"
#include "zev/action_codes.h"
#include "zev0/env.h"
#include "zev0/storage.h"

TRC_UNIT();

namespace {

constexpr int32_t kStatusRefused = 2;
constexpr int32_t kStatusMissing = 3;
constexpr int32_t kStatusSyntax = 9;
constexpr int32_t kStatusNeverStarted = 10;
constexpr int32_t kTextSyntax = 9;
constexpr int32_t kTextNeverStarted = 10;
constexpr int32_t kMinimumInterval = 30;
constexpr char kAgentInfo[] = "AGENTINFO=";
constexpr char kObjectInstance[] = "_ObjectInstance";

int32_t customInterval() {
  static std::once_flag once;
  static int32_t interval = 300;
  std::call_once(once, [] {
    int32_t configured = std::atoi(ZEV0_GetEnv("ZEVP_SNMP_CUSTOM_MIBGET_INTERVAL", "300"));
    if (configured > 0) interval = configured;
  });
  return interval;
}

void refuse(ActionEntry* action, int32_t status, const std::string& text) {
  TRC(TRC_ERROR, "%s", text.c_str());
  action->ActionStatus = status;
  ZEVP_SetActionResult(action, text.c_str());
  action->ResultLength = static_cast<int32_t>(text.size());
}

const char* agentInfoOf(const ActionEntry* action) {
  return action->ActionParm != nullptr ? std::strstr(action->ActionParm, kAgentInfo) : nullptr;
}

bool sameName(const char* name, const std::string& upperName) { return zevp::UpperCased(name) == upperName; }

// The SNMP worker collecting the table, or null; the caller holds the worker-list lock.
ActionWorkerTaskEntry* collectorOf(DPAB* anchor, const ApplicationEntry* application, const TableEntry* table) {
  for (ActionWorkerTaskEntry* worker = anchor->actionWorkers; worker != nullptr; worker = worker->NextWorker) {
    SNMPWorkerTaskExtension* extension = worker->WorkerExtension;
    if (worker->ActionWorkerType == ZEV_ACTION_SNMP && extension != nullptr &&
        extension->application == application && extension->table == table)
      return worker;
  }
  return nullptr;
}

ActionWorkerTaskEntry* collectorNamed(DPAB* anchor, const std::string& application, const std::string& table) {
  BSV1_GetLock(&anchor->actionWorkerListLock);
  ActionWorkerTaskEntry* found = nullptr;
  for (ActionWorkerTaskEntry* worker = anchor->actionWorkers; worker != nullptr && found == nullptr;
       worker = worker->NextWorker) {
    SNMPWorkerTaskExtension* extension = worker->WorkerExtension;
    if (worker->ActionWorkerType == ZEV_ACTION_SNMP && extension != nullptr && extension->application != nullptr &&
        extension->table != nullptr && sameName(extension->application->ApplName, application) &&
        sameName(extension->table->TableName, table))
      found = worker;
  }
  BSV1_ReleaseLock(&anchor->actionWorkerListLock);
  return found;
}

// A copy of the action for one table: its parameters with ATTRGROUP=<table>.
void queueForTable(DPAB* anchor, const ActionEntry* action, const TableEntry* table) {
  std::string parameters = action->ActionParm != nullptr ? action->ActionParm : "";
  const std::string group = "ATTRGROUP=" + zevp::UpperCased(table->TableName);
  size_t empty = parameters.find("ATTRGROUP=");
  if (empty != std::string::npos)
    parameters.replace(empty, sizeof "ATTRGROUP=" - 1, group);
  else
    parameters += " " + group;
  BSV1_GetLock(&anchor->actionListLock);
  ActionEntry* copy = ZEVP_AllocateActionEntry(anchor);
  if (copy != nullptr) {
    copy->FieldCount = action->FieldCount;
    copy->ActionType = action->ActionType;
    copy->ActionID = action->ActionID;
    copy->SnmpRequest = action->SnmpRequest;
    copy->ActionOwner = ZEVP_CopyActionText(action->ActionOwner, static_cast<uint32_t>(std::strlen(action->ActionOwner)));
    copy->ActionName = ZEVP_CopyActionText(action->ActionName, static_cast<uint32_t>(std::strlen(action->ActionName)));
    copy->ActionParm = ZEVP_CopyActionText(parameters.c_str(), static_cast<uint32_t>(parameters.size()));
    if (action->ActionSourceNode != nullptr)
      copy->ActionSourceNode =
          ZEVP_CopyActionText(action->ActionSourceNode, static_cast<uint32_t>(std::strlen(action->ActionSourceNode)));
  }
  BSV1_ReleaseLock(&anchor->actionListLock);
  if (copy == nullptr) {
    TRC(TRC_ERROR, "***** Unable to obtain storage for the action of table %s", table->TableName);
    return;
  }
  ZEVP_EnqueueActionToServer(anchor, copy);
}

std::string notCollectable(const TableEntry* table) {
  return "Non-SNMP application table <" + std::string(table->TableName) + ">. Data collection bypassed";
}

// The number of tables the action was handed on for.
int queueForEveryTable(DPAB* anchor, ActionEntry* action, ApplicationEntry* application) {
  int queued = 0;
  for (TableEntry* table = application->FirstTable; table != nullptr; table = table->next)
    if (ZEVP_IsThisSNMPtable(table)) {
      queueForTable(anchor, action, table);
      ++queued;
    }
  action->ActionStatus = 0;
  TRC(TRC_DETAIL, "All SNMP application attribute groups processed");
  return queued;
}

int32_t requestedInterval(const ActionEntry* action) {
  auto word = zevp::KeywordWord(action->ActionParm, "INTERVAL=");
  if (!word) return customInterval();
  int32_t interval = std::atoi(word->c_str());
  return interval < kMinimumInterval ? kMinimumInterval : interval;
}

// Joins the table's collector, or makes the caller it; the serving worker.
ActionWorkerTaskEntry* join(DPAB* anchor, ActionEntry* action, ActionWorkerTaskEntry* caller,
                            ApplicationEntry* application, TableEntry* table, int32_t interval) {
  BSV1_GetLock(&anchor->actionWorkerListLock);
  ActionWorkerTaskEntry* serving = collectorOf(anchor, application, table);
  if (serving == nullptr) {
    serving = caller;
    SNMPWorkerTaskExtension* own = caller->WorkerExtension;
    own->application = application;
    own->table = table;
    own->action = action;
  }
  SNMPWorkerTaskExtension* extension = serving->WorkerExtension;
  action->WorkerTask = serving;
  action->SnmpWord = interval;
  BSV1_GetLock(&extension->intervalLock);
  ++extension->interestCount;
  if (interval < extension->interval) extension->interval = interval;
  extension->interestChanged = 1;
  BSV1_ReleaseLock(&extension->intervalLock);
  BSV1_ReleaseLock(&anchor->actionWorkerListLock);
  return serving;
}

// The smallest interval of the other starts the worker serves, 0 for none.
int32_t smallestOtherInterval(DPAB* anchor, const ActionWorkerTaskEntry* serving, const ActionEntry* origin) {
  int32_t smallest = 0;
  BSV1_GetLock(&anchor->actionListLock);
  for (ActionEntry* entry = anchor->actionEntries; entry != nullptr; entry = entry->NextEntry) {
    if (entry == origin || entry->InUse == 0 || entry->WorkerTask != serving || entry->ActionName == nullptr ||
        std::strcmp(entry->ActionName, ZEVP_SNMPSTARTGET) != 0)
      continue;
    if (smallest == 0 || entry->SnmpWord < smallest) smallest = entry->SnmpWord;
  }
  BSV1_ReleaseLock(&anchor->actionListLock);
  return smallest;
}

// What a collector collects: its table and the start that made it collect.
struct CollectionSeen {
  const TableEntry* table;
  const ActionEntry* action;
};

// Lowered only while the collector still runs the collection the stop began in: one whose
// last agent the stop has just removed may have left and reset its count, and its worker
// may serve another start by now.
void lowerInterest(DPAB* anchor, SNMPWorkerTaskExtension* extension, const ActionWorkerTaskEntry* serving,
                   const ActionEntry* origin, const CollectionSeen& seen) {
  int32_t others = smallestOtherInterval(anchor, serving, origin);
  BSV1_GetLock(&anchor->actionWorkerListLock);
  if (seen.table == nullptr || extension->table != seen.table || extension->action != seen.action) {
    BSV1_ReleaseLock(&anchor->actionWorkerListLock);
    TRC(TRC_DETAIL, "Collection already ended; no interest to lower");
    return;
  }
  BSV1_GetLock(&extension->intervalLock);
  --extension->interestCount;
  if (extension->interestCount > 0 && origin->SnmpWord <= extension->interval && others > extension->interval) {
    TRC(TRC_DETAIL, "Get interval reset from %d to %d", extension->interval, others);
    extension->interval = others;
  } else {
    TRC(TRC_DETAIL, "No interval adjustment required. Action Interval %d, Active Interval %d", origin->SnmpWord,
        extension->interval);
  }
  extension->interestChanged = 1;
  BSV1_ReleaseLock(&extension->intervalLock);
  BSV1_ReleaseLock(&anchor->actionWorkerListLock);
}

// Releases every start the worker serves but its collector's own.
void releaseStarts(DPAB* anchor, const ActionWorkerTaskEntry* serving, const ActionEntry* own) {
  BSV1_GetLock(&anchor->actionListLock);
  for (ActionEntry* entry = anchor->actionEntries; entry != nullptr; entry = entry->NextEntry) {
    if (entry == own || entry->InUse == 0 || entry->WorkerTask != serving || entry->ActionName == nullptr ||
        std::strcmp(entry->ActionName, ZEVP_SNMPSTARTGET) != 0)
      continue;
    TRC(TRC_DETAIL, "Action %u released", entry->ActionID);
    ZEVP_ReleaseActionEntry(anchor, entry);
  }
  BSV1_ReleaseLock(&anchor->actionListLock);
}

// True when the stop takes the joined start back from its collector; false when a stop
// of every agent or the collection's end has released it meanwhile.
bool takeJoinedStart(DPAB* anchor, ActionEntry* origin, const ActionWorkerTaskEntry* serving, uint32_t actionID) {
  BSV1_GetLock(&anchor->actionListLock);
  const bool taken = origin->InUse != 0 && origin->WorkerTask == serving && origin->ActionID == actionID;
  if (taken) origin->WorkerTask = nullptr;
  BSV1_ReleaseLock(&anchor->actionListLock);
  if (!taken) TRC(TRC_DETAIL, "Start action %u already released by its collector", actionID);
  return taken;
}

}  // namespace

int ZEVP_IsThisSNMPtable(const TableEntry* table) {
  SourceEntry* source = table->FirstSource;
  if (source == nullptr) {
    TRC(TRC_DETAIL, "Non-SNMP application table <%s> attribute <%s>. Data collection bypassed", table->TableName, "");
    return 0;
  }
  // Under the data lock: a collector of the table swaps in its agents' attribute copies.
  BSV1_GetLock(&source->DataLock);
  int count = 0;
  const AttributeEntry* foreign = nullptr;
  for (const AttributeEntry* attribute = source->FirstAttribute; attribute != nullptr && foreign == nullptr;
       attribute = attribute->next, ++count) {
    if (attribute->AttrOIDstring == nullptr && std::strcmp(attribute->AttrName, kObjectInstance) != 0 &&
        (attribute->AttrOper1 == nullptr || attribute->AttrOper2 == nullptr))
      foreign = attribute;
  }
  const std::string foreignName = foreign != nullptr ? foreign->AttrName : "";
  BSV1_ReleaseLock(&source->DataLock);
  if (foreign == nullptr && count > 2) return 1;
  TRC(TRC_DETAIL, "Non-SNMP application table <%s> attribute <%s>. Data collection bypassed", table->TableName,
      foreignName.c_str());
  return 0;
}

int ZEVP_SNMPstartGetProcess(DPAB* anchor, ActionEntry* action, ActionWorkerTaskEntry* caller) {
  const char* parameters = action->ActionParm != nullptr ? action->ActionParm : "";
  auto applName = zevp::KeywordWord(parameters, "APPLNAME=");
  const char* agentInfo = agentInfoOf(action);
  if (!applName || applName->empty() || agentInfo == nullptr || std::strchr(agentInfo, '(') == nullptr) {
    refuse(action, kStatusMissing,
           std::string("***** SNMPSTARTGET ignored. AGENTNAME or APPLNAME not found in action parms <") + parameters +
               ">");
    return 0;
  }
  int32_t interval = requestedInterval(action);
  ApplicationEntry* application =
      ZEVP_LocateApplicationByName(anchor, applName->c_str(), static_cast<int32_t>(applName->size()));
  if (application == nullptr) {
    refuse(action, kStatusRefused,
           "***** SNMPSTARTGET ignored. MIB not loaded or APPLNAME <" + *applName + "> not found.");
    return 0;
  }
  if (application->SNMPapplication == 0) {
    refuse(action, kStatusRefused, "***** SNMPSTARTGET ignored. Application <" + *applName + "> is not an SNMP MIB.");
    return 0;
  }
  auto group = zevp::KeywordWord(parameters, "ATTRGROUP=");
  if (!group || group->empty()) {
    // A start that starts nothing says why, not that it started.
    if (queueForEveryTable(anchor, action, application) == 0)
      refuse(action, kStatusRefused,
             application->FirstTable != nullptr
                 ? notCollectable(application->FirstTable)
                 : "***** SNMPSTARTGET ignored. Application <" + *applName + "> has no attribute group.");
    return 0;
  }
  TableEntry* table = ZEVP_LocateTableByName(application, group->c_str(), static_cast<int32_t>(group->size()));
  if (table == nullptr) {
    refuse(action, kStatusRefused, "***** SNMPSTARTGET ignored. MIB not loaded or Attr group <" + *group +
                                       "> not found in Appl <" + *applName + ">");
    return 0;
  }
  if (!ZEVP_IsThisSNMPtable(table)) {
    refuse(action, kStatusRefused, notCollectable(table));
    return 0;
  }
  ActionWorkerTaskEntry* serving = join(anchor, action, caller, application, table, interval);
  MonitorAgentNameEntry* names = nullptr;
  ZEVP_SNMPaddAgentNodes(anchor, serving->WorkerExtension, agentInfo, &names, 0);
  // The agents go to the start under the lock under which a stop takes them; a start
  // that joined another collector is that collector's from here on, and this worker
  // reads it no more.
  BSV1_GetLock(&anchor->actionListLock);
  MonitorAgentNameEntry** tail = &action->MonitorAgentNameEntries;
  while (*tail != nullptr) tail = &(*tail)->next;
  *tail = names;
  BSV1_ReleaseLock(&anchor->actionListLock);
  if (serving == caller) return 1;
  caller->WorkerExtension->startHandedOver = 1;
  ZEVP_WakeSNMPcollector(serving);
  return 0;
}

void ZEVP_SNMPstopGetProcess(DPAB* anchor, ActionEntry* stop, ProcessEntry* own, SourceEntry* reply) {
  const char* owner = stop->ActionOwner != nullptr ? stop->ActionOwner : "";
  stop->ActionStatus = 0;
  ActionEntry* origin = ZEVP_LocateStartActionByID(anchor, stop->ActionID, owner);
  if (origin == nullptr) {
    TRC(TRC_DETAIL, ">>>>>No STARTGET action found. STOPGET action for ID %u Owner <%s> ignored", stop->ActionID, owner);
    return;
  }
  BSV1_GetLock(&anchor->actionListLock);
  ActionWorkerTaskEntry* serving = origin->WorkerTask;
  BSV1_ReleaseLock(&anchor->actionListLock);
  if (serving == nullptr) {
    TRC(TRC_DETAIL, ">>>>>No active action task found for origin action. STOPGET action for ID %u Owner <%s> ignored",
        stop->ActionID, owner);
    return;
  }
  // A start that has just joined its collector is its own worker's until its agents
  // are in.
  while (ZEVP_ActionHeldByWorker(anchor, origin, serving)) BSV1_Sleep(1);
  SNMPWorkerTaskExtension* extension = serving->WorkerExtension;
  if (extension == nullptr) {
    TRC(TRC_DETAIL, ">>>>>Uninitialized SNMP worker task. STOPGET action for ID %u Owner <%s> ignored",
        stop->ActionID, owner);
    return;
  }
  // Asked before its agents go: a collector left without agents or interest ends, resets
  // and gives its own start back, and then names neither the start nor the table.
  BSV1_GetLock(&anchor->actionWorkerListLock);
  const CollectionSeen seen{extension->table, extension->action};
  BSV1_ReleaseLock(&anchor->actionWorkerListLock);
  const bool collectorsOwn = origin == seen.action;
  // The names are taken under the action-list lock; the agents' rows are deleted
  // without it, for that waits for the DCH.
  BSV1_GetLock(&anchor->actionListLock);
  MonitorAgentNameEntry* names = origin->MonitorAgentNameEntries;
  origin->MonitorAgentNameEntries = nullptr;
  BSV1_ReleaseLock(&anchor->actionListLock);
  ZEVP_SNMPdeleteAgentNodes(anchor, extension, &names);
  lowerInterest(anchor, extension, serving, origin, seen);
  if (!collectorsOwn && takeJoinedStart(anchor, origin, serving, stop->ActionID)) {
    // A start that joined a collector was answered with success, and an answer may still
    // be reading the entry: only a status that differs is written.
    if (origin->ActionStatus != ZEV_ACTION_SUCCESS) origin->ActionStatus = ZEV_ACTION_SUCCESS;
    ZEVP_PostSNMPactionResult(anchor, own, reply, origin);
    origin->WorkState = ZEVP_ACTION_FINISHED;
    ZEVP_EnqueueActionToServer(anchor, origin);
  }
  ZEVP_WakeSNMPcollector(serving);
}

void ZEVP_SNMPstopGetSpecial(DPAB* anchor, ActionEntry* stop) {
  const char* parameters = stop->ActionParm != nullptr ? stop->ActionParm : "";
  auto applName = zevp::KeywordWord(parameters, "APPLNAME=");
  const char* agentInfo = agentInfoOf(stop);
  bool allAgents = agentInfo == nullptr || std::strchr(agentInfo, '*') != nullptr;
  if (!applName || applName->empty() || (!allAgents && std::strchr(agentInfo, '(') == nullptr)) {
    TRC(TRC_ERROR, ">>>>>Action info parm syntax error. STOPGET action ignored");
    stop->ActionStatus = kStatusSyntax;
    ZEVP_SetActionResultText(stop, kTextSyntax);
    return;
  }
  auto group = zevp::KeywordWord(parameters, "ATTRGROUP=");
  if (!group || group->empty()) {
    ApplicationEntry* application =
        ZEVP_LocateApplicationByName(anchor, applName->c_str(), static_cast<int32_t>(applName->size()));
    if (application == nullptr) {
      refuse(stop, kStatusRefused, "MIB Application <" + *applName + "> not found or not loaded");
      return;
    }
    queueForEveryTable(anchor, stop, application);
    return;
  }
  ActionWorkerTaskEntry* serving = collectorNamed(anchor, zevp::UpperCased(*applName), zevp::UpperCased(*group));
  SNMPWorkerTaskExtension* extension = serving != nullptr ? serving->WorkerExtension : nullptr;
  if (extension == nullptr) {
    TRC(TRC_DETAIL, ">>>>>No active action task found for special. STOPGET action ignored");
    stop->ActionStatus = kStatusNeverStarted;
    ZEVP_SetActionResultText(stop, kTextNeverStarted);
    return;
  }
  if (allAgents) {
    // The other starts go; the collector's own is completed when its collection
    // ends, which removing every agent brings about.
    BSV1_GetLock(&anchor->actionWorkerListLock);
    const ActionEntry* collectorsOwn = extension->action;
    BSV1_ReleaseLock(&anchor->actionWorkerListLock);
    releaseStarts(anchor, serving, collectorsOwn);
    ZEVP_SNMPremoveAllAgentNodes(anchor, extension);
  } else {
    MonitorAgentNameEntry* names = nullptr;
    ZEVP_SNMPaddAgentNodes(anchor, nullptr, agentInfo, &names, 1);
    ZEVP_SNMPdeleteAgentNodes(anchor, extension, &names);
  }
  BSV1_GetLock(&extension->intervalLock);
  extension->interestChanged = 1;
  BSV1_ReleaseLock(&extension->intervalLock);
  ZEVP_WakeSNMPcollector(serving);
}

void ZEVP_StopSNMPcollection(SourceEntry* source) {
  BSV1_GetLock(&source->EntryLock);
  ProcessEntry* collector = source->OwningTask;
  BSV1_ReleaseLock(&source->EntryLock);
  TableEntry* table = source->Table;
  if (collector == nullptr || table == nullptr) return;
  DPAB* anchor = collector->anchor;
  BSV1_GetLock(&anchor->actionWorkerListLock);
  ActionWorkerTaskEntry* serving = collectorOf(anchor, table->Application, table);
  const ActionEntry* own = serving != nullptr ? serving->WorkerExtension->action : nullptr;
  if (serving != nullptr) serving->WorkerExtension->collectionStopped = 1;
  BSV1_ReleaseLock(&anchor->actionWorkerListLock);
  if (serving == nullptr) {
    TRC(TRC_DETAIL, "No collector of table %s to stop", table->TableName);
    return;
  }
  TRC(TRC_DETAIL, "Collection of table %s stopped", table->TableName);
  releaseStarts(anchor, serving, own);
  ZEVP_WakeSNMPcollector(serving);
}
