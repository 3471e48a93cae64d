// The node status records of a network monitored without a source, and the hooks
// they go to (which have no further effect).
#pragma once

struct ManagedNodeEntry;

// A free 1024-byte record of the pool, marked in use (a new one appended when none
// is free); null without storage.
char* ZEVS_GetNextCPstatus();
// A record for the node: its name (resolved, else its dotted address), dotted
// address, "Active" or "Unknown", type text ("IP Node" or "Unknown" without one),
// description ("Unavailable" without one), NUL-separated.
char* ZEVS_FormatCPnotifyStatus(char statusLetter, ManagedNodeEntry* node);
// Gives the record back to the pool.
void ZEVS_ReleaseCPstatus(char* record);

void* ZEVS_NotifyNodeStatusChanged(void* handle, int severity, char* record);
int* ZEVS_AccumNodeStatusCount(void* handle, int kind, int count);

// Frees the pool (at the manager's end).
void ZEVS_FreeCPstatusPool();
