// Failures a test injected into the framework's calls (internal to the framework).
#pragma once

#include "raf_driver.h"

namespace raf {

// True when this call is to fail (and counts it).
bool FailureDue(Failure call);
void ForgetFailures();

}  // namespace raf
