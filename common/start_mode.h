// How this process runs its data providers (set with ZEV0_SetDPstartMode).
#pragma once

#include <cstdint>

// Non-zero in a stand-alone data-provider program, 0 inside the agent.
int32_t ZEV0_DPstartMode();
