// The server side of agent discovery: the listen task that claims a port and serves
// RAF_Proxy, through which the maker's agents register with this manager.
#pragma once

#include <atomic>
#include <cstdint>

// No port could be had: the listen task ended without a listener.
constexpr int32_t kNoPlovenListenPort = -1;

// Thread entry (or a plain call inside the agent program). listenPort: the manager's
// std::atomic<int32_t>, 0 on entry, which the task sets to the port it claimed (the
// first free one from 30303 up), or to kNoPlovenListenPort once every port up to 65535
// was refused. In an independent data-provider program the task then serves calls
// until the runtime's serving ends; inside the agent program it returns once the
// interface is registered, because the agent program's framework serves the calls.
void* ZEVS_ListenPlovenAgentReply(void* listenPort);

namespace zevs {

// The ports the listen task tries, first to last. Tests narrow the range.
struct ListenPortRange {
  int32_t first = 30303;
  int32_t last = 65535;
};
ListenPortRange& PlovenListenPorts();

// The address (network order) the runtime serves RAF_Proxy at, as the listen task
// claimed its port: 0 for every address of the host.
std::atomic<uint32_t>& PlovenListenAddress();

}  // namespace zevs
