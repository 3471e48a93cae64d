// The response-time records of a network's hosts, kept in its network entry.
#pragma once

#include <cstdint>

struct NetworkEntry;

// Records a reply of the host at the index (outside 0 … 254 or not below the
// network's range: the network-wide slot 0), under the entry's lock: a host that
// was '0' counts as newly seen, its letter becomes 'A', slot 0 takes the time as
// the network's current, and the host's minimum, current and maximum follow it.
void ZEVS_UpdateResponseTimeStatus(NetworkEntry* network, int32_t index, uint32_t milliseconds);
