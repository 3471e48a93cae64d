// The start of one data provider by its type.
#pragma once

#include <cstdint>

#include "zevp/data_provider.h"

struct ProcessEntry;

// 1 in a data-provider program of its own, 0 (at load) when the data providers
// run as threads of the agent. Set once, before any data provider starts.
extern int32_t DPpgmStart;

// The console's type routine of the types without file servers: does nothing.
void Dummy_Function(ProcessEntry* entry);

// The types that ZEVP_StartDataProvider accepts (SNMP, APPC and ODBC among them
// only to refuse them after the environment started).
constexpr int32_t ZEVP_HIGHEST_STARTABLE_DP_TYPE = 8;
