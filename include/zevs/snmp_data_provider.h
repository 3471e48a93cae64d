// The SNMP data provider of libzevs350: the entry that the agent program and the SNMP
// data-provider program start on a thread of its own.
#pragma once

// Thread routine. typeAddress points to the 32-bit data-provider type (SNMP, 5), which
// must stay valid while the thread runs. Runs the SNMP data provider until it is shut
// down, then returns null. Not available in this build: it traces so and returns at once.
void* ZEVS_StartSNMPDataProvider(void* typeAddress);
