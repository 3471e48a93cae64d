// What the DCH client does for each order a source gives by its state: the DCH
// request, and the state the source goes to from the agent's answer.
#pragma once

#include "dch_comm.h"

struct DCHcomm;
struct DPAB;
struct ProcessEntry;
struct SourceEntry;

// The DCH client's working values while it serves one chain of sources.
struct DCHclientWork {
  DPAB* anchor;
  ProcessEntry* entry;  // the DCH client's own
  DCHcomm* comm;
  bool reRegister = false;   // dp_online asked for a registration: online again once registered
  bool redriveData = false;  // dp_data asked for a new online: the data request again once online
  bool releaseCopy = false;  // the entry just finished is a delayed-offline copy that went offline
};

// The locks the DCH client holds while it carries out one order of a source. A
// registration works on the whole application, under the application's locks and
// its groups', which come before a source's lock: it does not hold the source's
// entry lock, which every other order holds. Inside them, the status mutex.
class DCHorderHeld {
 public:
  DCHorderHeld(SourceEntry* source, DCHcomm* comm);
  ~DCHorderHeld();
  DCHorderHeld(const DCHorderHeld&) = delete;
  DCHorderHeld& operator=(const DCHorderHeld&) = delete;

 private:
  SourceEntry* locked_;  // null for a registration
  DCHstatusHeld status_;
};

// Carries out the order of the source's state, under DCHorderHeld. True when the
// same source is to be served once more (now in its new state), under the locks of
// that order.
bool ZEVP_PerformDCHorder(DCHclientWork& work, SourceEntry* source);

// The unregister order: the application's copies on the delayed-offline queue go
// offline first, then dp_unregister; the source ends Initial.
void ZEVP_UnregisterThroughSource(DCHclientWork& work, SourceEntry* source);
