// Back to a fresh framework between tests.
#include "failures.h"
#include "identity.h"
#include "main_loop.h"
#include "manager_registry.h"
#include "raf_driver.h"
#include "request_registry.h"
#include "subnodes.h"

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
