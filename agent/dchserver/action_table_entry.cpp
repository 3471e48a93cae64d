#include "action_table_entry.h"

#include <cstdio>

#include "dch/dch_protocol.h"
#include "trc1.h"
#include "zev/action_codes.h"

TRC_UNIT();

namespace {

// Texts are cut to their holder; a null text is empty.
template <size_t N>
void copyText(char (&target)[N], const char* text) {
  std::snprintf(target, N, "%s", text != nullptr ? text : "");
}

}  // namespace

actionTableEntry::actionTableEntry(const ActionInfo_t& routed)
    : actionType_(routed.actionType),
      actionID_(routed.actionID),
      actionStatus_(ZEV_ACTION_STATUS_UNKNOWN),
      controlField_(DCH_SingleRow),
      answersAwaited_(routed.recipients) {
  copyText(actionOwner_, routed.actionOwner);
  copyText(actionNode_, routed.actionNode);
  copyText(actionName_, routed.actionName);
  copyText(actionParms_, routed.actionParms);
  copyText(actionResults_, nullptr);
}

void actionTableEntry::actionResults(const char* results) { copyText(actionResults_, results); }

void actionTableEntry::printSelf() const {
  TRC(TRC_DETAIL,
      "actionTableEntry @%p: actionType<%d> actionOwner<%s> actionNode<%s> actionName<%s> actionID<%ld> "
      "actionParms<%s> actionStatus<%ld> actionResults<%s> controlField<0x%02x> actionLogging<%d>",
      static_cast<const void*>(this), actionType_, actionOwner_, actionNode_, actionName_, actionID_, actionParms_,
      actionStatus_, actionResults_, static_cast<unsigned>(controlField_), actionLogging_);
}
