// DV_Main in a process of its own (a child of the test, since start-up reads its settings
// once per process): the end of an agent whose framework thread cannot start.
#include "dv_main.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <string>

#include "agent_process.h"
#include "free_port.h"
#include "run_in_child.h"
#include "scratch_directory.h"
#include "trace_capture.h"
#include "zev0/threads.h"

namespace {

constexpr unsigned kWatchdogSeconds = 60;

// Every thread starts but the framework's.
class RefusedFrameworkThread : public zev0::ThreadStarter {
 public:
  RefusedFrameworkThread() : previous_(zev0::SetThreadStarter(this)) {}
  ~RefusedFrameworkThread() override { zev0::SetThreadStarter(previous_); }
  int start(pthread_t* threadId, const pthread_attr_t* attributes, void* (*startRoutine)(void*),
            void* argument) override {
    if (startRoutine == startRAF) return EAGAIN;
    return pthread_create(threadId, attributes, startRoutine, argument);
  }

 private:
  zev0::ThreadStarter* previous_;
};

// A data provider with no framework to serve would run on: the agent ends it and returns.
TEST(DVMainTest, WithoutItsFrameworkThreadTheAgentEndsItsDataProviderAndReturns) {
  ProdSpecDirectory product;
  product.write(AgentProcess::DefaultProduct());
  ScratchDirectory work("zev_dv_main");
  RunInChild([&] {
    alarm(kWatchdogSeconds);
    product.use();
    setenv("ZEV_WORK_PATH", work.path().c_str(), 1);
    setenv("ZEVP_META_PATH", work.path().c_str(), 1);
    setenv("ZEVA_DCH_PORT", std::to_string(FreeLoopbackPort()).c_str(), 1);
    setenv("ZEVA_RAF_PORT", std::to_string(FreeLoopbackPort()).c_str(), 1);
    setenv("ZEVP_DPCONSOLE_PORT", std::to_string(FreeConsoleBase()).c_str(), 1);
    setenv("ZEVA_DCH_ADDR", "127.0.0.1", 1);
    setenv("QFEB0_HOSTNAME", "localhost", 1);
    TraceCapture trace("*=0x90");
    RefusedFrameworkThread refused;
    char program[] = "zeva350";
    char file[] = "FILE";
    char* arguments[] = {program, file, nullptr};
    DV_Main(2, arguments);
    EXPECT_TRUE(trace.contains("Error: startRAF thread failed creation")) << trace.take();
    EXPECT_TRUE(trace.contains("Thread for DP <FILE> completed."));
    EXPECT_FALSE(trace.contains("startup complete."));
  });
}

}  // namespace
