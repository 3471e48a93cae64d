#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "framework_fixture.h"
#include "pxraf.h"
#include "raf.h"
#include "raf_status.h"

namespace {

using rafdemo::Row;

std::atomic<int> loaderCalls{0};

int countingLoader() {
  ++loaderCalls;
  return 0;
}

class MainLoop {
 public:
  MainLoop() : thread_([this] { result_ = tzomain(1, arguments_); }) {}
  ~MainLoop() {
    RAF_Shutdown(1);
    thread_.join();
  }
  int result() const { return result_; }

 private:
  char name_[9] = "zevagent";
  char* arguments_[2] = {name_, nullptr};
  std::atomic<int> result_{-1};
  std::thread thread_;
};

// No port of its own in these tests: the main loop's port has tests of its own.
class FrameworkProcessTest : public FrameworkTest {
 protected:
  void SetUp() override {
    FrameworkTest::SetUp();
    setenv("ZEVA_RAF_PORT", "x", 1);
    loaderCalls = 0;
  }
  void TearDown() override {
    unsetenv("ZEVA_RAF_PORT");
    FrameworkTest::TearDown();
  }
};

TEST_F(FrameworkProcessTest, TheMainLoopCallsTheLoaderOnceAndRunsUntilShutDown) {
  RAF_RegisterAgentLoader(countingLoader);
  {
    MainLoop loop;
    ASSERT_TRUE(raf::WaitForMainLoop(5000));
    EXPECT_EQ(loaderCalls.load(), 1);
    EXPECT_EQ(raf::ServerPort(), 0) << "ZEVA_RAF_PORT names no port";
    char name[] = "zevagent";
    char* arguments[] = {name, nullptr};
    EXPECT_EQ(tzomain(1, arguments), 1) << "one main loop at a time";
  }
  EXPECT_EQ(RAF_Shutdown(1), 0) << "a second shut-down does nothing";
  char name[] = "zevagent";
  char* arguments[] = {name, nullptr};
  EXPECT_EQ(tzomain(1, arguments), 0) << "after the shut-down the main loop returns at once";
  EXPECT_EQ(loaderCalls.load(), 1);
}

// The process's own termination signals end the loop, and afterwards the signals are
// handled as before the loop ran.
TEST_F(FrameworkProcessTest, ATerminationSignalEndsTheMainLoopAndLeavesTheSignalsAsTheyWere) {
  for (int signalNumber : {SIGTERM, SIGINT}) {
    SCOPED_TRACE(signalNumber);
    struct sigaction before {};
    sigaction(signalNumber, nullptr, &before);
    std::atomic<int> result{-1};
    std::thread loop([&result] {
      char name[] = "zevagent";
      char* arguments[] = {name, nullptr};
      result = tzomain(1, arguments);
    });
    ASSERT_TRUE(raf::WaitForMainLoop(5000));
    ASSERT_EQ(kill(getpid(), signalNumber), 0);
    loop.join();
    EXPECT_EQ(result.load(), 0);
    struct sigaction after {};
    sigaction(signalNumber, nullptr, &after);
    EXPECT_EQ(after.sa_handler, before.sa_handler);
  }
}

TEST_F(FrameworkProcessTest, ManagersRegisterBeforeTheMainLoopRuns) {
  rafdemo::DemoManager early(rafdemo::kApplication, "DEM0000300");
  ASSERT_EQ(early.RegisterWithManager(), 0);
  MainLoop loop;
  ASSERT_TRUE(raf::WaitForMainLoop(5000));
  raf::RequestSpec spec = demoSpec();
  spec.table = "DEM0000300";
  EXPECT_NE(raf::OpenRequest(spec), 0u);
  early.Shutdown(0);
}

TEST_F(FrameworkProcessTest, SubnodesAreRegisteredDeregisteredAndDeleted) {
  EXPECT_EQ(RAF_Subnode_Register("src:APPL00", "AFF", "APPL", "03.00.00"), 0);
  EXPECT_EQ(RAF_Subnode_Register("src2:APPL00", "AFF", "APPL", "03.00.00"), 0);
  EXPECT_EQ(RAF_Subnode_Register("src:APPL00", "AFF", "APPL", "03.01.00"), 0) << "again: updated";
  EXPECT_EQ(RAF_Subnode_SendRequest(), 0);
  EXPECT_EQ(RAF_Subnode_Register(std::string(33, 'n').c_str(), "AFF", "APPL", "03.00.00"), RAF_SUBNODE_FAILED);
  EXPECT_EQ(RAF_Subnode_Register("", "AFF", "APPL", "03.00.00"), RAF_SUBNODE_FAILED);
  EXPECT_EQ(RAF_Subnode_Register(std::string(32, 'n').c_str(), "AFF", "APPL", "03.00.00"), 0);
  EXPECT_EQ(RAF_Subnode_Deregister("src2:APPL00"), 0);
  EXPECT_EQ(RAF_Subnode_Deregister("src2:APPL00"), RAF_SUBNODE_FAILED) << "offline already";
  EXPECT_EQ(RAF_Subnode_Deregister("nosuch"), RAF_SUBNODE_FAILED);
  std::vector<raf::Subnode> subnodes = raf::Subnodes();
  ASSERT_EQ(subnodes.size(), 3u);
  EXPECT_EQ(subnodes[0].name, "src:APPL00");
  EXPECT_EQ(subnodes[0].version, "03.01.00");
  EXPECT_TRUE(subnodes[0].online);
  EXPECT_FALSE(subnodes[1].online);
  EXPECT_EQ(RAF_Subnode_Delete("src2:APPL00"), 0);
  EXPECT_EQ(RAF_Subnode_Delete("src2:APPL00"), RAF_SUBNODE_FAILED);
  EXPECT_EQ(raf::Subnodes().size(), 2u);
}

TEST_F(FrameworkProcessTest, InjectedSubnodeFailuresAnswerTheirFailureCodesOnce) {
  raf::InjectFailure(raf::Failure::SubnodeRegister);
  raf::InjectFailure(raf::Failure::SubnodeSendRequest);
  EXPECT_EQ(RAF_Subnode_Register("src:APPL00", "AFF", "APPL", "03.00.00"), RAF_SUBNODE_FAILED);
  EXPECT_TRUE(raf::Subnodes().empty());
  EXPECT_EQ(RAF_Subnode_SendRequest(), RAF_SEND_FAILED);
  EXPECT_EQ(RAF_Subnode_Register("src:APPL00", "AFF", "APPL", "03.00.00"), 0);
  EXPECT_EQ(RAF_Subnode_SendRequest(), 0);
  raf::InjectFailure(raf::Failure::SubnodeDeregister);
  raf::InjectFailure(raf::Failure::SubnodeDelete);
  EXPECT_EQ(RAF_Subnode_Deregister("src:APPL00"), RAF_SUBNODE_FAILED);
  EXPECT_EQ(RAF_Subnode_Delete("src:APPL00"), RAF_SUBNODE_FAILED);
  EXPECT_TRUE(raf::Subnodes().at(0).online);
}

TEST_F(FrameworkProcessTest, TheFrameworkKeepsTheIdentityMessagesAndLogEntriesItIsGiven) {
  RAF_SetNodeType("DV");
  RAF_SetAffinity("AFFINITY");
  RAF_SetProduct("EV", "03.50.00");
  RAF_RegisterAgentLoader(countingLoader);
  RAF_RegisterCommandCallback("*", rafdemo::DemoCommand);
  raf::Identity identity = raf::CurrentIdentity();
  EXPECT_EQ(identity.nodeType, "DV");
  EXPECT_EQ(identity.affinity, "AFFINITY");
  EXPECT_EQ(identity.productCode, "EV");
  EXPECT_EQ(identity.version, "03.50.00");
  EXPECT_TRUE(identity.agentLoader);
  EXPECT_EQ(identity.commandPatterns, std::vector<std::string>{"*"});
  EXPECT_EQ(PXRAF_insert_log("DVACTION", "7 owner node STATUS=ok name parms", "DV"), 0);
  PXRAF_insert_log(nullptr, nullptr, nullptr);
  std::vector<raf::LogEntry> log = raf::TakeOperationsLog();
  ASSERT_EQ(log.size(), 2u);
  EXPECT_EQ(log[0].recordType, "DVACTION");
  EXPECT_EQ(log[0].text, "7 owner node STATUS=ok name parms");
  EXPECT_EQ(log[0].productCode, "DV");
  EXPECT_EQ(log[1].text, "");
  EXPECT_TRUE(raf::TakeOperationsLog().empty());
  RAF_CreateMessage("W", "SYS", "disk full", 0);
  EXPECT_EQ(raf::TakeConsoleMessages().at(0).text, "disk full");
  raf::Reset();
  identity = raf::CurrentIdentity();
  EXPECT_EQ(identity.nodeType, "");
  EXPECT_FALSE(identity.agentLoader);
}

TEST_F(FrameworkProcessTest, ASituationsCommandRunsThroughTheCallbackWithItsFiringRow) {
  RAF_RegisterCommandCallback("*", rafdemo::DemoCommand);
  raf::RequestSpec spec = demoSpec({"host1"});
  spec.situation = "Disk_Full";
  spec.sampleType = IntfSampleType_exception;
  uint32_t handle = raf::OpenRequest(spec);
  std::string first = Row("host1", "a", 1, 1);
  std::string second = Row("host2", "b", 2, 2);
  raf::CommandOutcome outcome = raf::FireCommand(handle, "RESULT 3 'RESTART' -f", {first, second}, 1);
  EXPECT_TRUE(outcome.ran);
  EXPECT_EQ(outcome.returned, 3);
  EXPECT_EQ(outcome.results, 3);
  EXPECT_TRUE(outcome.finished);
  std::vector<rafdemo::SeenCommand> seen = rafdemo::TakeSeenCommands();
  ASSERT_EQ(seen.size(), 1u);
  EXPECT_EQ(seen[0].command, "RESULT 3 'RESTART' -f");
  EXPECT_EQ(seen[0].situation, "Disk_Full");
  EXPECT_EQ(seen[0].firingRow, second);
  EXPECT_EQ(seen[0].automation, 0);
  raf::CloseRequest(handle);
  EXPECT_FALSE(raf::FireCommand(handle, "RESULT 1", {}, 0).ran);
}

TEST_F(FrameworkProcessTest, APolicysCommandGoesToItsSubnodesThroughThePolicyTable) {
  raf::CommandOutcome outcome = raf::FirePolicyCommand({"host1"}, "LOG disk full");
  EXPECT_TRUE(outcome.ran);
  EXPECT_EQ(outcome.returned, RAF_STATUS_NO_CALLBACK);
  RAF_RegisterCommandCallback("*", rafdemo::DemoCommand);
  outcome = raf::FirePolicyCommand({"host1", "host2"}, "RESULT 9 NAME=P1 rest");
  EXPECT_EQ(outcome.returned, 9);
  EXPECT_TRUE(outcome.finished);
  std::vector<rafdemo::SeenCommand> seen = rafdemo::TakeSeenCommands();
  ASSERT_EQ(seen.size(), 1u);
  EXPECT_EQ(seen[0].table, "CLACTRMT");
  EXPECT_EQ(seen[0].subnodes, (std::vector<std::string>{"host1", "host2"}));
  EXPECT_EQ(seen[0].automation, 1);
  EXPECT_EQ(seen[0].firingRow, "");
}

}  // namespace
