// What the framework serves while its main loop runs: the interfaces registered with
// this runtime, through rpc__listen on a thread of its own, ended by rpc__shutdown.
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

#include "raf_call_serving.h"
#include "rpc_server.h"

namespace {

// Calls served at once, as many as an SNMP manager's own listener takes by default.
constexpr int kFrameworkCallThreads = 5;
// How long the end waits for the listener before it asks again.
constexpr std::chrono::milliseconds kShutdownRetry{20};

struct FrameworkListener {
  std::mutex mutex;
  std::condition_variable ended;
  std::thread thread;
  bool running = false;  // the thread is in, or about to enter, rpc__listen
};

// Never destroyed: the framework may end its loop during static destruction.
FrameworkListener& Listener() {
  static FrameworkListener* listener = new FrameworkListener;
  return *listener;
}

void StartServing() {
  FrameworkListener& listener = Listener();
  std::lock_guard<std::mutex> hold(listener.mutex);
  if (listener.running || listener.thread.joinable()) return;
  listener.running = true;
  listener.thread = std::thread([&listener] {
    rpc__status_t status;
    rpc__listen(kFrameworkCallThreads, &status);
    std::lock_guard<std::mutex> ended(listener.mutex);
    listener.running = false;
    listener.ended.notify_all();
  });
}

void StopServing() {
  FrameworkListener& listener = Listener();
  std::unique_lock<std::mutex> hold(listener.mutex);
  // A shut-down that comes before the thread listens ends nothing: ask until it has ended.
  while (listener.running) {
    hold.unlock();
    rpc__status_t status;
    rpc__shutdown(&status);
    hold.lock();
    listener.ended.wait_for(hold, kShutdownRetry, [&listener] { return !listener.running; });
  }
  std::thread ended = std::move(listener.thread);
  hold.unlock();
  if (ended.joinable()) ended.join();
}

const RAF_CallServing kFrameworkServing{StartServing, StopServing};

// Hands the framework its serving when the runtime is loaded.
struct ServingInstaller {
  ServingInstaller() { RAF_SetCallServing(&kFrameworkServing); }
} installer;

}  // namespace
