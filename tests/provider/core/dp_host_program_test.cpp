// The host program zevdphost: a data provider of the type named on its command
// line, shut down in order on SIGTERM or when its standard input closes (its DCH
// served by the DCH server in its host program, or by no agent at all).
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <string>

#include "dch_host_process.h"
#include "eventually.h"
#include "free_port.h"
#include "scratch_directory.h"
#include "silent_listener.h"
#include "tool_process.h"

namespace {

constexpr int kEndWaitMs = 30000;

int ExitStatus(int waitStatus) { return waitStatus != -1 && WIFEXITED(waitStatus) ? WEXITSTATUS(waitStatus) : -1; }

// Settings of a data provider without metafiles whose DCH is the host's on the port.
std::vector<std::string> Settings(const ScratchDirectory& scratch, unsigned short port) {
  return {"ZEV_PRODSPEC_PATH=" ZEV_EXAMPLES_DIR "/", "ZEV_PRODSPEC_NAME=ZEVPSF", "ZEVP_DCH_HOST=127.0.0.1",
          "ZEVA_DCH_PORT=" + std::to_string(port), "ZEVP_DPCONSOLE_PORT=" + std::to_string(FreeConsoleBase()),
          "ZEV_DP_HOSTNAME=localhost", "ZEVP_META_PATH=" + scratch.path(),
          "ZEVP_INIT_CONFIG_PATH=" + scratch.path(), "ZEV_WORK_PATH=" + scratch.path(), "ZEV_TRACE=*=0"};
}

TEST(DPhostProgramTest, EndsInOrderOnSigtermOrWhenItsInputCloses) {
  for (bool bySignal : {true, false}) {
    SCOPED_TRACE(bySignal ? "SIGTERM" : "input closed");
    ScratchDirectory scratch;
    DCHhostProcess dch;
    ASSERT_TRUE(dch.startReady()) << dch.failure();
    ToolProcess provider("zevdphost");
    ASSERT_TRUE(provider.start({"FILE"}, Settings(scratch, dch.port()))) << provider.failure();
    ASSERT_EQ(provider.readLine(5000), "started FILE");
    if (bySignal) {
      EXPECT_EQ(ExitStatus(provider.terminate(kEndWaitMs)), 0) << provider.errorText();
    } else {
      provider.closeInput();
      EXPECT_EQ(ExitStatus(provider.waitForEnd(kEndWaitMs)), 0) << provider.errorText();
    }
  }
}

// Without its agent the start waits for the DVAgent registration: with the reply
// wait set far beyond the test, a request to nobody over UDP, and one to a listener
// that takes the connection and never answers over TCP, where no wait has a limit.
// SIGTERM or the input closing ends the start there, and the data provider in order.
TEST(DPhostProgramTest, WithoutAnAnsweringAgentTheStartEndsOnSigtermOrWhenItsInputCloses) {
  for (bool silentAgent : {false, true}) {
    SCOPED_TRACE(silentAgent ? "an agent that never answers, input closed" : "no agent, SIGTERM");
    ScratchDirectory scratch;
    SilentListener listener;
    ASSERT_TRUE(listener.listening());
    std::vector<std::string> settings = Settings(scratch, silentAgent ? listener.port() : FreeLoopbackPort());
    settings = SettingsWith(settings, {"ZEVP_DCH_REPLY_WAIT=600", "ZEV_TRACE=*=0x90 >" + scratch.file("dp.trc")});
    ToolProcess provider("zevdphost");
    ASSERT_TRUE(provider.start({"FILE"}, settings)) << provider.failure();
    ASSERT_EQ(provider.readLine(5000), "started FILE");
    auto traced = [&scratch](const char* text) { return scratch.read("dp.trc").find(text) != std::string::npos; };
    ASSERT_TRUE(Eventually([&] { return traced(">>>>> Wait 1 DCH status for request"); }, kEndWaitMs))
        << "the registration is under way";
    int status;
    if (silentAgent) {
      provider.closeInput();
      status = provider.waitForEnd(kEndWaitMs);
    } else {
      status = provider.terminate(kEndWaitMs);
    }
    EXPECT_EQ(ExitStatus(status), 0) << provider.errorText();
    EXPECT_TRUE(traced("***** Data provider start-up ended: shut-down requested"));
  }
}

TEST(DPhostProgramTest, RefusedAndUnknownTypesEndAtOnce) {
  struct Case {
    std::vector<std::string> arguments;
    int status;
  } cases[] = {{{"NODP"}, 1}, {{"12"}, 1}, {{"BOGUS"}, 2}, {{}, 2}, {{"FILE", "SOCK"}, 2}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.arguments.empty() ? "none" : c.arguments[0]);
    ScratchDirectory scratch;
    EXPECT_EQ(RunTool("zevdphost", c.arguments, Settings(scratch, 9), 10000).exitStatus, c.status);
  }
}

}  // namespace
