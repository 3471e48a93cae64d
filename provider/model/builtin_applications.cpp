#include "builtin_applications.h"

#include <string>

#include "application_entry.h"
#include "attribute_entry.h"
#include "builtin_group.h"
#include "dp_anchor.h"
#include "engine_routines.h"
#include "metafile_text.h"
#include "model_release.h"
#include "process_entry.h"
#include "shutdown_request.h"
#include "source_entry.h"
#include "trc1.h"
#include "validation_messages.h"
#include "zev/dp_types.h"
#include "zev0/env.h"
#include "zev0/storage.h"

TRC_UNIT();

namespace {

constexpr char kApplicationName[] = "DVAgent";
constexpr char kMetafileName[] = "ZEV";
constexpr char kVersion[] = "ZEV350";
constexpr char kDefaultActionLogTTL[] = "1800";

constexpr zevp::BuiltInAttribute kLogAttributes[] = {
    {"DP_Time", "D", "24", 0, 0, "Timestamp of the DP Log event message"},
    {"DP_Name", "D", "32", 0, 0, "Managed System name of the DP issuing the log message"},
    {"DP_Type", "D", "4", 0, 0, "DP types and they are ASFS, API Server, Socket, File, Post, SNMP, APPC, and HTTP"},
    {"DP_Log_Category", "D", "8", 0, 0,
     "DP Log category. Categories are grouped by: DP - System, Error, Warning, Communication - API, Socket, "
     "Metafile server, Informational - API, socket, metafile server, and SNMP."},
    {"DP_Log_Text", "D", "256", 0, 0, "DP Log message text"},
    {"DP_Version", "D", "8", 0, 0, "Dorvane Agent version release identifier"},
};

constexpr zevp::BuiltInAttribute kActionAttributes[] = {
    {"Action_Type", "D", "16", 0, 0, "The action type such as Reflex or Policy automation."},
    {"Action_Owner", "D", "64", 0, 0,
     "The cause of the action: a situation or a policy. Take Action items of the management workstation count "
     "as policies."},
    {"Action_Node", "D", "32", 0, 0,
     "The location where action is performed. In most cases, it is the DP location or location of customer API "
     "program running remotely that supports automation requests."},
    {"Action_Name", "D", "256", 0, 0, "The action to run or command to be executed."},
    {"Action_Parms", "D", "1024", 0, 0, "The exact input parameters to be passed to the action program or command."},
    {"Action_Status", "D", "64", 0, 0,
     "The action outcome status. An action may include a number of stages and the status reflects its progress as "
     "the action is handled by various operation components."},
    {"Action_Result", "D", "256", 0, 0,
     "Action result, if any, provided by the action program or command, for example, a message produced by the "
     "action command indicating error in input parameter. The result is blank for action that generates no output."},
    {"Action_ID", "C", "2147483647l", 1, 0,
     "DV internally generated action sequence number used to keep track of the action activities and progress."},
};

constexpr zevp::BuiltInGroup kLogGroup = {
    "DPLOG", "E",
    "Data Provider console log shows all DP operation activities, such as errors, warnings, or exceptions detected, "
    "loading metafile, source coming on-line or off-line, monitoring status, and so on.",
    kLogAttributes, static_cast<int>(std::size(kLogAttributes))};

constexpr zevp::BuiltInGroup kActionGroup = {
    "ACTION", "K",
    "The Action Status contains the short term, default is 30 minutes, automation action status including reflex "
    "automations, policies, and Take Action activities. The agent's Operation Log contains all action status.",
    kActionAttributes, static_cast<int>(std::size(kActionAttributes))};

// The DP log source's node name ends in the data provider's type and "dp"; its
// fixed values, and the attributes the DP log writer fills, go on the anchor.
void prepareLogSource(DPAB* anchor, SourceEntry* source) {
  const char* type = anchor->dpType >= 0 && anchor->dpType < ZEV_DP_TYPE_COUNT ? DPtypeString[anchor->dpType] : "";
  std::string node = zevp::NameBuiltInSource(anchor, source);
  for (AttributeEntry* attribute = source->FirstAttribute; attribute != nullptr; attribute = attribute->next) {
    std::string name = attribute->AttrName;
    if (name == "DP_Time") {
      attribute->ActualValSize = attribute->MaxValSize;
      anchor->logTimeAttribute = attribute;
    } else if (name == "DP_Name") {
      zevp::SetRowText(attribute, node);
    } else if (name == "DP_Type") {
      zevp::SetRowText(attribute, type);
    } else if (name == "DP_Log_Category") {
      attribute->ActualValSize = attribute->MaxValSize;
      anchor->logCategoryAttribute = attribute;
    } else if (name == "DP_Log_Text") {
      anchor->logTextAttribute = attribute;
    } else if (name == "DP_Version") {
      zevp::SetRowText(attribute, kVersion);
    }
  }
}

ApplicationEntry* defineApplication(DPAB* anchor, SourceEntry** logSource) {
  ApplicationEntry* application =
      ZEVP_InitializeApplicationEntry(anchor, kApplicationName, 1, "Dorvane Agent system operation application");
  if (application == nullptr) {
    TRC(TRC_ERROR, "*** Failed to initialize ApplicationEntry control block for Application <%s>", kApplicationName);
    return nullptr;
  }
  application->MetafileName = zevp::NewStorageText(kMetafileName);
  application->MetafileNameUpper = zevp::NewStorageText(kMetafileName);
  *logSource = zevp::DefineBuiltInGroup(anchor, application, kLogGroup, nullptr);
  if (*logSource != nullptr) prepareLogSource(anchor, *logSource);
  const char* actionTTL = ZEV0_GetEnv("ZEVP_ACTIONLOG_TTL", kDefaultActionLogTTL);
  if (*logSource == nullptr || zevp::DefineBuiltInGroup(anchor, application, kActionGroup, actionTTL) == nullptr) {
    TRC(TRC_ERROR, "*** Failed to define the built-in application <%s>", kApplicationName);
    ZEVP_ReleaseApplResources(anchor, application, 1);
    return nullptr;
  }
  return application;
}

void queueAndWait(DPAB* anchor, ProcessEntry* entry, SourceEntry* source, int32_t order) {
  zevp::EngineRoutines& routines = zevp::Routines();
  routines.updateSourceEntryState(source, order);
  routines.queueAndWaitDCHstatus(anchor, entry, source);
}

void forgetEntry(DPAB* anchor) {
  ZEVP_DestroyProcessEntry(anchor->logReportEntry);
  anchor->logReportEntry = nullptr;
}

}  // namespace

