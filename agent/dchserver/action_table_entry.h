// One action in flight: what was routed, its status and results so far, and how the
// action log writes its row.
#pragma once

#include "action_ring.h"
#include "agent_ring.h"

class actionTableEntry : public RingLink<actionTableEntry> {
 public:
  // A routed action from its ring record: status 1 ("UNKNOWN"), no results, an
  // ordinary row (control field 0x11), rows written.
  explicit actionTableEntry(const ActionInfo_t& routed);

  short actionType() const { return actionType_; }
  const char* actionOwner() const { return actionOwner_; }
  const char* actionNode() const { return actionNode_; }
  const char* actionName() const { return actionName_; }
  long actionID() const { return actionID_; }
  // Null when the action has none.
  const char* actionParms() const { return actionParms_[0] != '\0' ? actionParms_ : nullptr; }
  long actionStatus() const { return actionStatus_; }
  void actionStatus(long status) { actionStatus_ = status; }
  // Null when none were reported.
  const char* actionResults() const { return actionResults_[0] != '\0' ? actionResults_ : nullptr; }
  // Null clears them; a longer text is cut to 256 characters.
  void actionResults(const char* results);
  short controlField() const { return controlField_; }
  void controlField(short value) { controlField_ = value; }
  // Counts an answer of "no source for the node": true while other data providers the
  // action went to have yet to answer (one of them may have the source).
  bool offlineAnswerAwaitsOthers() { return --answersAwaited_ > 0; }
  short getActionLogging() const { return actionLogging_; }
  void setActionLogging(short logging) { actionLogging_ = logging; }

  void printSelf() const;

 private:
  short actionType_;
  char actionOwner_[sizeof ActionInfo_t::actionOwner];
  char actionNode_[sizeof ActionInfo_t::actionNode];
  char actionName_[sizeof ActionInfo_t::actionName];
  long actionID_;
  char actionParms_[sizeof ActionInfo_t::actionParms];
  long actionStatus_;
  char actionResults_[sizeof ActionInfo_t::actionResults];
  short controlField_;
  short actionLogging_ = 1;
  int answersAwaited_;
};
