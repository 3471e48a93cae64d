// How many attributes an attribute group may hold: set once per process.
#pragma once

#include <cstdint>

// Sets the limit when it is not set yet: WJD_MAXCOLS, else 63, at most 127.
void ZEVP_DetermineMaxAttributesPerGroup();

// The limit in effect (set on first use when nobody set it before).
int32_t ZEVP_MaxAttributesPerGroup();
