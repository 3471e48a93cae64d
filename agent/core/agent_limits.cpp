#include "agent_limits.h"

#include <atomic>
#include <cstdint>
#include <cstdio>
#include <mutex>
#include <string>

#include "bsv1.h"
#include "env_limit.h"
#include "trc1.h"
#include "zev0/prodspec.h"

TRC_UNIT();

namespace {

// The variables in the order the agent fetches them.
enum Variable {
  kMaxEventEntries,
  kMaxApplications,
  kMaxAttrGroupsPerAppl,
  kCleanupTrigger,
  kGenerateODI,
  kGenerateSQL,
  kWriteOptLog,
  kStartupDP,
  kActionTableName,
  kWaitUDL,
  kValuesBufSize,
  kMaxColumns,
  kEmitDupRec,
  kClientProcess,
  kMaxDeferredRequest,
  kAtomicSituations,
  kDMCCommand,
  kVariableCount
};

const char* const kVariableNames[kVariableCount] = {
    "ZEVA_MAX_EVENT_ENTRIES", "ZEVA_MAX_APPLICATIONS", "ZEVA_MAX_ATTRGROUPS_PER_APPL", "ZEVA_CLEANUP_TRIGGER",
    "ZEVA_GENERATE_ODI",      "ZEVA_GENERATE_SQL",     "ZEVA_WRITE_OPTLOG",            "ZEVA_STARTUP_DP",
    "ZEVA_ACTION_TABLE_NAME", "ZEVA_WAIT_UDL",         "ZEVA_VALUES_BUF_SIZE",         "WJD_MAXCOLS",
    "ZEVA_EMIT_DUP_REC",      "ZEVA_CLIENT_PROCESS",   "ZEVA_MAX_DEFERRED_REQUEST",    "ZEVA_ATOMIC_SITUATIONS",
    "ZEVA_DMC_COMMAND"};

// What the environment held when the agent read it; kept for the life of the process.
struct Setting {
  bool set = false;
  std::string value;
  const char* text() const { return set ? value.c_str() : nullptr; }
};
Setting settings[kVariableCount];
std::once_flag environmentRead;

const char* settingOf(Variable variable) { return settings[variable].text(); }

// An empty name counts as unset.
const char* nameSetting(Variable variable) {
  const char* text = settingOf(variable);
  return text != nullptr && text[0] != '\0' ? text : nullptr;
}

int plainInteger(Variable variable, int defaultValue) {
  const char* text = settingOf(variable);
  return text != nullptr ? decimalAsAtoi(text) : defaultValue;
}

constexpr int kActionTableNameLength = 10;
const char kDefaultActionTableName[] = "DVA6034300";

struct _DV_LIMITS {
  int32_t maxEventEntries;
  int32_t maxApplications;
  int32_t maxAttrGroupsPerAppl;
  int32_t maxWaitUDL;
  int32_t valuesBufSize;
  int32_t maxDeferredRequest;
  int32_t cleanUpTrigger;
  int32_t maxColumns;
  int32_t emitDupRec;
  char generateODI;
  char generateSQL;
  char writeOptLog;
  char dmcCommand;
  char actionTableName[kActionTableNameLength + 1];
};

_DV_LIMITS limits;
std::once_flag limitsFilled;

// Start-up fills the limits after initialising the product specification; a program
// without start-up has none to ask.
void fill(bool productSpecReady) {
  readAgentEnvironment();
  limits.maxEventEntries = plainInteger(kMaxEventEntries, 100);
  TRC(TRC_DETAIL, "MAX_EVENT_ENTRIES=%d", limits.maxEventEntries);
  limits.maxApplications = plainInteger(kMaxApplications, 64);
  TRC(TRC_DETAIL, "MAX_APPLICATIONS=%d", limits.maxApplications);
  limits.maxWaitUDL = plainInteger(kWaitUDL, 5);
  TRC(TRC_DETAIL, "MAX_WAIT_UDL=%d", limits.maxWaitUDL);
  limits.emitDupRec = plainInteger(kEmitDupRec, 1);
  TRC(TRC_DETAIL, "EMIT_DUP_REC=%d", limits.emitDupRec);
  limits.maxColumns = sizingLimit(kVariableNames[kMaxColumns], settingOf(kMaxColumns), 64);
  TRC(TRC_DETAIL, "MAX_ATTRS_PER_TABLE=%d", limits.maxColumns);
  limits.valuesBufSize = sizingLimit(kVariableNames[kValuesBufSize], settingOf(kValuesBufSize), 8192);
  TRC(TRC_DETAIL, "MAX_VALUES_BUF_SIZE=%d", limits.valuesBufSize);
  limits.maxDeferredRequest = sizingLimit(kVariableNames[kMaxDeferredRequest], settingOf(kMaxDeferredRequest), 512);
  TRC(TRC_DETAIL, "MAX_DEFERRED_REQUEST=%d", limits.maxDeferredRequest);
  int attrGroupsDefault = productSpecReady && ZEV0_QueryProductSpec(0) != nullptr ? 256 : 64;
  limits.maxAttrGroupsPerAppl =
      sizingLimit(kVariableNames[kMaxAttrGroupsPerAppl], settingOf(kMaxAttrGroupsPerAppl), attrGroupsDefault);
  TRC(TRC_DETAIL, "MAX_ATTRGROUP_PER_APPL=%d", limits.maxAttrGroupsPerAppl);
  limits.cleanUpTrigger = plainInteger(kCleanupTrigger, 10);
  TRC(TRC_DETAIL, "DV_CLEANUP_TRIGGER=%d", limits.cleanUpTrigger);
  limits.generateODI = switchValue(settingOf(kGenerateODI), 'Y');
  TRC(TRC_DETAIL, "GENERATE_ODI=%c", limits.generateODI);
  limits.generateSQL = switchValue(settingOf(kGenerateSQL), 'N');
  TRC(TRC_DETAIL, "GENERATE_SQL=%c", limits.generateSQL);
  limits.writeOptLog = switchValue(settingOf(kWriteOptLog), 'Y');
  TRC(TRC_DETAIL, "WRITE_OPTLOG=%c", limits.writeOptLog);
  limits.dmcCommand = switchValue(settingOf(kDMCCommand), 'N');
  TRC(TRC_DETAIL, "DMC_COMMAND=%c", limits.dmcCommand);
  const char* tableName = nameSetting(kActionTableName);
  std::snprintf(limits.actionTableName, sizeof limits.actionTableName, "%.*s", kActionTableNameLength,
                tableName != nullptr ? tableName : kDefaultActionTableName);
  TRC(TRC_DETAIL, "ACTIONtableName <%s>", limits.actionTableName);
}

const _DV_LIMITS& filledLimits() {
  std::call_once(limitsFilled, fill, false);
  return limits;
}

std::atomic<uint32_t> actionSequence{0};

}  // namespace

