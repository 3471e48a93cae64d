// The resolver the look-up functions ask: the one a test installed, else the system's.
#pragma once

#include "zev0/hostnames.h"

namespace zev0 {

Resolver& CurrentResolver();

}  // namespace zev0
