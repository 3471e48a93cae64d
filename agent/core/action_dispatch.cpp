#include "action_dispatch.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>

#include "action_command.h"
#include "agent_limits.h"
#include "atomic_situation_list.h"
#include "console_message_action.h"
#include "dch/dch_api.h"
#include "pxraf.h"
#include "samples_list.h"
#include "trc1.h"
#include "zev/action_codes.h"

TRC_UNIT();

namespace {

constexpr char kPolicyTable[] = "CLACTRMT";
constexpr char kPolicyNameKeyword[] = "NAME=";
constexpr char kPolicyNameHolder[] = "_POLNAME_";
constexpr char kSnmpPolicyOwner[] = "SNMP Control";
constexpr char kOriginNodeColumn[] = "ORIGINNODE";
constexpr char kMessageAction[] = "Dorvane_Message";
// The parameters searched for the policy name, as its buffer holds them.
constexpr size_t kPolicyParmsRoom = 1023;

// Where an action goes and on whose behalf.
struct ActionTarget {
  std::string owner;
  std::string node;
  std::string subnode;
};

// The column's bytes within the row up to the first blank or NUL, at most maxLength;
// false (traced) when the column does not lie within the row.
bool columnText(const char* row, int rowSize, const ColumnInfo& column, size_t maxLength, std::string* text) {
  if (column.offset < 0 || column.length < 0 || column.offset > rowSize || column.length > rowSize - column.offset) {
    TRC(TRC_ERROR, "Error: column <%s> at offset %d, length %d lies outside the row of %d bytes", column.name,
        column.offset, column.length, rowSize);
    return false;
  }
  const char* start = row + column.offset;
  size_t length = 0;
  size_t limit = std::min(static_cast<size_t>(column.length), maxLength);
  while (length < limit && start[length] != ' ' && start[length] != '\0') ++length;
  text->assign(start, length);
  return true;
}

// A policy's owner is the name its parameters give with NAME=, which then leaves them.
void takePolicyName(ActionCommand* command, ActionTarget* target) {
  const std::string searched = command->hasParms ? command->parms.substr(0, kPolicyParmsRoom) : std::string();
  const size_t at = searched.find(kPolicyNameKeyword);
  size_t nameStart = 0;
  size_t nameEnd = 0;
  if (at != std::string::npos) {
    nameStart = at + std::strlen(kPolicyNameKeyword);
    nameEnd = std::min(searched.find(' ', nameStart), searched.size());
  }
  if (nameEnd == nameStart) {
    target->owner = kPolicyNameHolder;
    TRC(TRC_DETAIL, "Using Policy Name holder <%s> as action owner.", kPolicyNameHolder);
    return;
  }
  target->owner = searched.substr(nameStart, nameEnd - nameStart);
  TRC(TRC_DETAIL, "Policy Name of <%s> included", target->owner.c_str());
  const std::string removed = searched.substr(at, nameEnd - at);
  // The name and the blank after it go, wherever the name stands.
  const size_t through = nameEnd < command->parms.size() && command->parms[nameEnd] == ' ' ? nameEnd + 1 : nameEnd;
  command->parms.erase(at, through - at);
  TRC(TRC_DETAIL, "parmToRemove <%s> actionParms <%s>", removed.c_str(), command->parms.c_str());
}

int policyTarget(Pxraf* request, ActionCommand* command, ActionTarget* target) {
  takePolicyName(command, target);
  request->ResetGetSubnode();
  const char* subnode = request->GetSubnode();
  if (subnode == nullptr || subnode[0] == '\0') {
    TRC(TRC_ERROR, "Error: No subnodes in the action request.");
    return 1;
  }
  target->subnode = subnode;
  target->node = subnode;
  TRC(TRC_DETAIL, "Real subnode name <%s>", subnode);
  return 0;
}

// The subnode a situation's row came from must be registered with the framework; the
// action goes to its untouched name.
int situationTarget(Pxraf* request, const char* row, const char* tableName, ActionTarget* target) {
  target->owner = request->SituationName();
  ColumnInfo origin{};
  int rc = request->GetColumnInfoByName(&origin, kOriginNodeColumn);
  if (rc != 0) {
    TRC(TRC_ERROR, "Error: GetColumnInfoByName failed for <%s>. rc: %d", kOriginNodeColumn, rc);
    return 1;
  }
  if (!columnText(row, request->DataSize(), origin, samplesListEntry::kSubnodeNameSize - 1, &target->subnode))
    return 1;
  TRC(TRC_DETAIL, "Real subnodeName <%s> colinfo.offset=%d", target->subnode.c_str(), origin.offset);

  samplesList* registry = dataSamples();
  int previous = registry != nullptr ? registry->subnodeOnline(target->subnode.c_str()) : 0;
  if (previous != samplesListEntry::kRegistered) {
    if (previous == samplesListEntry::kDeferredOnly)
      TRC(TRC_ERROR, "Error: subNode <%s> is not online", target->subnode.c_str());
    else
      TRC(TRC_ERROR, "Error: subNode <%s> is no longer online", target->subnode.c_str());
    return 1;
  }
  samplesList::UntouchedName untouched;
  if (registry->getOriginalSubnodeName(target->subnode.c_str(), tableName, untouched) != nullptr) {
    target->node = untouched;
    TRC(TRC_DETAIL, "Saved subnode name <%s>", untouched);
  } else if (std::strcmp(tableName, "LOCALTIME") == 0 || std::strcmp(tableName, "UTCTIME") == 0) {
    target->node = target->subnode;
    TRC(TRC_DETAIL, "Action for LOCALTIME or UTCTIME. Using actionNode <%s>", target->node.c_str());
  } else {
    TRC(TRC_ERROR, "Error: getOriginalSubnodeName(%s) returned NULL", target->subnode.c_str());
    return 1;
  }
  return 0;
}

// The atomic column's value as text; a number for the integer columns.
bool atomicValue(const char* row, int rowSize, const ColumnInfo& column, std::string* value) {
  const bool integerColumn = column.type >= 1 && column.type <= 6 && (column.length == 2 || column.length == 4);
  if (!columnText(row, rowSize, column, static_cast<size_t>(column.length), value)) return false;
  if (!integerColumn) return true;
  const char* field = row + column.offset;
  long number;
  if (column.length == 2) {
    int16_t narrow;
    std::memcpy(&narrow, field, sizeof narrow);
    number = narrow;
  } else {
    int32_t wide;
    std::memcpy(&wide, field, sizeof wide);
    number = wide;
  }
  *value = std::to_string(number);
  return true;
}

// 0 when the action goes on, 1 when it repeats a value of the window or has no value.
int admitAtomicAction(Pxraf* request, const char* row) {
  atomicSituationList* situations = atomicSituations();
  if (situations == nullptr || situations->getNumberOfElements() == 0) return 0;
  const char* situation = request->SituationName();
  atomicSituationEntry* entry = situations->findEntry(situation);
  if (entry == nullptr) return 0;
  situations->recordInterval(entry, request->Interval());
  ColumnInfo column{};
  int rc = request->GetColumnInfo(&column, entry->getColumnNumber());
  std::string value;
  if (rc != 0) {
    TRC(TRC_ERROR, "Error: GetColumnInfo failed for column number <%d> in atomic situation <%s>, rc: %d",
        entry->getColumnNumber(), situation, rc);
    return 0;
  }
  if (!atomicValue(row, request->DataSize(), column, &value)) return 1;
  return situations->admitAction(entry, request->Interval(), value.c_str()) == atomicAdmission::act ? 0 : 1;
}

// The name without the double quotes of a name written in quotes.
std::string bareName(const std::string& name) {
  return name.size() >= 2 && name.front() == '"' && name.back() == '"' ? name.substr(1, name.size() - 2) : name;
}

int handOver(const char* commandText, const char* tableName, bool policy, const ActionCommand& command,
             ActionTarget* target) {
  TRC(TRC_DETAIL, "Command    : <%s>", commandText);
  TRC(TRC_DETAIL, "subNode    : <%s>", target->subnode.c_str());
  TRC(TRC_DETAIL, "actionNode : <%s>", target->node.c_str());
  TRC(TRC_DETAIL, "actionOwner: <%s>", target->owner.c_str());
  TRC(TRC_DETAIL, "tableName  : <%s>", tableName);
  int actionID = ActionID();
  if (policy && bareName(command.name) == "SNMP") target->owner = kSnmpPolicyOwner;
  const char* parms = command.hasParms ? command.parms.c_str() : nullptr;
  TRC(TRC_DETAIL, "actionID<%d> actionType<%d> actionName<%s> actionNode<%s> actionOwner<%s> actionParms%s%s%s",
      actionID, ZEV_ACTION_AUTOMATION, command.name.c_str(), target->node.c_str(), target->owner.c_str(),
      parms != nullptr ? "<" : "[NULL]", parms != nullptr ? parms : "", parms != nullptr ? ">" : "");
  if (dmcCommand() == 'Y' && command.name.compare(0, std::strlen(kMessageAction), kMessageAction) == 0) {
    createConsoleMessageFromAction(parms);
    return 0;
  }
  return dc_provideAction(ZEV_ACTION_AUTOMATION, target->owner.c_str(), target->node.c_str(),
                          target->subnode.c_str(), command.name.c_str(), actionID, parms);
}

int dispatch(PxrafAutomationCapsule* capsule, Pxraf* request) {
  const char* commandText = capsule->Command();
  TRC(TRC_DETAIL, "Received action command string <%s>", commandText != nullptr ? commandText : "");
  std::string tableName = request->TableName();
  ActionCommand command;
  if (splitActionCommand(commandText, &command) != 0) return 1;

  const bool policy = tableName == kPolicyTable;
  ActionTarget target;
  if (policy) {
    if (policyTarget(request, &command, &target) != 0) return 1;
  } else {
    const char* row = request->Data(capsule->DataRowNum());
    if (row == nullptr) {
      TRC(TRC_ERROR, "Error: dataRow was NULL.");
      return 1;
    }
    if (situationTarget(request, row, tableName.c_str(), &target) != 0) return 1;
    if (admitAtomicAction(request, row) != 0) return 1;
  }
  return handOver(commandText, tableName.c_str(), policy, command, &target);
}

}  // namespace

int DV_Action(PxrafAutomationCapsule* capsule) {
  if (capsule == nullptr || capsule->Request() == nullptr) {
    TRC(TRC_ERROR, "Error: an automation command without its request");
    return 1;
  }
  Pxraf* request = capsule->Request();
  int result = dispatch(capsule, request);
  capsule->SetResults(result);
  request->FinishedAutomationCommand(capsule);
  return result;
}
