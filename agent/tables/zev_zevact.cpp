#include "zev_zevact.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <string>
#include <string_view>

#include "agent_limits.h"
#include "dch/dch_api.h"
#include "dch/dch_protocol.h"
#include "fixed_table_inputs.h"
#include "fixed_tables.h"
#include "trc1.h"

TRC_UNIT();

namespace {

constexpr fixedColumn kColumns[] = {
    {"ORIGINNODE", 10, "originnode", RAF_COLUMN_TEXT, 64, 0},
    {"REQRC", 5, "reqrc", RAF_COLUMN_INTEGER_4, 4, 64},
    {"SITNAME", 7, "sitname", RAF_COLUMN_TEXT, 32, 68},
    {"SITORG", 6, "sitorg", RAF_COLUMN_TEXT, 64, 100},
    {"SITTIME", 7, "sittime", RAF_COLUMN_TEXT, 20, 164},
    {"SEVERITY", 7, "severity", RAF_COLUMN_TEXT, 32, 184},
    {"CATEGORY", 7, "category", RAF_COLUMN_TEXT, 32, 216},
    {"TRAPDEST", 7, "trapdest", RAF_COLUMN_TEXT, 256, 248},
    {"ATTRVALS", 7, "attrvals", RAF_COLUMN_TEXT, 3200, 504},
};
constexpr int kColumnCount = sizeof kColumns / sizeof kColumns[0];
constexpr char kTrapEmit[] = "TRAPEMIT";
constexpr short kAutomationAction = 1;

// The table's one manager, for the agent's life.
zev_zevact_manager* staticManager = nullptr;

}  // namespace

zev_zevact_base::zev_zevact_base(RequestDetail* detail, ContextInfo* context, TableManager* manager)
    : fixedTableBase(detail, context, manager, kColumns, kColumnCount, sizeof(zev_zevact_data_t), 1) {}

void zev_zevact_base::insertingRow(int i) { TRC(TRC_DETAIL, "Passing row %d to InsertRow().", i); }

zev_zevact_agent::zev_zevact_agent(RequestDetail* detail, ContextInfo* context, TableManager* manager)
    : zev_zevact_base(detail, context, manager), handle_(Handle()) {
  setUp();
}

void zev_zevact_agent::setUp() {
  // The columns an alert gives, by as many characters of their names as are compared.
  const struct {
    const char* name;
    size_t significant;
    char* field;
    size_t size;
  } inputs[] = {{"ORIGINNODE", 10, alert_.originNode, sizeof alert_.originNode},
                {"SITNAME", 7, alert_.sitName, sizeof alert_.sitName},
                {"SITTIME", 7, alert_.sitTime, sizeof alert_.sitTime},
                {"SEVERITY", 7, alert_.severity, sizeof alert_.severity},
                {"CATEGORY", 7, alert_.category, sizeof alert_.category},
                {"TRAPDEST", 7, alert_.trapDest, sizeof alert_.trapDest},
                {"ATTRVALS", 7, alert_.attrVals, sizeof alert_.attrVals}};
  FLT1_FILTERINFO filter;
  while (GetFilterInfo(&filter) != FLT1_NO_MORE_FILTERS) {
    bool known = false;
    for (const auto& input : inputs) {
      if (std::strncmp(filter.columnName, input.name, input.significant) != 0) continue;
      std::string value = PredicateValue(filter, input.size - 1);
      std::memcpy(input.field, value.c_str(), value.size() + 1);
      known = true;
      break;
    }
    if (!known) {
      TRC(TRC_ERROR, "Error: Unrecognized column <%-10.10s>", filter.columnName);
      status_ = 1;
    }
  }
  if (alert_.attrVals[0] == '\0' || alert_.attrVals[0] == ';') {
    TRC(TRC_ERROR, "Warning: received empty result rows from QMS.");
    status_ = 1;
  }
  // One alert row per request is served.
  if (std::count(alert_.attrVals, alert_.attrVals + std::strlen(alert_.attrVals), '~') >= 2) {
    TRC(TRC_ERROR, "Error: Operation Mode of Take_action_once not supported.");
    TRC(TRC_ERROR, "       Change your Policy to use Take_action_on_each_item.");
    status_ = 1;
  }
}

void zev_zevact_agent::TakeSample() {
  int actionID = ActionID();
  ClearCount();
  // The answer is blank-filled whatever became of the alert.
  std::memset(&row_, ' ', sizeof row_);
  alertValues parsed;
  if (status_ == 0 && !ParseAlertValues(alert_.attrVals, &parsed)) status_ = 1;
  if (status_ == 0) {
    std::string parameter = "DEST(" + std::string(alert_.trapDest) + ") SIT(" + alert_.sitName + ") TIME(" +
                            alert_.sitTime + ") NODE(" + parsed.originNode + ") SEV(" + alert_.severity + ") CAT(" +
                            alert_.category + ") LIST(" + parsed.attributeList + ")";
    TRC(TRC_DETAIL, "ID[%d] %s %s", actionID, kTrapEmit, parameter.c_str());
    if (parameter.size() > DCH_MAX_ACTION_PARMS) {
      // The DCH carries no more: a longer action would be dropped unanswered.
      TRC(TRC_ERROR, "Error: TRAPEMIT parameter of %d characters > %d, not sent", static_cast<int>(parameter.size()),
          static_cast<int>(DCH_MAX_ACTION_PARMS));
      status_ = -1;
    } else {
      // The subnode is the origin node as far as the DCH carries one; the node keeps it whole.
      std::string subnode(alert_.originNode, strnlen(alert_.originNode, DCH_MAX_SUBNODE));
      status_ = dc_provideAction(kAutomationAction, alert_.sitName, alert_.originNode, subnode.c_str(), kTrapEmit,
                                 actionID, parameter.c_str());
    }
  }
  BlankPadded(row_.originnode, alert_.originNode);
  BlankPadded(row_.sitname, alert_.sitName);
  BlankPadded(row_.sitorg, parsed.originNode.c_str());
  BlankPadded(row_.sittime, alert_.sitTime);
  BlankPadded(row_.severity, alert_.severity);
  BlankPadded(row_.category, alert_.category);
  BlankPadded(row_.trapdest, alert_.trapDest);
  BlankPadded(row_.attrvals, alert_.attrVals);
  row_.reqrc = status_ == 0 ? 0 : -1;
  AddData(&row_, 1);
  TRC(TRC_DETAIL, "[@%p/%u] Alert processed: sending status %d", static_cast<void*>(this), handle_, status_);
}

zev_zevact_manager::zev_zevact_manager() : fixedTableManager("ZEV", "ZEVACT") {}

Pxraf* zev_zevact_manager::CreatePxraf(RequestDetail* detail, ContextInfo* context) {
  return new (std::nothrow) zev_zevact_agent(detail, context, this);
}

int zev_zevact_manager::EventArrived(zev_zevact_data_t* rows, int count) {
  return staticManager != nullptr ? staticManager->AddDataToEvent(rows, count) : 0;
}

int zev_zevact_init() {
  int status = StartFixedTable(&staticManager);
  TRC(TRC_DETAIL, "Table %s registered: status=%d", "ZEV.ZEVACT", status);
  return status;
}
