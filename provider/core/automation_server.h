// The automation server: one thread per data provider that takes the actions the
// DCH receive task decoded (and those the workers give back), drops duplicates,
// hands each new one to a worker of its type and resets the finished ones.
//
// Actions queued before the server runs, or after it ended, wait on the anchor's
// wait queue (heldActions); the server takes them over when it starts and whenever
// its own queue is empty. The server's entry is registered on the anchor under the
// wait queue's lock, so an enqueue sees either the server or the wait queue.
#pragma once

struct ActionEntry;
struct DPAB;
struct ProcessEntry;

// Thread routine (ZEVP_CreateProcess).
void ZEVP_AutomationServer(ProcessEntry* entry);

// Appends the entry to the server's queue and wakes the server (1), or, while no
// server runs, to the anchor's wait queue, which a server takes over when it starts
// (0: held, the server did not take it).
int ZEVP_EnqueueActionToServer(DPAB* anchor, ActionEntry* entry);
