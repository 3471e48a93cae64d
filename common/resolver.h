// The resolver the look-up functions ask: the one a test installed, else the system's.
#pragma once

#include <cstdint>

#include "zev0/hostnames.h"

namespace zev0 {

Resolver& CurrentResolver();
// How often a resolver was installed: what was learnt from another holds no longer.
uint64_t ResolverInstallations();

}  // namespace zev0
