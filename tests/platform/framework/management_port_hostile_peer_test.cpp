// The framework stand-in's management-server port (zevrafhost) under a hostile peer:
// random bytes, spoiled, cut and oversized request lines, a client that trickles its
// line a byte at a time, and a thousand connections opened and dropped. zevraf is
// answered throughout, the host's resident memory does not grow when the spells come
// again, and the host ends cleanly.
#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <string>
#include <thread>

#include "free_port.h"
#include "hostile_peer.h"
#include "proc_text.h"
#include "tool_process.h"

namespace {

constexpr unsigned kWatchdogSeconds = 240;
constexpr unsigned kSeed = 20270116;
constexpr int kWaitMs = 10000;
constexpr auto kTrickleInterval = std::chrono::milliseconds(20);
// Far less than a block per connection the spells make (some 1,050).
constexpr long kGrowthLimitKilobytes = 4 * 1024;
constexpr char kTables[] = "DEMOAPP\tDEM0000100\n";

class ManagementPortHostilePeerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    alarm(kWatchdogSeconds);
    port_ = FreeLoopbackPort();
    ASSERT_NE(port_, 0);
    ASSERT_TRUE(host_.start({"--idle-ms", std::to_string(kWaitMs)},
                            {kHostileRunSanitizerSettings, "ZEVA_RAF_PORT=" + std::to_string(port_)}))
        << host_.failure();
    ASSERT_EQ(host_.readLine(kWaitMs), "ready " + std::to_string(port_)) << host_.errorText();
  }
  void TearDown() override {
    // The host ends when its input does.
    host_.closeInput();
    int status = host_.waitForEnd(kWaitMs);
    EXPECT_TRUE(status != -1 && WIFEXITED(status) && WEXITSTATUS(status) == 0) << "wait status " << status;
    EXPECT_EQ(host_.errorText().find("Sanitizer"), std::string::npos) << host_.errorText();
    alarm(0);
  }

  void zevrafAnswers() {
    ToolRun run = RunTool("zevraf", {"-p", std::to_string(port_), "tables"});
    EXPECT_EQ(run.exitStatus, 0) << run.errors;
    EXPECT_EQ(run.output, kTables);
  }

  unsigned short port_ = 0;
  ToolProcess host_{"zevrafhost"};
};

TEST_F(ManagementPortHostilePeerTest, ZevrafIsAnsweredThroughHostileSpellsAndTheHostDoesNotGrow) {
  HostileBytes bytes(kSeed, {"tables\n", "subnodes\n", "sample\tDEMOAPP\tDEM0000100\thost1\n",
                             "sample\t-w\tDV3=1\tDEMOAPP\tDEM0000100\n", "action\thost1\tdemo\n",
                             std::string(4095, 'x') + "\n"});
  // A short spell first, so that what the host allocates once is in place.
  StreamSpell(port_, bytes, 10, 4);
  OpenAndDropConnections(port_, 50);
  zevrafAnswers();
  long before = ResidentKilobytes(host_.pid());
  EXPECT_EQ(StreamSpell(port_, bytes, 100, 4).connected, 100);
  zevrafAnswers();
  EXPECT_EQ(OpenAndDropConnections(port_, 1000), 1000);
  zevrafAnswers();
  long after = ResidentKilobytes(host_.pid());
  ASSERT_GT(before, 0);
  EXPECT_LT(after - before, kGrowthLimitKilobytes) << before << " kB before";

  // A client whose line comes a byte at a time holds no other up.
  TricklingPeer slow(port_, "tables\n");
  ASSERT_TRUE(slow.connected());
  while (slow.step()) {
    if (slow.sent() % 3 == 0) zevrafAnswers();
    std::this_thread::sleep_for(kTrickleInterval);
  }
  EXPECT_EQ(slow.sent(), 7u) << "the trickled line was cut off";
  zevrafAnswers();
}

}  // namespace
