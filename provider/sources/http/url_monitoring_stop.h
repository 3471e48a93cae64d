// Stopping URL monitoring, owner by owner: a URL stops being monitored, and its
// removal row goes to the agent, when its last owner goes.
#pragma once

struct DPAB;

// The end of a situation on Managed_URL (its RULESTOP): the owner, as named or in
// upper case, is removed from every URL.
void ZEVP_StopSitHTTPrequest(DPAB* anchor, const char* ownerName);

// A URL remove request: the user is removed from that URL (both compared without
// regard to case). 1 when an owner was removed, else 0.
int ZEVP_StopActionURLrequest(DPAB* anchor, const char* url, const char* user);
