// The metafile parser: reads one metafile record by record and builds its
// application model, reporting every fault with a validation message.
#pragma once

#include "zevp/batch_run.h"

struct ApplicationEntry;
struct DPAB;


// The loaded application that the name designates: by metafile name, by the
// metafile's base name without extension (for a name without one), then by
// application name; all compared in upper case. Null when none.
ApplicationEntry* ZEVP_CheckApplicationExistence(DPAB* anchor, const char* name);

// The delimiter string of an //ATTRIBUTES statement from its delimiter word, in
// new storage (ZEV0_FreeStorage), or null when the group has no delimiter.
char* ZEVP_CheckAttributeDelimiter(const char* word);
