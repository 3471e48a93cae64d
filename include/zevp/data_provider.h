// Running a data provider: the entry that the agent program and the data-provider
// programs start on a thread of its own, and the switch a program sets first.
#pragma once

#include <cstdint>

// Thread routine. typeAddress points to the 32-bit data-provider type (the index
// into DPtypeString, zev/dp_types.h), which must stay valid while the thread runs.
// Returns null when the type or the start-up is refused; otherwise it does not
// return but ends the thread once the data provider has shut down.
void* ZEVP_StartDataProvider(void* typeAddress);

// Marks the process as a data-provider program of its own (not the agent); called
// by a program's main before it starts the data provider.
void ZEVP_SetDPprogramStart();

// 1 in a data-provider program, 0 inside the agent.
int32_t ZEVP_IsIndependentDPenvironment();
