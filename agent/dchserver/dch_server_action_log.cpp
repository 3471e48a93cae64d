// When the server starts and stops its action log: with the first source of
// DVAGENT/"DPLOG" online, and when the last one goes.
#include "action_log.h"
#include "appl_space_list.h"
#include "dch_server.h"

void DCHserver::actionLogSourceOnline() {
  if (_actionOnline != 0 || _buckets->numberOnline(DCH_ACTION_LOG_APPLICATION, kActionLogFeedGroup) == 0) return;
  if (doActionOnline(_actionList) != 0) return;
  // The logging thread is started once and keeps running while the log is offline.
  if (_actionData == 0 && doActionData(_actionList.get()) == 0) _actionData = 1;
  _actionOnline = 1;
}

void DCHserver::actionLogSourceOffline() {
  if (_actionOnline == 0 || _buckets->numberOnline(DCH_ACTION_LOG_APPLICATION, kActionLogFeedGroup) != 0) return;
  doActionOffline(_actionList);
  _actionOnline = 0;
}
