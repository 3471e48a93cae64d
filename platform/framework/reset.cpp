// Back to a fresh framework between tests.
#include "internal/failures.h"
#include "internal/identity.h"
#include "internal/main_loop.h"
#include "internal/manager_registry.h"
#include "internal/request_registry.h"
#include "internal/subnodes.h"
#include "raf_driver.h"

namespace raf {

void Reset() {
  EndAllRequests();
  ForgetManagers();
  ForgetSubnodes();
  TakeConsoleMessages();
  TakeOperationsLog();
  ForgetIdentity();
  ForgetFailures();
  ResetMainLoop();
  ReopenRemoteManager();
}

}  // namespace raf
