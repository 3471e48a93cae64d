// The SNMP data provider starts (and stops) collecting the MIB groups of every
// loaded SNMP application whose enterprise is a node's own when it learns of the
// node, one SNMPSTARTGET (SNMPSTOPGET) action per group, each on an SNMP worker:
//   AGENTINFO=( node ) INTERVAL=600 APPLNAME=application ATTRGROUP=group
// A node's system object identifier in the private enterprise arc
// (1.3.6.1.4.1.<n>...) is compared by its enterprise, 1.3.6.1.4.1.<n>.; any other
// in full. An application's identifier matches when it begins with that, or is the
// enterprise 1.3.6.1.4.1.<n> itself. The application "MIB-2" is also collected for a node of any enterprise
// when ZEVP_SNMP_AUTOSTART_COLLECTION_MIB2 is on or the node admits it.
//
// A group is collected when every attribute has an object identifier (Agent_Info,
// Agent_Name and the model's own '_' attributes aside) and its rows have at least
// three attributes. Start and stop select alike.
#pragma once

struct DPAB;
struct ManagedNodeEntry;

// Nothing when ZEVP_SNMP_AUTOSTART_MIB_COLLECTION is off (it is on by default) or
// the node has no object identifier. Waits for the start-up configuration first.
void ZEVP_AutoStartMIBcollection(DPAB* anchor, const ManagedNodeEntry* node);
void ZEVP_AutoStopMIBcollection(DPAB* anchor, const ManagedNodeEntry* node);
