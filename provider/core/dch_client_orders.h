// What the DCH client does for each order a source gives by its state: the DCH
// request, and the state the source goes to from the agent's answer.
#pragma once

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

// Carries out the order of the source's state; the caller holds the source's entry
// lock. True when the same source is to be served once more (now in its new state).
bool ZEVP_PerformDCHorder(DCHclientWork& work, SourceEntry* source);

// The unregister order: the application's copies on the delayed-offline queue go
// offline first, then dp_unregister; the source ends Initial.
void ZEVP_UnregisterThroughSource(DCHclientWork& work, SourceEntry* source);
