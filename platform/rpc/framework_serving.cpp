// What the framework serves while its main loop runs: the interfaces registered with
// this runtime, through rpc__listen on a thread of its own, ended by rpc__shutdown. The
// thread starts once a well-known socket is open: a process that serves nothing has
// none.
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

#include "raf_call_serving.h"
#include "rpc_server.h"
#include "well_known_sockets.h"

namespace {

// Calls served at once, as many as an SNMP manager's own listener takes by default.
constexpr int kFrameworkCallThreads = 5;
// How long the end waits for the listener before it asks again.
constexpr std::chrono::milliseconds kShutdownRetry{20};

struct FrameworkListener {
  std::mutex mutex;
  std::condition_variable ended;
  std::thread thread;
  bool serving = false;  // between the main loop's start and end
  bool running = false;  // the thread is in, or about to enter, rpc__listen
};

// Never destroyed: the framework may end its loop during static destruction.
FrameworkListener& Listener() {
  static FrameworkListener* listener = new FrameworkListener;
  return *listener;
}

// Under the listener's mutex.
void StartListening(FrameworkListener& listener) {
  if (!listener.serving || listener.running || listener.thread.joinable()) return;
  listener.running = true;
  listener.thread = std::thread([&listener] {
    rpc__status_t status;
    rpc__listen(kFrameworkCallThreads, &status);
    std::lock_guard<std::mutex> ended(listener.mutex);
    listener.running = false;
    listener.ended.notify_all();
  });
}

void StartServing() {
  FrameworkListener& listener = Listener();
  std::lock_guard<std::mutex> hold(listener.mutex);
  listener.serving = true;
  if (rpc::WellKnownSocketsOpen()) StartListening(listener);
}

void SocketOpened() {
  FrameworkListener& listener = Listener();
  std::lock_guard<std::mutex> hold(listener.mutex);
  StartListening(listener);
}

void StopServing() {
  FrameworkListener& listener = Listener();
  std::unique_lock<std::mutex> hold(listener.mutex);
  listener.serving = false;
  // Without a listener the shut-down still closes the sockets and drops the
  // registrations. One that comes before the thread listens ends nothing: ask until it
  // has ended.
  do {
    hold.unlock();
    rpc__status_t status;
    rpc__shutdown(&status);
    hold.lock();
    listener.ended.wait_for(hold, kShutdownRetry, [&listener] { return !listener.running; });
  } while (listener.running);
  std::thread ended = std::move(listener.thread);
  hold.unlock();
  if (ended.joinable()) ended.join();
}

const RAF_CallServing kFrameworkServing{StartServing, StopServing};

// Hands the framework its serving when the runtime is loaded.
struct ServingInstaller {
  ServingInstaller() {
    RAF_SetCallServing(&kFrameworkServing);
    rpc::SetSocketOpenedHook(SocketOpened);
  }
} installer;

}  // namespace
