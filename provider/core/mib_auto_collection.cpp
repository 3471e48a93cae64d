#include "mib_auto_collection.h"

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "action_entry.h"
#include "action_worker.h"
#include "application_entry.h"
#include "attribute_entry.h"
#include "dp_anchor.h"
#include "engine_routines.h"
#include "managed_node_entry.h"
#include "shutdown_request.h"
#include "source_entry.h"
#include "table_entry.h"
#include "trc1.h"
#include "zev/action_codes.h"
#include "zev0/env.h"
#include "zev0/storage.h"

TRC_UNIT();

namespace {

constexpr char EnterprisePrefix[] = "1.3.6.1.4.1.";
constexpr char kMIB2application[] = "MIB-2";
constexpr int32_t kParameterSize = 512;
constexpr int32_t kDefaultIntervalSeconds = 600;
constexpr int32_t kRowAttributesNeeded = 3;
constexpr unsigned kStartupLookSeconds = 3;

bool switchOn(const char* name, const char* defaultValue) {
  const char* value = ZEV0_GetEnv(name, defaultValue);
  return value != nullptr && (value[0] == 'Y' || value[0] == 'y');
}

struct Settings {
  bool autoStart;
  bool mib2ForEveryNode;
  int32_t interval;
};

const Settings& settings() {
  static const Settings read = [] {
    Settings s;
    s.autoStart = switchOn("ZEVP_SNMP_AUTOSTART_MIB_COLLECTION", "Y");
    s.mib2ForEveryNode = switchOn("ZEVP_SNMP_AUTOSTART_COLLECTION_MIB2", "N");
    const char* interval = ZEV0_GetEnv("ZEVP_SNMP_CUSTOM_MIBGET_INTERVAL", nullptr);
    long seconds = interval != nullptr ? std::strtol(interval, nullptr, 10) : 0;
    s.interval = seconds > 0 && seconds <= INT32_MAX ? static_cast<int32_t>(seconds) : kDefaultIntervalSeconds;
    return s;
  }();
  return read;
}

enum class Direction { start, stop };

// The identifier applications are compared with: an enterprise's arc up to the
// dot after its number, any other identifier whole.
std::string enterpriseOf(const char* objectIdentifier) {
  std::string oid = objectIdentifier;
  if (oid.compare(0, sizeof EnterprisePrefix - 1, EnterprisePrefix) != 0) return oid;
  size_t dot = oid.find('.', sizeof EnterprisePrefix - 1);
  return dot == std::string::npos ? oid : oid.substr(0, dot + 1);
}

bool matches(const ApplicationEntry* application, const std::string& enterprise, const ManagedNodeEntry* node) {
  if (application->EnterpriseOID == nullptr) return false;
  if (std::strncmp(application->EnterpriseOID, enterprise.c_str(), enterprise.size()) == 0) return true;
  // An application that names the enterprise itself, without the dot the cut keeps.
  if (!enterprise.empty() && enterprise.back() == '.' &&
      enterprise.compare(0, enterprise.size() - 1, application->EnterpriseOID) == 0)
    return true;
  return std::strcmp(application->ApplName, kMIB2application) == 0 &&
         (settings().mib2ForEveryNode || node->MIB2Admitted != 0);
}

// Attributes the model adds to an SNMP group, which no MIB object feeds.
bool exemptFromOID(const AttributeEntry* attribute) {
  return attribute->AttrName[0] == '_' || std::strcmp(attribute->AttrName, "Agent_Info") == 0 ||
         std::strcmp(attribute->AttrName, "Agent_Name") == 0;
}

bool collectable(TableEntry* group) {
  SourceEntry* source = group->FirstSource;
  if (source == nullptr) return false;
  BSV1_GetLock(&source->AttributeLock);
  bool everyOID = true;
  for (const AttributeEntry* attribute = source->FirstAttribute; attribute != nullptr && everyOID;
       attribute = attribute->next)
    if (attribute->AttrOIDstring == nullptr && !exemptFromOID(attribute)) everyOID = false;
  BSV1_ReleaseLock(&source->AttributeLock);
  if (!everyOID) {
    TRC(TRC_DETAIL, "Non-SNMP application table %s. Data collection bypassed", group->TableName);
    return false;
  }
  BSV1_GetLock(&group->CounterLock);
  int32_t perRow = group->AttributesPerRow;
  BSV1_ReleaseLock(&group->CounterLock);
  return perRow >= kRowAttributesNeeded;
}

// The action for one group, or null without storage.
ActionEntry* actionFor(DPAB* anchor, Direction direction, const ManagedNodeEntry* node,
                       const ApplicationEntry* application, const TableEntry* group) {
  ActionEntry* entry = zevp::Routines().allocateAutoStartActionEntry(anchor);
  if (entry == nullptr) return nullptr;
  auto* parameters = static_cast<char*>(ZEV0_GetStorage(kParameterSize));
  if (parameters != nullptr) {
    const char* nodeName = node->ManagedNodeName != nullptr ? node->ManagedNodeName : "";
    if (direction == Direction::start)
      std::snprintf(parameters, kParameterSize, "AGENTINFO=( %s ) INTERVAL=%d APPLNAME=%s ATTRGROUP=%s", nodeName,
                    settings().interval, application->ApplName, group->TableName);
    else
      std::snprintf(parameters, kParameterSize, "AGENTINFO=( %s ) APPLNAME=%s ATTRGROUP=%s", nodeName,
                    application->ApplName, group->TableName);
  }
  BSV1_GetLock(&anchor->actionListLock);
  ZEV0_FreeStorage(&entry->ActionParm);
  entry->ActionParm = parameters;
  if (direction == Direction::stop) {
    ZEV0_FreeStorage(&entry->ActionName);
    entry->ActionName = ZEVP_CopyActionText("SNMPSTOPGET", 11);
  }
  BSV1_ReleaseLock(&anchor->actionListLock);
  if (parameters == nullptr || entry->ActionName == nullptr) {
    ZEVP_ReleaseActionEntry(anchor, entry);
    return nullptr;
  }
  return entry;
}

// False when no worker could be had (the action is given up).
bool dispatch(DPAB* anchor, ActionEntry* entry, Direction direction) {
  ActionWorkerTaskEntry* worker = ZEVP_AllocateActionWorkerTask(anchor->dchLink.load(), ZEV_ACTION_SNMP, 1);
  if (worker == nullptr) {
    ZEVP_ReleaseActionEntry(anchor, entry);
    if (direction == Direction::start)
      TRC(TRC_ERROR, "*****Auto worker thread creation failed. MIB auto start bypassed");
    else
      TRC(TRC_ERROR, "*****Auto worker thread creation failed. MIB auto stop bypassed");
    return false;
  }
  ZEVP_AssignWorkerAction(worker, entry);
  return true;
}

// The actions of each matching application's collectable groups, made under the
// application locks.
std::vector<std::vector<ActionEntry*>> actionsOfGroups(DPAB* anchor, const ManagedNodeEntry* node,
                                                       const std::string& enterprise, Direction direction) {
  std::vector<std::vector<ActionEntry*>> applications;
  BSV1_GetLock(&anchor->applicationListLock);
  for (ApplicationEntry* application = anchor->applications; application != nullptr;
       application = application->next) {
    if (!matches(application, enterprise, node)) continue;
    std::vector<ActionEntry*> actions;
    BSV1_GetLock(&application->TableListLock);
    for (TableEntry* group = application->FirstTable; group != nullptr; group = group->next) {
      if (!collectable(group)) continue;
      ActionEntry* entry = actionFor(anchor, direction, node, application, group);
      if (entry == nullptr) {
        TRC(TRC_ERROR, "***** No storage for the MIB action of group %s", group->TableName);
        break;
      }
      actions.push_back(entry);
    }
    BSV1_ReleaseLock(&application->TableListLock);
    applications.push_back(std::move(actions));
  }
  BSV1_ReleaseLock(&anchor->applicationListLock);
  return applications;
}

// The workers are had with no application lock held: finding one takes the worker
// list's lock, which a collector holds while it takes locks that lead, through a
// source's and the DCH link's, to an application's (a registration).
void collectGroups(DPAB* anchor, const ManagedNodeEntry* node, const std::string& enterprise, Direction direction) {
  for (const std::vector<ActionEntry*>& actions : actionsOfGroups(anchor, node, enterprise, direction)) {
    for (size_t next = 0; next < actions.size(); ++next) {
      if (dispatch(anchor, actions[next], direction)) continue;
      // The application is given up: the actions not handed over go too.
      for (size_t rest = next + 1; rest < actions.size(); ++rest) ZEVP_ReleaseActionEntry(anchor, actions[rest]);
      break;
    }
  }
}

void collect(DPAB* anchor, const ManagedNodeEntry* node, Direction direction) {
  if (node == nullptr || node->ManagedNodeOID == nullptr || node->ManagedNodeOID[0] == '\0') return;
  std::string enterprise = enterpriseOf(node->ManagedNodeOID);
  while (anchor->startupConfigDone == 0) {
    if (zevp::ShutdownRequested(anchor)) return;
    BSV1_Sleep(kStartupLookSeconds);
  }
  collectGroups(anchor, node, enterprise, direction);
}

}  // namespace

void ZEVP_AutoStartMIBcollection(DPAB* anchor, const ManagedNodeEntry* node) {
  if (!settings().autoStart) return;
  collect(anchor, node, Direction::start);
}

void ZEVP_AutoStopMIBcollection(DPAB* anchor, const ManagedNodeEntry* node) {
  collect(anchor, node, Direction::stop);
}
