// The SNMP worker: the thread of action type 3 that runs SNMPSET, SNMPMANAGE,
// SNMPSTARTGET and SNMPSTOPGET. A start makes it the collector of one MIB table
// (mib_table_monitor.h) until the collection ends; later starts of that table join
// it. Its SNMPWorkerTaskExtension hangs in the worker block.
#pragma once

struct ActionEntry;
struct ActionWorkerTaskEntry;
struct DPAB;
struct ProcessEntry;
struct SourceEntry;

// The thread body (own: its process entry). It ends, besides at shut-down, when an
// action it finished finds no automation server running to take it back.
void ZEVP_SNMPWorkerTask(ActionWorkerTaskEntry* worker, ProcessEntry* own);

// Wakes the collector so that its loop takes a change at once.
void ZEVP_WakeSNMPcollector(ActionWorkerTaskEntry* worker);

// Posts the action's status and result to the agent (not for SNMPAUTOINIT's own
// actions) through the caller's reply source; own is the caller's process entry.
void ZEVP_PostSNMPactionResult(DPAB* anchor, ProcessEntry* own, SourceEntry* reply, ActionEntry* action);