int ZEVP_DefineDPlogReport(DPAB* anchor) {
  ProcessEntry* entry = ZEVP_InitializeProcessEntry(anchor);
  if (entry == nullptr) return 0;
  anchor->logReportEntry = entry;
  SourceEntry* logSource = nullptr;
  ApplicationEntry* application = defineApplication(anchor, &logSource);
  if (application == nullptr) {
    forgetEntry(anchor);
    return 0;
  }

  logSource->OwningTask = entry;
  queueAndWait(anchor, entry, logSource, ZEVP_Register);
  if (zevp::ShutdownRequested(anchor)) {
    // The registration may still be with the DCH client: the application stays in
    // the anchor's list and goes with the model once every thread has ended, the
    // entry with the anchor.
    TRC(TRC_ERROR, "*** DP Log Report not defined: the data provider is shutting down");
    return 0;
  }
  switch (logSource->State) {
    case ZEVP_Ready:
    case ZEVP_Pending:
      break;
    case ZEVP_Register:  // the agent knows the application already
      zevp::Routines().updateSourceEntryState(logSource, ZEVP_Ready);
      ZEVP_ReleaseApplGroupHelp(application);
      break;
    default:
      TRC(TRC_ERROR, "*** dp_register failed for DP Log Report");
      ZEVP_ReleaseApplResources(anchor, application, 1);
      forgetEntry(anchor);
      ZEVP_DisplayValidationMessage(ZEVPV86E, nullptr);
      return 0;
  }
  if (logSource->State == ZEVP_Ready)
    queueAndWait(anchor, entry, logSource, ZEVP_Ready);
  else
    TRC(TRC_DETAIL, ">>> DP Log Report online delayed");
  anchor->logSource = logSource;
  return 1;
}
