#include "action_perform.h"

#include <cstring>
#include <string>
#include <vector>

#include "action_command.h"
#include "action_entry.h"
#include "action_hand_over.h"
#include "action_worker.h"
#include "application_entry.h"
#include "engine_routines.h"
#include "process_entry.h"
#include "source_entry.h"
#include "source_node_lookups.h"
#include "table_entry.h"
#include "trc1.h"
#include "url_rule_start.h"
#include "zev/action_codes.h"

TRC_UNIT();

namespace {

constexpr char kURLapplication[] = "Internet";
constexpr char kURLgroup[] = "Managed_URL";

bool named(const ActionEntry* entry, const char* name) {
  return entry->ActionName != nullptr && std::strcmp(entry->ActionName, name) == 0;
}

// Every text the agent must send is there (a field sent twice counts twice).
bool complete(const ActionEntry* entry) {
  return entry->FieldCount == ZEVP_ACTION_FIELDS_REQUIRED && entry->ActionSourceNode != nullptr &&
         entry->ActionOwner != nullptr && entry->ActionName != nullptr;
}

std::vector<SourceEntry*> locateSources(DPAB* anchor, const ActionEntry* entry) {
  if (std::strcmp(entry->ActionOwner, ActionIsPolicy) == 0)
    return ZEVP_LocatePolicySourceBySubNode(anchor, entry->ActionSourceNode);
  std::vector<SourceEntry*> sources;
  if (SourceEntry* source = ZEVP_LocateSourceBySubNode(anchor, entry->ActionSourceNode)) sources.push_back(source);
  return sources;
}

bool isManagedURLsource(const SourceEntry* source) {
  const TableEntry* table = source->Table;
  return table != nullptr && table->Application != nullptr && std::strcmp(table->TableName, kURLgroup) == 0 &&
         std::strcmp(table->Application->ApplName, kURLapplication) == 0;
}

void performRule(DPAB* anchor, const SourceEntry* source, ActionEntry* entry) {
  if (!isManagedURLsource(source)) {
    TRC(TRC_DETAIL, "Rule %s of %s bypassed: not for the URL monitoring group", entry->ActionName,
        entry->ActionOwner);
    return;
  }
  if (named(entry, SitStart))
    ZEVP_StartURLmonitoringByRule(anchor, entry);
  else if (named(entry, SitStop))
    zevp::Routines().stopSitHTTPrequest(anchor, entry->ActionOwner);
  else
    TRC(TRC_ERROR, "*****Error: Received unknown action request <%s> for <%s>", entry->ActionName,
        entry->ActionOwner);
}

void runCommand(DPAB* anchor, const ActionWorkerTaskEntry* worker, ActionEntry* entry) {
  if (worker->LogActivity != 0)
    zevp::Routines().sendDPlogMessage(anchor, 62, ZEVP_AutoTypeText(entry->ActionType), entry->ActionOwner,
                                      entry->ActionName, entry->ActionParm != nullptr ? entry->ActionParm : "NONE",
                                      "DP");
  ZEVP_ExecuteActionCommand(entry);
  ZEVP_LogActionCompletion(anchor, worker, entry);
}

}  // namespace

void ZEVP_LogActionCompletion(DPAB* anchor, const ActionWorkerTaskEntry* worker, const ActionEntry* entry) {
  if (worker->LogActivity == 0) return;
  std::string status = std::to_string(entry->ActionStatus);
  const char* type = ZEVP_AutoTypeText(entry->ActionType);
  auto log = zevp::Routines().sendDPlogMessage;
  if (entry->ActionResult != nullptr && entry->ResultLength > 0)
    log(anchor, 61, type, entry->ActionOwner, status.c_str(), entry->ActionResult, nullptr);
  else if (entry->ActionType == ZEV_ACTION_AUTOMATION)
    log(anchor, 60, type, entry->ActionOwner, status.c_str(), nullptr, nullptr);
}

void ZEVP_PerformAction(ActionWorkerTaskEntry* worker, ProcessEntry* own, ActionEntry* entry) {
  DPAB* anchor = own->anchor;
  if (!complete(entry)) {
    TRC(TRC_ERROR, "*****Error: not all required action fields received. Action failed");
    entry->ActionStatus = ZEV_ACTION_PROTO_ERROR;
    return;
  }
  std::vector<SourceEntry*> sources = locateSources(anchor, entry);
  if (sources.empty()) {
    TRC(TRC_ERROR, "*****Error: no active source for action %u node <%s>", entry->ActionID,
        entry->ActionSourceNode);
    entry->ActionStatus = ZEV_ACTION_SOURCE_OFFLINE;
    return;
  }
  entry->WorkerTask = worker;
  if (ZEVP_CheckIsLocalAction(sources.front(), entry) == 0) {
    for (SourceEntry* source : sources) ZEVP_PerformRemoteAction(own, source, entry);
    ZEVP_LogActionCompletion(anchor, worker, entry);
    return;
  }
  zevp::EngineRoutines& routines = zevp::Routines();
  if (entry->ActionType == ZEV_ACTION_RULE)
    performRule(anchor, sources.front(), entry);
  else if (named(entry, ZEVP_TRAPEMIT))
    routines.emitSNMPtrap(anchor, entry);
  else if (named(entry, ZEVP_DP_CONTROL))
    routines.scheduleRunConsoleCommand(anchor, entry);
  else if (named(entry, ZEVP_DP_CONFIG))
    routines.scheduleDPconfigurationRequest(anchor, entry);
  else
    runCommand(anchor, worker, entry);
}
