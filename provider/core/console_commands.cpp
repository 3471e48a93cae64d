#include "console_commands.h"

#include "console_area.h"
#include "console_verbs.h"
#include "dp_anchor.h"
#include "dp_shutdown.h"
#include "engine_routines.h"
#include "model_records.h"
#include "shutdown_request.h"
#include "trc1.h"
#include "zev/dp_types.h"
#include "zev0/prodspec.h"

TRC_UNIT();

namespace zevp {

namespace {

ConsoleOutcome Status(int32_t status) {
  ConsoleOutcome outcome;
  outcome.status = status;
  return outcome;
}

ConsoleOutcome GetPort(const ConsoleContext& context) {
  // The client API asks the API port of an ASFS data provider, which answers for
  // its applications but is no port of its own.
  if (context.anchor->dpType == ZEV_DP_ASFS && context.receivingType == ZEV_DP_APIS)
    return Status(ZEVP_CONSOLE_NO_REPLY);
  ConsoleOutcome outcome;
  outcome.text = std::to_string(context.anchor->dpType) + " " + std::to_string(context.consolePort);
  return outcome;
}

ConsoleOutcome Check(const ConsoleContext& context, const std::string& name) {
  if (ZEV0_QueryProductSpec(ZEV2_ENABLE_METAFILE_COMMANDS) == nullptr) return Status(ZEVP_CONSOLE_NOT_ENABLED);
  return Status(LookUpConsoleApplication(context.anchor, name) != nullptr ? ZEVP_CONSOLE_ALREADY_DEFINED
                                                                         : ZEVP_CONSOLE_NOT_DEFINED);
}

ConsoleOutcome Show(const ConsoleContext& context, const std::string& name) {
  ApplicationEntry* application = LookUpConsoleApplication(context.anchor, name);
  if (application == nullptr) return Status(ZEVP_CONSOLE_NOT_DEFINED);
  ConsoleOutcome outcome;
  outcome.show = ZEVP_ConstructShowReply(application);
  return outcome;
}

ConsoleOutcome List(const ConsoleContext& context) {
  DPAB* anchor = context.anchor;
  ConsoleOutcome outcome;
  BSV1_GetLock(&anchor->applicationListLock);
  for (ApplicationEntry* application = anchor->applications; application != nullptr; application = application->next)
    outcome.text += std::string(application->MetafileName != nullptr ? application->MetafileName : "") + " ";
  BSV1_ReleaseLock(&anchor->applicationListLock);
  if (outcome.text.empty()) outcome.status = ZEVP_CONSOLE_NO_APPLICATION;
  return outcome;
}

ConsoleOutcome Shutdown(const ConsoleContext& context) {
  ZEVP_ShutdownCleanUp(context.anchor, 1);
  context.anchor->shutdownFlag = 1;
  NotifyShutdownFlagSet();
  return Status(ZEVP_CONSOLE_DONE);
}

ConsoleOutcome Ping(const ConsoleContext& context) {
  int32_t type = context.anchor->dpType;
  if (type != ZEV_DP_APIS && type != ZEV_DP_ASFS) {
    TRC(TRC_DETAIL, "Non-API server, Ping command ignored");
    return Status(ZEVP_CONSOLE_NOT_SERVED);
  }
  ConsoleOutcome outcome;
  outcome.text = std::to_string(static_cast<int32_t>(context.anchor->startTime));
  return outcome;
}

// The SNMP data provider's verbs; others refuse them with the trace given.
bool ServedBySNMP(const ConsoleContext& context, const char* refusal) {
  if (context.anchor->dpType == ZEV_DP_SNMP) return true;
  TRC(TRC_DETAIL, "%s", refusal);
  return false;
}

ConsoleOutcome LoadTrapConfiguration(const ConsoleContext& context) {
  if (!ServedBySNMP(context, "Non-SNMP server, LoadTrap command ignored")) return Status(ZEVP_CONSOLE_NOT_SERVED);
  if (context.typeRoutine != nullptr) context.typeRoutine(nullptr);
  return Status(ZEVP_CONSOLE_DONE);
}

// LOADCOMM and LOADNAME: a file reloaded and, when it loaded, applied.
ConsoleOutcome ReloadSNMPfile(const ConsoleContext& context, const char* refusal, int (*load)(),
                              void (*apply)(DPAB* anchor)) {
  if (!ServedBySNMP(context, refusal)) return Status(ZEVP_CONSOLE_NOT_SERVED);
  if (load()) apply(context.anchor);
  return Status(ZEVP_CONSOLE_DONE);
}

ConsoleOutcome LoadNodeList(const ConsoleContext& context, const std::string& file) {
  if (!ServedBySNMP(context, "Non-SNMP server, LoadList command ignored")) return Status(ZEVP_CONSOLE_NOT_SERVED);
  bool loaded = !file.empty() && file.size() <= ZEVP_CONSOLE_NAME_MAX &&
                Routines().loadSNMPManagedNodeList(context.anchor, file.c_str()) != 0;
  return Status(loaded ? ZEVP_CONSOLE_DONE : ZEVP_CONSOLE_LIST_FAILED);
}

}  // namespace

ConsoleOutcome RunConsoleCommand(const ConsoleContext& context, int32_t verb, const std::string& argument) {
  switch (verb) {
    case ZEVP_VERB_GETPORT:
      return GetPort(context);
    case ZEVP_VERB_CHECK:
      return Check(context, argument);
    case ZEVP_VERB_DELETE:
      return DeleteApplication(context, argument);
    case ZEVP_VERB_IMPORT:
      return ImportApplication(context, argument);
    case ZEVP_VERB_REFRESH:
      return RefreshApplication(context, argument);
    case ZEVP_VERB_SHOW:
      return Show(context, argument);
    case ZEVP_VERB_LIST:
      return List(context);
    case ZEVP_VERB_SHUTDOWN:
      return Shutdown(context);
    case ZEVP_VERB_PING:
      return Ping(context);
    case ZEVP_VERB_ACCEPT:
      return AcceptApplication(context, argument);
    case ZEVP_VERB_TRAPCNFG:
      return LoadTrapConfiguration(context);
    case ZEVP_VERB_LOADCOMM:
      return ReloadSNMPfile(context, "Non-SNMP server, LoadComm command ignored", Routines().loadSNMPcommunityName,
                            Routines().updateMonitorNodeCommunity);
    case ZEVP_VERB_LOADNAME:
      return ReloadSNMPfile(context, "Non-SNMP server, LoadName command ignored", Routines().loadSNMPNetworkName,
                            Routines().updateMonitorNetworkSymbolicName);
    case ZEVP_VERB_LOADLIST:
      return LoadNodeList(context, argument);
    default:
      TRC(TRC_ERROR, "***** Console command %d not served, ignored", verb);
      return Status(ZEVP_CONSOLE_INVALID_COMMAND);
  }
}

}  // namespace zevp
