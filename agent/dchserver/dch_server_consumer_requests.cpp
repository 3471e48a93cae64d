// The consumers' requests: application, help and attribute texts (0x2040, 0x2045,
// 0x2050), and the standing waits for rows (0x2060) and source status (0x2070).
// Each answers at once, parks a waiter, or (without a message) answers a parked one.
#include "dch_server.h"

void DCHserver::dc_getApplications(char* /*message*/, const char* /*applName*/, const WaiterReplyAddress* /*waiter*/) {
  notYetHandled("dc_getApplications");
}

void DCHserver::dc_getApplHelp(char* /*message*/, const char* /*applName*/, const WaiterReplyAddress* /*waiter*/) {
  notYetHandled("dc_getApplHelp");
}

void DCHserver::dc_getApplAttributes(char* /*message*/, const char* /*applName*/,
                                     const WaiterReplyAddress* /*waiter*/) {
  notYetHandled("dc_getApplAttributes");
}

void DCHserver::dc_waitOnData(char* /*message*/, long /*handle*/, const WaiterReplyAddress* /*waiter*/) {
  notYetHandled("dc_waitOnData");
}

void DCHserver::dc_waitForDPStatus(char* /*message*/, const char* /*applName*/, const char* /*attrGroup*/,
                                   const char* /*sourceName*/, short /*requestType*/,
                                   const WaiterReplyAddress* /*waiter*/) {
  notYetHandled("dc_waitForDPStatus");
}
