// The SNMP data provider of libzevs350: the entry that the agent program and the
// SNMP data-provider program start on a thread of its own, and the library's
// other exported calls.
#pragma once

#include <cstdint>

// Thread routine. typeAddress points to the 32-bit data-provider type, which must
// be SNMP (5) and stay valid while the thread runs. Returns null when it refuses
// the type or its start-up initialisation fails; otherwise it runs the SNMP data
// provider until it is shut down and ends the thread with the address of
// ZEVS_ThreadRC.
void* ZEVS_StartSNMPDataProvider(void* typeAddress);

// Kept for the callers of another platform's SNMP library: does nothing, 0.
int32_t ZEVS_LoadWinSNMPlibrary();
