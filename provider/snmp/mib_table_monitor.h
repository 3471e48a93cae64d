// The collection of one MIB table (an SNMP attribute group) by its SNMP worker:
// every interval a pass over the target agents, each walked row by row (GetNext
// for the next instance, a Get per column; one row per agent for a scalar group),
// each row loaded, filtered, summarised and sent through the group's source.
#pragma once

struct ActionWorkerTaskEntry;
struct DPAB;
struct ProcessEntry;
struct TableEntry;

// Runs on the collector's thread (own: its process entry) until the worker is
// told to stop, the last interest goes or no agent is left.
void ZEVP_SNMPmonitorMIBtable(DPAB* anchor, ActionWorkerTaskEntry* worker, ProcessEntry* own);

// 1 when the group is walked as a table (its third attribute has no encoded OID),
// 0 for a scalar group.
int ZEVP_IsSNMPtableMode(const TableEntry* table);
