// The subnodes the agent registered (internal to the framework).
#pragma once

#include "raf_driver.h"

namespace raf {

// True when a subnode of this name is registered and online.
bool SubnodeOnline(const std::string& name);
void ForgetSubnodes();

}  // namespace raf
