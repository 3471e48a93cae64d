// The SNMP-Manager application: the tables in which the SNMP data provider
// reports received traps, routers, networks and their nodes, managed nodes, the
// maker's agents and the state of MIB collection (snmp_manager_tables.h).
//
// For the default product ("EV") the application is built in memory, registered
// with the agent and its tables' sources handed to the anchor; for any other
// product the tables are those of the application that item 19 of the product
// file names, loaded from its metafile at start-up.
#pragma once

#include "snmp_manager_tables.h"

struct DPAB;
struct SourceEntry;

// Defines (or finds) the application, puts the trap table online when
// bringTrapTableOnline is set, the router, network-summary and agent tables when
// bringNetworkTablesOnline is set and the MIB status tables when item 12 is on,
// and records the tables in the anchor's snmpManagerTables. Each table's source
// gets a process entry of its own, freed with the source, on which the caller
// waits for the source's DCH requests. Runs on a thread of the anchor (the SNMP
// manager task). 1 when at least one table is recorded, else 0.
int ZEVP_DefineSNMPmonitorSpec(DPAB* anchor, int bringNetworkTablesOnline, int bringTrapTableOnline);

// The source of a table of the application (ZEVP_SNMPmanagerTable), or null while
// the table is not recorded in the anchor.
SourceEntry* ZEVP_SNMPmanagerSource(const DPAB* anchor, int table);
