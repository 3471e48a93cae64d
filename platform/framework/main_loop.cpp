// The framework's main loop and its shut-down. The loop's own thread admits the
// management port's clients and watches for the termination signals and the shut-down.
#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
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
int servedPort = 0;
// The end RAF_Shutdown writes to while the loop runs, to wake it; -1 otherwise.
int loopWake = -1;
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

// Until the framework shuts down or SIGTERM or SIGINT comes (then the loop ends, the
// framework does not shut down).
void serveUntilEnd(int wakeEnd, raf::TerminationSignals& signals, raf::ManagementPort& managementPort) {
  for (;;) {
    {
      std::lock_guard<std::mutex> guard(loopLock);
      if (shutDown) return;
    }
    // A descriptor of -1 is not watched.
    pollfd watched[] = {{wakeEnd, POLLIN, 0}, {signals.readEnd(), POLLIN, 0}, {managementPort.listener(), POLLIN, 0}};
    if (poll(watched, 3, -1) < 0) {
      if (errno == EINTR) continue;
      TRC(TRC_ERROR, "Error: the framework's main loop cannot watch its port and signals: errno=%d", errno);
      std::unique_lock<std::mutex> guard(loopLock);
      loopChanged.wait(guard, [] { return shutDown; });
      return;
    }
    char drained[16];
    if (watched[0].revents != 0) (void)!read(wakeEnd, drained, sizeof drained);
    if (watched[1].revents != 0) {
      if (int signalNumber = signals.take()) {
        TRC(TRC_DETAIL, "Signal %d received: the framework's main loop ends", signalNumber);
        return;
      }
    }
    if (watched[2].revents != 0) managementPort.admitClient();
  }
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
  }
  TRC(TRC_DETAIL, "Framework main loop starts: %s", argc > 0 && argv != nullptr && argv[0] != nullptr ? argv[0] : "");
  int wake[2];
  if (pipe2(wake, O_CLOEXEC | O_NONBLOCK) != 0) {
    TRC(TRC_ERROR, "Error: the framework's main loop has no wake pipe: errno=%d", errno);
    std::lock_guard<std::mutex> guard(loopLock);
    running = false;
    return 1;
  }
  raf::TerminationSignals signals;
  if (RAF_AgentLoader loader = raf::CurrentAgentLoader()) loader();
  raf::ManagementPort managementPort;
  int port = configuredPort();
  if (port != 0 && !managementPort.start(port)) port = 0;
  const RAF_CallServing* serving = callServing.load();
  if (serving != nullptr) serving->start();
  {
    std::lock_guard<std::mutex> guard(loopLock);
    servedPort = port;
    ready = true;
    loopWake = wake[1];
    loopChanged.notify_all();
  }
  serveUntilEnd(wake[0], signals, managementPort);
  {
    std::lock_guard<std::mutex> guard(loopLock);
    loopWake = -1;
  }
  close(wake[0]);
  close(wake[1]);
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
    if (loopWake >= 0) (void)!write(loopWake, "", 1);
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
