// A network's state, which the monitoring server, its workers and the probes read
// and change without the network-list lock: each access is atomic.
#pragma once

#include <cstdint>

#include "zevs/network_records.h"

namespace zevs {

inline int32_t NetworkState(const NetworkEntry* network) { return __atomic_load_n(&network->state, __ATOMIC_ACQUIRE); }

inline void SetNetworkState(NetworkEntry* network, int32_t state) {
  __atomic_store_n(&network->state, state, __ATOMIC_RELEASE);
}

}  // namespace zevs
