// The console port as the lock of one data provider of a type on a host, with data
// providers in processes of their own (the host program zevdphost) on a console
// base of the test's, their DCH served by the DCH server in its host program.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "console_client.h"
#include "dch_host_process.h"
#include "eventually.h"
#include "free_port.h"
#include "scratch_directory.h"
#include "tool_process.h"

namespace {

// How long one GETPORT of the wait for a console is given.
constexpr int kDiscoveryTryMs = 1500;
constexpr int kReplyWaitMs = 5000;
constexpr int kEndWaitMs = 30000;
constexpr char kAlreadyActive[] = "ZEVPV89E Same type DP is already active in the system. DP startup ended.";

int ExitStatus(int waitStatus) { return waitStatus != -1 && WIFEXITED(waitStatus) ? WEXITSTATUS(waitStatus) : -1; }

class ConsoleProgramTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(dch_.startReady()) << dch_.failure();
    scratch_.write("ZEVPCNFG", "* no metafiles\n");
  }

  // A data provider of the type on the test's console base.
  std::unique_ptr<ToolProcess> start(const char* type, const std::vector<std::string>& settings = {}) {
    auto provider = std::make_unique<ToolProcess>("zevdphost");
    std::vector<std::string> all = {"ZEV_PRODSPEC_PATH=" ZEV_EXAMPLES_DIR "/", "ZEV_PRODSPEC_NAME=ZEVPSF",
                                    "ZEVP_DCH_HOST=127.0.0.1", "ZEVA_DCH_PORT=" + std::to_string(dch_.port()),
                                    "ZEVP_DPCONSOLE_PORT=" + std::to_string(base_), "ZEV_DP_HOSTNAME=localhost",
                                    "ZEVP_META_PATH=" + scratch_.path(), "ZEVP_INIT_CONFIG_PATH=" + scratch_.path(),
                                    "ZEV_WORK_PATH=" + scratch_.path(),
                                    "ZEV_TRACE=*=0x80 >" + traces_.file(std::to_string(++started_) + ".trc")};
    EXPECT_TRUE(provider->start({type}, SettingsWith(all, settings))) << provider->failure();
    return provider;
  }
  // The lines a data provider printed until it ended, in either order: the host
  // program's "started" line and the data provider's own may come first.
  static std::vector<std::string> SortedOutput(ToolProcess& provider) {
    std::vector<std::string> lines;
    std::string all = provider.readAll(kEndWaitMs);
    for (size_t from = 0, end; (end = all.find('\n', from)) != std::string::npos; from = end + 1)
      lines.push_back(all.substr(from, end - from));
    std::sort(lines.begin(), lines.end());
    return lines;
  }
  // Waits until the console on the port answers GETPORT; its reply.
  std::string waitForConsole(unsigned short port) {
    // A client of its own, which takes the late answers (and busy ones) to its tries with
    // it. A try waits longer than the console's pause after each command, so that tries
    // do not queue up behind each other.
    ConsoleClient discovery;
    std::string reply;
    Eventually([&] { return (reply = discovery.exchange(port, "GETPORT", kDiscoveryTryMs)).rfind("0 ", 0) == 0; },
               kEndWaitMs);
    return reply;
  }
  // The trace of the data provider started n-th.
  std::string trace(int n) const { return traces_.read(std::to_string(n) + ".trc"); }

  DCHhostProcess dch_;
  ScratchDirectory scratch_;  // metafile directory and start-up configuration
  ScratchDirectory traces_;
  unsigned short base_ = FreeConsoleBase();
  int started_ = 0;
  ConsoleClient client_;
};

// A second data provider of a type that runs already, and one of a type whose port
// an ASFS data provider holds, end at once with ZEVPV89E; so does one whose console
// transport is RPC, without a message.
TEST_F(ConsoleProgramTest, OnlyOneDataProviderOfATypeRunsOnTheHost) {
  std::unique_ptr<ToolProcess> file = start("FILE");
  ASSERT_EQ(waitForConsole(base_ + 1), "0 1 " + std::to_string(base_ + 1));
  std::unique_ptr<ToolProcess> second = start("FILE");
  EXPECT_EQ(SortedOutput(*second), (std::vector<std::string>{kAlreadyActive, "started FILE"}));
  EXPECT_EQ(ExitStatus(second->waitForEnd(kEndWaitMs)), 0) << second->errorText();
  std::string trace = this->trace(2);
  EXPECT_NE(trace.find("***** Same Type DP <FILE> already running on this system."), std::string::npos) << trace;
  EXPECT_EQ(trace.find("DCH"), std::string::npos) << "no thread started: " << trace;
  file.reset();  // killed: how a data provider ends is shown elsewhere

  std::unique_ptr<ToolProcess> asfs = start("ASFS");
  ASSERT_EQ(waitForConsole(base_ + 3), "0 3 " + std::to_string(base_ + 3));
  std::unique_ptr<ToolProcess> held = start("FILE");
  EXPECT_EQ(SortedOutput(*held), (std::vector<std::string>{kAlreadyActive, "started FILE"}));
  EXPECT_EQ(ExitStatus(held->waitForEnd(kEndWaitMs)), 0);

  std::unique_ptr<ToolProcess> rpc = start("SOCK", {"ZEVP_DP_TRANSPORT=rpc"});
  EXPECT_EQ(SortedOutput(*rpc), std::vector<std::string>{"started SOCK"}) << "refused without a message";
  EXPECT_EQ(ExitStatus(rpc->waitForEnd(kEndWaitMs)), 0);
  EXPECT_EQ(client_.exchange(base_ + 2, "LIST", 300), "") << "no console on the SOCK port";
}

// An ASFS data provider also answers on the API port, where the client API library
// sends its control verbs; GETPORT there gets no answer.
TEST_F(ConsoleProgramTest, AnASFSDataProviderAnswersOnTheAPIPortButNotGetPort) {
  std::unique_ptr<ToolProcess> asfs = start("ASFS");
  ASSERT_EQ(waitForConsole(base_ + 3), "0 3 " + std::to_string(base_ + 3));
  EXPECT_EQ(client_.exchange(base_, "LIST", kReplyWaitMs), "0 ZEV ");
  EXPECT_EQ(client_.exchange(base_, "GETPORT", 500), "");
  EXPECT_EQ(client_.exchange(base_, "PING", kReplyWaitMs).substr(0, 2), "0 ") << "the start time stamp";
}

}  // namespace
