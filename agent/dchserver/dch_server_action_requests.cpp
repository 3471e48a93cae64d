// Actions between consumers and data providers: a data provider waits for actions
// (0x1040) and reports their results (0x1050); a consumer provides an action (0x2080)
// and waits for its results (0x2090); a cancel (0x10FF) is accepted and does nothing.
#include "dch_server.h"

int DCHserver::dp_waitForAction(char* /*message*/) { return notYetHandled("dp_waitForAction"); }

int DCHserver::dc_provideAction(char* /*message*/) { return notYetHandled("dc_provideAction"); }

int DCHserver::dp_provideActionResults(char* /*message*/) { return notYetHandled("dp_provideActionResults"); }

int DCHserver::dc_waitForActionResults(char* /*message*/, long* results) {
  *results = -1;
  return notYetHandled("dc_waitForActionResults");
}

int DCHserver::dp_cancel(char* /*message*/) { return 0; }
