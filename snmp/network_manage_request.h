// The network management request (NetworkManageEntry) of the data-provider core,
// for the SNMP manager library. The core's header also describes a
// ManagedNodeEntry of its own (as far as the MIB auto-start reads a node), which
// would clash with the library's record of a host (network_records.h): here it
// goes by another name. The auto-start is reached through mib_auto_start.h.
#pragma once

#define ManagedNodeEntry ZEVP_AutoStartNodeEntry
#include "network_manage_entry.h"
#undef ManagedNodeEntry
