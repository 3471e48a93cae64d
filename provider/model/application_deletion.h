// Deleting a loaded application (the console's DELETE and REFRESH): the threads
// of its sources stop first, its sources go offline, its groups leave internal
// routing, then it is unregistered with the agent and freed.
#pragma once

struct ApplicationEntry;
struct DPAB;

// Per source, by its type: a FILE source's server is told to end and awaited
// (its TerminationLock); a SOCK or BASE source's partner is marked for deletion,
// the socket server woken ("*DP*SOCKET*SELECT*DELETE*INTERRUPT*"), its socket
// closed, and an online source (or one whose rows the agent still shows) taken
// offline through the socket request machine; an SNMP source's collection is
// stopped and awaited. An SNMP application in the SNMP data provider goes
// offline as a whole. Then DP log message 10 and the release of the entries,
// which unregisters the application. Deletions run one at a time.
void ZEVP_DeleteExistingApplication(DPAB* anchor, ApplicationEntry* application);
