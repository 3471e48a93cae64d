// Starting and stopping the collection of MIB tables: SNMPSTARTGET and SNMPSTOPGET
// of the SNMP worker. A start names the application (APPLNAME=), the table
// (ATTRGROUP=; without it every SNMP table of the application gets a start of its
// own), the agents (AGENTINFO=( ... )) and the interval (INTERVAL=, at least 30
// seconds). A stop names the start by its action ID, or, as an operator's command,
// the application, the table and the agents by name.
#pragma once

struct ActionEntry;
struct ActionWorkerTaskEntry;
struct DPAB;
struct ProcessEntry;
struct SourceEntry;
struct TableEntry;

// 1 when the calling worker became the collector of a new table (it then runs the
// collection); 0 when the start joined another collector, was handed on per table
// or was refused (the action's status says which).
int ZEVP_SNMPstartGetProcess(DPAB* anchor, ActionEntry* action, ActionWorkerTaskEntry* caller);

// The stop of the start action with the stop's ID and owner. A start other than
// the collector's own is completed here: its result goes through the caller's
// reply source (own: the caller's process entry).
void ZEVP_SNMPstopGetProcess(DPAB* anchor, ActionEntry* stop, ProcessEntry* own, SourceEntry* reply);

// The stop by application, table and agent names.
void ZEVP_SNMPstopGetSpecial(DPAB* anchor, ActionEntry* stop);

// Tells the collector that has lent the source (a table of an application being
// deleted) to end its collection at once; the other starts it serves go. The caller
// then waits for the collector's termination lock, which it holds while it collects.
void ZEVP_StopSNMPcollection(SourceEntry* source);

// 1 when every attribute of the table's source but _ObjectInstance and derived ones
// has an OID and the table has more than two attributes, else 0 (traced).
int ZEVP_IsThisSNMPtable(const TableEntry* table);
