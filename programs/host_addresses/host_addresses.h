// Whether an address belongs to this host, for the daemons that serve only the
// host's own programs: a request from anywhere else is not answered, so that no one
// on the network can steer a daemon at an address of their choosing.
#pragma once

#include <netinet/in.h>

namespace zevdaemon {

// True for a loopback address (127.0.0.0/8) and for an IPv4 address of one of the
// host's interfaces, as they are now.
bool IsAddressOfThisHost(in_addr address);

}  // namespace zevdaemon