void readAgentEnvironment() {
  std::call_once(environmentRead, [] {
    for (int variable = 0; variable < kVariableCount; ++variable) {
      const char* value = BSV1_GetEnv(kVariableNames[variable], 0);
      settings[variable].set = value != nullptr;
      if (value != nullptr) settings[variable].value = value;
    }
  });
}

void fillAgentLimits() { std::call_once(limitsFilled, fill, true); }

int Max_Event_Entries() { return filledLimits().maxEventEntries; }
int Max_Applications() { return filledLimits().maxApplications; }
int Max_AttrGroup_Per_Appl() { return filledLimits().maxAttrGroupsPerAppl; }
int Max_Wait_UDL() { return filledLimits().maxWaitUDL; }
int Max_Values_Buf_Size() { return filledLimits().valuesBufSize; }
int Max_Deferred_Request() { return filledLimits().maxDeferredRequest; }
int cleanUpTrigger() { return filledLimits().cleanUpTrigger; }
int Max_IB_Columns() { return filledLimits().maxColumns; }
int Emit_Dup_Rec() { return filledLimits().emitDupRec; }
char generateODI() { return filledLimits().generateODI; }
char generateSQL() { return filledLimits().generateSQL; }
char writeOptLog() { return filledLimits().writeOptLog; }
char dmcCommand() { return filledLimits().dmcCommand; }
const char* ACTIONtableName() { return filledLimits().actionTableName; }

const char* startupDataProviders() {
  readAgentEnvironment();
  return settingOf(kStartupDP);
}

const char* clientProcess() {
  readAgentEnvironment();
  return settingOf(kClientProcess);
}

const char* atomicSituationsSetting() {
  readAgentEnvironment();
  return settingOf(kAtomicSituations);
}

int ActionID() { return static_cast<int>(++actionSequence); }
