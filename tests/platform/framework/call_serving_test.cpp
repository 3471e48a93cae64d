// The framework serves the interfaces registered with the RPC runtime while its main
// loop runs: calls are answered from the loop's start, or from the opening of their
// socket while it runs, an interface unregistered waits for its calls in progress and is
// refused after, and nothing is served once tzomain has returned. A loop with nothing to
// serve runs on its own thread alone.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <mutex>
#include <string>
#include <thread>

#include "echo_interface.h"
#include "free_port.h"
#include "no_name_service.h"
#include "proc_text.h"
#include "raf.h"
#include "raf_driver.h"
#include "rpc_frame.h"
#include "rpc_test_binding.h"

namespace {

rpc__status_t Echo(unsigned short port) {
  RpcTestBinding binding(port);
  EchoRecord record{"hello", 7, {1, 2}, "ABCDEFGH"};
  EchoRecord echoed;
  std::string caller;
  rpc::FaultFrame frame;
  return CallEcho(binding.handle(), record, &echoed, &caller);
}

// A call that no one serves ends after the call wait: a short one here. Calls that
// are answered keep the runtime's default wait, so that a loaded machine answers in time.
rpc__status_t EchoUnserved(unsigned short port) {
  setenv("ZEV_RPC_CALL_WAIT_MS", "300", 1);
  const rpc__status_t status = Echo(port);
  unsetenv("ZEV_RPC_CALL_WAIT_MS");
  return status;
}

// The threads of this process.
int Threads() {
  const std::string status = ProcText("/proc/self/status");
  const size_t at = status.find("Threads:");
  return at != std::string::npos ? std::atoi(status.c_str() + at + 8) : -1;
}

void OpenEchoSocket(unsigned short port) {
  echo_v1_if_spec.port[socket__family_internet] = port;
  socket__addr_t address;
  int addressLength = sizeof address;
  rpc__status_t status;
  rpc__use_family_wk(socket__family_internet, &echo_v1_if_spec, &address, &addressLength, &status);
  ASSERT_EQ(status, rpc__s_ok);
}

// Holds Echo calls in their routine until opened.
class EchoGate {
 public:
  EchoGate() {
    SetEchoHook([this] {
      std::unique_lock<std::mutex> hold(mutex_);
      entered_ = true;
      changed_.notify_all();
      changed_.wait(hold, [this] { return open_; });
    });
  }
  ~EchoGate() {
    open();
    SetEchoHook(nullptr);
  }
  bool entered() {
    std::unique_lock<std::mutex> hold(mutex_);
    return changed_.wait_for(hold, std::chrono::seconds(5), [this] { return entered_; });
  }
  void open() {
    std::lock_guard<std::mutex> hold(mutex_);
    open_ = true;
    changed_.notify_all();
  }

 private:
  std::mutex mutex_;
  std::condition_variable changed_;
  bool entered_ = false;
  bool open_ = false;
};

// The framework's port and the Echo interface's on free loopback ports.
class FrameworkCallServing : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_NE(rpcPort_, 0);
    ASSERT_NE(frameworkPort_, 0);
    setenv("ZEVA_RAF_PORT", std::to_string(frameworkPort_).c_str(), 1);
    setenv("ZEV_RPC_SERVER_ADDRESS", "127.0.0.1", 1);
  }
  void TearDown() override { raf::Reset(); }

  NoNameService names_;  // callers are named by their dotted addresses
  const unsigned short rpcPort_ = FreeLoopbackPort();

 private:
  const unsigned short frameworkPort_ = FreeLoopbackPort();
};

TEST_F(FrameworkCallServing, ServesRegisteredInterfacesOnlyWhileTheMainLoopRuns) {
  OpenEchoSocket(rpcPort_);
  ASSERT_TRUE(RegisterEchoInterface());
  EXPECT_EQ(EchoUnserved(rpcPort_), rpc__s_comm_failure) << "served before the main loop";

  std::thread loop([] { tzomain(0, nullptr); });
  ASSERT_TRUE(raf::WaitForMainLoop(5000));
  EXPECT_EQ(Echo(rpcPort_), rpc__s_ok);

  // Unregistering waits for the call in progress; a later call is refused. Echo is
  // idempotent: its caller sends it again every 1.5 seconds while it waits, and those
  // copies, which reach an unregistered interface, must not be answered with a fault.
  setenv("ZEV_RPC_CALL_WAIT_MS", "6000", 1);
  rpc__status_t inProgress = ~0u;
  std::atomic<bool> unregistered{false};
  {
    EchoGate gate;
    std::thread caller([&] { inProgress = Echo(rpcPort_); });
    ASSERT_TRUE(gate.entered());
    std::thread unregister([&] {
      rpc__status_t ignored;
      rpc__unregister(&echo_v1_if_spec, &ignored);
      unregistered = true;
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(3200));  // two copies sent again
    EXPECT_FALSE(unregistered.load()) << "rpc__unregister returned while a call was in progress";
    gate.open();
    unregister.join();
    caller.join();
  }
  unsetenv("ZEV_RPC_CALL_WAIT_MS");
  EXPECT_EQ(inProgress, rpc__s_ok);
  EXPECT_EQ(Echo(rpcPort_), rpc__s_unknown_if);

  // Registered again, it is served until the loop ends, and not after.
  ASSERT_TRUE(RegisterEchoInterface());
  EXPECT_EQ(Echo(rpcPort_), rpc__s_ok);
  RAF_Shutdown(0);
  loop.join();
  EXPECT_EQ(EchoUnserved(rpcPort_), rpc__s_comm_failure);
}

TEST_F(FrameworkCallServing, ASocketOpenedWhileTheMainLoopRunsIsServedAndNothingToServeTakesNoThread) {
  std::thread([] {}).join();  // a sanitizer's own thread, if it has one, comes with the first
  const int before = Threads();
  std::thread loop([] { tzomain(0, nullptr); });
  ASSERT_TRUE(raf::WaitForMainLoop(5000));
  EXPECT_EQ(Threads(), before + 1) << "the loop's own thread watches its port and the signals";

  OpenEchoSocket(rpcPort_);
  ASSERT_TRUE(RegisterEchoInterface());
  EXPECT_EQ(Echo(rpcPort_), rpc__s_ok);
  EXPECT_EQ(Threads(), before + 3) << "a listener and the call thread of the one call";
  RAF_Shutdown(0);
  loop.join();
  EXPECT_EQ(Threads(), before);
  EXPECT_EQ(EchoUnserved(rpcPort_), rpc__s_comm_failure);
}

}  // namespace
