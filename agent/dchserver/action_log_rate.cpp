#include "action_log_rate.h"

#include "trc1.h"

TRC_UNIT();

namespace {

// A routed action after a longer pause enables logging again.
constexpr unsigned long kPauseSeconds = 60;
// Every tenth action compares the time since the previous such check with this.
constexpr long kCheckEvery = 10;
constexpr unsigned long kCheckSeconds = 99;

}  // namespace

void applyActionLogRate(actionTable& table, actionTableEntry& entry, int requestType, unsigned long now) {
  if (requestType != ActionInfo_t::kActionRouted) return;
  if (now - table.getLastAddTime() > kPauseSeconds) table.setEnableActionLogging(1);
  table.setLastAddTime(now);
  if (entry.actionID() % kCheckEvery == 0) {
    table.setEnableActionLogging(now - table.getLastCheckTime() > kCheckSeconds ? 1 : 0);
    table.setLastCheckTime(now);
  }
  if (table.getEnableActionLogging() == 0) {
    TRC(TRC_DETAIL, "Action logging disabled: actionID <%ld> not logged.", entry.actionID());
    entry.setActionLogging(0);
  }
}
