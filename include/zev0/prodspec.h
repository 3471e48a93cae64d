// The product specification file: which product this installation is, which
// features are on, which data providers to start, ports and file names.
#pragma once

#include <cstdint>

#include "zev/prodspec_items.h"

// Reads the file once per process: ZEV_PRODSPEC_PATH (a directory ending in '/',
// else the work directory) and ZEV_PRODSPEC_NAME (else "ZEVPSF"). 1 when the items
// are ready, 0 when the reading failed (a later call reads the file again). Called
// at start-up, before other threads query items.
int ZEV0_InitializeProductSpec();

// The item's text, owned by the table (never freed, never changed), or null when
// the item is not set, the number is not 0 to 34, or the product specification is not
// initialised.
//
// A flag item answers "Y", null (not specified, that is No), or "N" when the file
// set it to NO or N: that "N" is kept as a value, so a flag set to N is not null.
// Callers test a flag's first letter ('Y'), never only that it has a value.
const char* ZEV0_QueryProductSpec(int32_t item);

// 1 when a flag item is switched on: its value begins with Y (either case); 0 for
// "N", for no value and for any other text.
int ZEV0_ProductSpecItemOn(int32_t item);

// Records how this process runs its data providers: non-zero in a stand-alone
// data-provider program (its start-up sets 1), 0 (the default) inside the agent.
void ZEV0_SetDPstartMode(int32_t mode);
