// The console verbs that change the loaded applications: DELETE, IMPORT, REFRESH
// and ACCEPT, with the look-up of the application a command names.
#include <string>

#include "application_deletion.h"
#include "console_area.h"
#include "console_commands.h"
#include "console_verbs.h"
#include "dch_work_queue.h"
#include "dp_anchor.h"
#include "engine_routines.h"
#include "metafile_parser.h"
#include "model_records.h"
#include "model_release.h"
#include "startup_config.h"
#include "zev/dp_types.h"
#include "zev0/hostnames.h"
#include "zev0/storage.h"
#include "zev0/text.h"

namespace zevp {

namespace {

void SendDPlog(DPAB* anchor, int32_t number, const std::string& insert) {
  Routines().sendDPlogMessage(anchor, number, insert.c_str(), nullptr, nullptr, nullptr, nullptr);
}

ConsoleOutcome Status(int32_t status) {
  ConsoleOutcome outcome;
  outcome.status = status;
  return outcome;
}

bool StartsFileServers(const DPAB* anchor) { return anchor->dpType == ZEV_DP_FILE || anchor->dpType == ZEV_DP_ASFS; }

// What a metafile parse left, as the console's status: the application's first
// source tells whether the agent accepted it; a FILE or ASFS data provider starts
// the file servers of an application that is ready.
int32_t ImportOutcome(const ConsoleContext& context, ApplicationEntry* application, int opened) {
  DPAB* anchor = context.anchor;
  if (application == nullptr) return opened ? ZEVP_CONSOLE_DEFINITION_ERROR : ZEVP_CONSOLE_NOT_FOUND;
  SourceEntry* first = application->FirstTable != nullptr ? application->FirstTable->FirstSource : nullptr;
  int32_t state = first != nullptr ? ZEVP_SourceStateOf(first) : ZEVP_NoState;
  if (state == ZEVP_Initial && application->SNMPapplication != 0 && anchor->dpType != ZEV_DP_SNMP)
    return ZEVP_CONSOLE_SNMP_DEFINITION;
  if (state == ZEVP_Register || application->KnownToAgent != 0) {
    SendDPlog(anchor, ZEVP_DPLOG_KNOWN_TO_AGENT, application->ApplName);
    return ZEVP_CONSOLE_KNOWN_TO_AGENT;
  }
  if (StartsFileServers(anchor)) Routines().checkAndStartFileServer(anchor, context.typeRoutine);
  return ZEVP_CONSOLE_DONE;
}

int32_t BuildApplication(const ConsoleContext& context, const std::string& metafileName) {
  int opened = 0;
  ApplicationEntry* application =
      ZEVP_ConstructApplDataModel(context.anchor, metafileName.c_str(), 0, &opened, nullptr, 0, 1);
  return ImportOutcome(context, application, opened);
}

}  // namespace

ApplicationEntry* LookUpConsoleApplication(DPAB* anchor, const std::string& name) {
  if (name.empty() || name.size() > ZEVP_CONSOLE_NAME_MAX) return nullptr;
  ApplicationEntry* application = ZEVP_CheckApplicationExistence(anchor, name.c_str());
  if (application != nullptr || ZEV0_IsThisFullyQualifiedName(name.c_str())) return application;
  char* fullName = ZEV0_ConstructFullyQualifiedName(anchor->metafileDirectory, name.c_str());
  if (fullName != nullptr) application = ZEVP_CheckApplicationExistence(anchor, fullName);
  ZEV0_FreeStorage(&fullName);
  return application;
}

ConsoleOutcome DeleteApplication(const ConsoleContext& context, const std::string& name) {
  DPAB* anchor = context.anchor;
  if (name.empty()) return Status(ZEVP_CONSOLE_NOT_DEFINED);
  SendDPlog(anchor, ZEVP_DPLOG_DELETE_RECEIVED, name);
  BSV1_GetLock(&anchor->applDefinitionLock);
  ApplicationEntry* application = LookUpConsoleApplication(anchor, name);
  if (application != nullptr) {
    std::string metafileName = application->MetafileName != nullptr ? application->MetafileName : name;
    ZEVP_DeleteExistingApplication(anchor, application);
    ZEVP_RemoveMetafileFromStartUpConfig(anchor, metafileName.c_str());
  }
  BSV1_ReleaseLock(&anchor->applDefinitionLock);
  if (application != nullptr) return Status(ZEVP_CONSOLE_DONE);
  SendDPlog(anchor, ZEVP_DPLOG_NOT_DEFINED, name);
  return Status(ZEVP_CONSOLE_NOT_DEFINED);
}

ConsoleOutcome ImportApplication(const ConsoleContext& context, const std::string& name) {
  if (name.empty() || name.size() > ZEVP_CONSOLE_NAME_MAX) return Status(ZEVP_CONSOLE_NOT_FOUND);
  bool fromClientAPI = context.receivingType == ZEV_DP_APIS;
  SendDPlog(context.anchor, fromClientAPI ? ZEVP_DPLOG_API_DEFINE_RECEIVED : ZEVP_DPLOG_IMPORT_RECEIVED, name);
  int32_t status = BuildApplication(context, name);
  if (status == ZEVP_CONSOLE_DONE) ZEVP_AppendMetafileToStartUpConfig(context.anchor, name.c_str());
  return Status(status);
}

ConsoleOutcome RefreshApplication(const ConsoleContext& context, const std::string& name) {
  DPAB* anchor = context.anchor;
  if (name.empty()) return Status(ZEVP_CONSOLE_NOT_DEFINED);
  bool fromClientAPI = context.receivingType == ZEV_DP_APIS;
  SendDPlog(anchor, fromClientAPI ? ZEVP_DPLOG_API_REDEFINE_RECEIVED : ZEVP_DPLOG_REFRESH_RECEIVED, name);
  BSV1_GetLock(&anchor->applDefinitionLock);
  ApplicationEntry* application = LookUpConsoleApplication(anchor, name);
  int32_t status = ZEVP_CONSOLE_NOT_DEFINED;
  if (application != nullptr) {
    std::string metafileName = application->MetafileName != nullptr ? application->MetafileName : name;
    ZEVP_DeleteExistingApplication(anchor, application);
    status = BuildApplication(context, metafileName);
    application = LookUpConsoleApplication(anchor, metafileName);
    // The SNMP data provider starts the rebuilt application's MIB collections anew.
    if (application != nullptr && application->SNMPapplication != 0 && anchor->dpType == ZEV_DP_SNMP)
      Routines().doAutoStartMIBmonitorTasks(anchor, application->ApplName);
  }
  BSV1_ReleaseLock(&anchor->applDefinitionLock);
  return Status(status);
}

ConsoleOutcome AcceptApplication(const ConsoleContext& context, const std::string& name) {
  DPAB* anchor = context.anchor;
  ApplicationEntry* application = LookUpConsoleApplication(anchor, name);
  if (application == nullptr) return Status(ZEVP_CONSOLE_NOT_DEFINED);
  EngineRoutines& routines = Routines();
  BSV1_GetLock(&application->TableListLock);
  for (TableEntry* table = application->FirstTable; table != nullptr; table = table->next) {
    BSV1_GetLock(&table->CounterLock);
    for (SourceEntry* source = table->FirstSource; source != nullptr; source = source->next)
      if (ZEVP_SourceStateOf(source) == ZEVP_Register) routines.updateSourceEntryState(source, ZEVP_Ready);
    BSV1_ReleaseLock(&table->CounterLock);
  }
  BSV1_ReleaseLock(&application->TableListLock);
  ZEVP_ReleaseApplGroupHelp(application);
  if (StartsFileServers(anchor)) routines.checkAndStartFileServer(anchor, context.typeRoutine);
  if (application->SNMPapplication != 0) routines.snmpApplOnline(anchor, application);
  SendDPlog(anchor, ZEVP_DPLOG_DEFINITION_ACCEPTED, application->ApplName);
  return Status(ZEVP_CONSOLE_DONE);
}

}  // namespace zevp
