// What happens to a parsed application at the end of its metafile: it is checked
// as a whole, its duplicate attribute names are resolved, its sources get the
// output order of their attributes and, outside a validation run, it is
// registered with the agent.
#pragma once

#include "metafile_parse_state.h"

struct ApplicationEntry;

// The outcome of ZEVP_ConstructApplDataModel once the metafile is closed and its
// last group completed: the application, or null. Checks, in this order:
// bypassed for the data-provider type (no message); no accepted //APPL (ZEVPV03E);
// no group (ZEVPV04E); a last group without attributes (ZEVPV05E); a failed
// attribute copy (ZEVPV06E); a group with more attributes than the limit;
// a row above 4000 bytes (ZEVPV57E); an SNMP group not led by Agent_Info and
// Agent_Name (ZEVPV96E). An application that fails one is released whole.
ApplicationEntry* ZEVP_CheckAndRegisterApplication(MetafileParseState& state);
