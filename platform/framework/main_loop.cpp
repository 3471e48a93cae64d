// The framework's main loop and its shut-down.
#include <atomic>
#include <condition_variable>
#include <mutex>

#include "bsv1.h"
#include "internal/framework_port.h"
#include "internal/identity.h"
#include "internal/main_loop.h"
#include "internal/management_port.h"
#include "internal/manager_registry.h"
#include "internal/termination_signals.h"
#include "internal/request_registry.h"
#include "raf_call_serving.h"
#include "raf_driver.h"
#include "trc1.h"

TRC_UNIT();

namespace {

std::mutex loopLock;
std::condition_variable loopChanged;
bool running = false;
bool ready = false;
bool shutDown = false;
// SIGTERM or SIGINT came while the loop ran: the loop ends, the framework does not shut down.
bool signalled = false;
int servedPort = 0;
std::atomic<const RAF_CallServing*> callServing{nullptr};

// The port in ZEVA_RAF_PORT, or 0 (traced) when it names none.
int configuredPort() {
  const char* text = BSV1_GetEnv(raf::kFrameworkPortVariable, 0);
  int port = raf::FrameworkPortFrom(text);
  if (port == 0)
    TRC(TRC_ERROR, "Error: %s <%s> does not name a port (1 to 65535); the framework runs without its port",
        raf::kFrameworkPortVariable, text);
  return port;
}

}  // namespace

int tzomain(int argc, char* argv[]) {
  {
    std::lock_guard<std::mutex> guard(loopLock);
    if (running) {
      TRC(TRC_ERROR, "Error: the framework's main loop runs already");
      return 1;
    }
    if (shutDown) return 0;
    running = true;
    signalled = false;
  }
  TRC(TRC_DETAIL, "Framework main loop starts: %s", argc > 0 && argv != nullptr && argv[0] != nullptr ? argv[0] : "");
  raf::TerminationSignals signals([] {
    std::lock_guard<std::mutex> guard(loopLock);
    signalled = true;
    loopChanged.notify_all();
  });
  if (RAF_AgentLoader loader = raf::CurrentAgentLoader()) loader();
  raf::ManagementPort managementPort;
  int port = configuredPort();
  if (port != 0 && !managementPort.start(port)) port = 0;
  const RAF_CallServing* serving = callServing.load();
  if (serving != nullptr) serving->start();
  {
    std::unique_lock<std::mutex> guard(loopLock);
    servedPort = port;
    ready = true;
    loopChanged.notify_all();
    loopChanged.wait(guard, [] { return shutDown || signalled; });
  }
  if (serving != nullptr) serving->stop();
  managementPort.stop();
  std::lock_guard<std::mutex> guard(loopLock);
  running = false;
  ready = false;
  servedPort = 0;
  loopChanged.notify_all();
  TRC(TRC_DETAIL, "Framework main loop ends");
  return 0;
}

int RAF_Shutdown(int code) {
  {
    std::lock_guard<std::mutex> guard(loopLock);
    if (shutDown) return 0;
    shutDown = true;
    loopChanged.notify_all();
  }
  TRC(TRC_DETAIL, "Framework shut-down (%d)", code);
  raf::CloseRemoteManager();
  raf::EndAllRequests();
  return 0;
}

void RAF_SetCallServing(const RAF_CallServing* serving) { callServing.store(serving); }

namespace raf {

bool FrameworkShutDown() {
  std::lock_guard<std::mutex> guard(loopLock);
  return shutDown;
}

bool WaitForMainLoop(int waitMs) {
  std::unique_lock<std::mutex> guard(loopLock);
  return loopChanged.wait_for(guard, std::chrono::milliseconds(waitMs), [] { return ready; });
}

int ServerPort() {
  std::lock_guard<std::mutex> guard(loopLock);
  return servedPort;
}

void ResetMainLoop() {
  std::lock_guard<std::mutex> guard(loopLock);
  shutDown = false;
  SetSessionIdleLimit(0);  // back to the default
}

void SetIdleLimit(int milliseconds) { SetSessionIdleLimit(milliseconds); }

}  // namespace raf
