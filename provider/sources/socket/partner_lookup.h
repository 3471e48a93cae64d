// Finding the partner record of a datagram sender or a new connection by its address.
#pragma once

#include <netinet/in.h>

#include "bsv1.h"

struct ApplicationEntry;
struct IOEntry;

// Addresses count by their IPv4 address, ports as they stand (network order).
// Without an application: the one partner of the list (under its lock) whose fixed
// or bound port is the address's port (none when several are), else the first
// unbound one of that address whose fixed port is 0. With an application: the first
// partner of its sources, group by group, of that address that is unbound with
// fixed port 0, or whose fixed port is the address's port.
IOEntry* ZEVP_LookUpPartnerByAddr(const sockaddr_in* address, BSV1_Lock* listLock, IOEntry** listHead,
                                  ApplicationEntry* application);
