// The host program zevdphost: a data provider of the type named on its command
// line, shut down in order on SIGTERM or when its standard input closes (its DCH
// served by the DCH server in its host program).
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <string>

#include "dch_host_process.h"
#include "scratch_directory.h"
#include "tool_process.h"

namespace {

constexpr int kEndWaitMs = 30000;

int ExitStatus(int waitStatus) { return waitStatus != -1 && WIFEXITED(waitStatus) ? WEXITSTATUS(waitStatus) : -1; }

// Settings of a data provider without metafiles whose DCH is the host's on the port.
std::vector<std::string> Settings(const ScratchDirectory& scratch, unsigned short port) {
  return {"ZEV_PRODSPEC_PATH=" ZEV_EXAMPLES_DIR "/", "ZEV_PRODSPEC_NAME=ZEVPSF", "ZEVP_DCH_HOST=127.0.0.1",
          "ZEVA_DCH_PORT=" + std::to_string(port), "ZEV_DP_HOSTNAME=localhost", "ZEVP_META_PATH=" + scratch.path(),
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
