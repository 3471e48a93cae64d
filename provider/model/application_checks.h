// What happens to a parsed application at the end of its metafile.
#pragma once

#include "metafile_parse_state.h"

struct ApplicationEntry;

// Decides the outcome of ZEVP_ConstructApplDataModel once the metafile is closed
// and its last group completed: the parsed application, or null for a metafile
// bypassed for this data-provider type or without an accepted //APPL.
ApplicationEntry* ZEVP_CheckAndRegisterApplication(MetafileParseState& state);
