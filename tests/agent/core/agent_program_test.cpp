// The agent program zeva350 from start-up to its end: what it starts, how it ends.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "agent_process.h"
#include "free_port.h"

namespace {

constexpr int kStartWaitMs = 10000;
constexpr int kEndWaitMs = 10000;
constexpr char kStartupComplete[] = "Dorvane_Agent startup complete.";

void ExpectCleanEnd(AgentProcess& agent, int exitStatus) {
  EXPECT_EQ(exitStatus, 0) << agent.errorText();
  std::string trace = agent.traceText();
  size_t inProgress = trace.find("Dorvane Agent shutdown in progress");
  EXPECT_NE(inProgress, std::string::npos) << trace;
  EXPECT_NE(trace.find("Dorvane Agent shutdown complete", inProgress), std::string::npos);
  EXPECT_EQ(agent.errorText().find("Sanitizer"), std::string::npos) << agent.errorText();
}

// Without data providers the agent runs until the framework's main loop ends: here, on
// SIGTERM. Both its ports are free again afterwards.
TEST(AgentProgramTest, WithoutDataProvidersTheAgentServesUntilItIsTerminated) {
  AgentProcess agent;
  ASSERT_TRUE(agent.start({"NODP"})) << agent.failure();
  ASSERT_TRUE(agent.waitForTrace(kStartupComplete, kStartWaitMs)) << agent.traceText() << agent.errorText();
  ASSERT_TRUE(agent.waitForTrace("The framework listens", kStartWaitMs));
  ToolRun tables = agent.zevraf({"tables"});
  EXPECT_EQ(tables.exitStatus, 0) << tables.errors;
  ToolRun action = agent.zevraf({"action", "nobody:APP00", "'RESTART'"});
  EXPECT_EQ(action.exitStatus, 1);
  EXPECT_NE(action.errors.find("unknown subnode <nobody:APP00>"), std::string::npos) << action.errors;

  ExpectCleanEnd(agent, agent.terminate(kEndWaitMs));
  EXPECT_TRUE(agent.traceText().find("Waiting for startRAF thread to complete.") != std::string::npos);
  EXPECT_TRUE(LoopbackPortIsFree(agent.dchPort()));
  EXPECT_TRUE(LoopbackPortIsFree(agent.rafPort()));
}

TEST(AgentProgramTest, AnInvalidArgumentStartsNoDataProviderAndTheAgentWaitsForTheFramework) {
  AgentProcess agent;
  ASSERT_TRUE(agent.start({"xyz"})) << agent.failure();
  ASSERT_TRUE(agent.waitForTrace(kStartupComplete, kStartWaitMs)) << agent.traceText();
  EXPECT_EQ(agent.waitForExit(500), -1) << "still running";
  std::string trace = agent.traceText();
  EXPECT_NE(trace.find("Error: DV Argument 1 of <XYZ> is invalid."), std::string::npos);
  EXPECT_NE(trace.find("Waiting for startRAF thread to complete."), std::string::npos);
  ExpectCleanEnd(agent, agent.terminate(kEndWaitMs));
}

// A data provider that cannot run here ends at once, and the agent with it.
TEST(AgentProgramTest, TheAgentEndsWhenItsDataProvidersHaveEnded) {
  const struct {
    const char* argument;
    const char* traced;
  } cases[] = {
      {"APPC", "DP <APPC> did not start. No waiting."},
      {"SNMP", "Thread for DP <SNMP> completed."},
  };
  for (const auto& end : cases) {
    SCOPED_TRACE(end.argument);
    AgentProcess agent;
    ASSERT_TRUE(agent.start({end.argument})) << agent.failure();
    ExpectCleanEnd(agent, agent.waitForExit(kEndWaitMs));
    EXPECT_NE(agent.traceText().find(end.traced), std::string::npos) << agent.traceText();
  }
}

TEST(AgentProgramTest, TheClientProcessIsStartedFromTheSearchPath) {
  AgentProcess agent;
  const std::string marker = agent.directory() + "dpstub.marker";
  const char* tools = std::getenv("ZEV_TEST_TOOLS");
  ASSERT_NE(tools, nullptr);
  ASSERT_TRUE(agent.start({"APPC"}, {"ZEVA_CLIENT_PROCESS=zevdpstub", "ZEV_TEST_DPSTUB_MARKER=" + marker,
                                     "PATH=" + std::string(tools) + ":/usr/bin:/bin"}))
      << agent.failure();
  ExpectCleanEnd(agent, agent.waitForExit(kEndWaitMs));
  EXPECT_TRUE(agent.waitForTrace("Process <zevdpstub> successfully started", 0));
  std::string ranAs;
  for (int waited = 0; waited < 100 && ranAs.empty(); ++waited) {
    std::ifstream in(marker);
    std::getline(in, ranAs);
    if (ranAs.empty()) usleep(50000);
  }
  EXPECT_EQ(ranAs, "zevdpstub");
}

// A packaged product (a code of its own) starts the data providers its specification
// lists, whatever the arguments say.
std::vector<std::string> PackagedProduct(const std::string& dpToStart) {
  return {"PRODUCT_CODE=XY",        "NODE_TYPE=XY",         "PRODUCT_NAME=Packaged",
          "AGENT_AFF_NAME=AFF_DORVANE",  "SUBNODE_AFF_NAME=AFF_DORVANE_DATA", "DP_TO_START=" + dpToStart,
          "DCH_PORT_NUMBER=1919",   "DP_PORT_OFFSET=0",      "INITCNFG_FILE_NAME=XYCNFG",
          "ZEVATBLS_FILE_NAME=XYTBLS"};
}

TEST(AgentProgramTest, APackagedProductStartsTheDataProvidersItsSpecificationLists) {
  AgentProcess agent(PackagedProduct("SNMP"));
  ASSERT_TRUE(agent.start({"NODP"})) << agent.failure();
  EXPECT_EQ(agent.waitForExit(kEndWaitMs), 0) << agent.traceText();
  EXPECT_NE(agent.traceText().find("Thread for DP <SNMP> completed."), std::string::npos) << agent.traceText();
}

TEST(AgentProgramTest, AMissingProductSpecificationOrListOfDataProvidersEndsTheAgentWithExitCodeOne) {
  const struct {
    const char* title;
    std::vector<std::string> product;
    const char* fileName;  // null: the one written
    const char* traced;
  } cases[] = {
      {"no file", AgentProcess::DefaultProduct(), "NOSUCHFILE",
       "Error: Initialization of Product Specification File failed."},
      {"no data provider listed", PackagedProduct("NONE"), nullptr, "Error: ZEV0_QueryProductSpec(ZEV2_DP_TO_START)"},
  };
  for (const auto& missing : cases) {
    SCOPED_TRACE(missing.title);
    AgentProcess agent(missing.product);
    std::vector<std::string> settings;
    if (missing.fileName != nullptr) settings.push_back(std::string("ZEV_PRODSPEC_NAME=") + missing.fileName);
    ASSERT_TRUE(agent.start({"NODP"}, settings)) << agent.failure();
    EXPECT_EQ(agent.waitForExit(kEndWaitMs), 1);
    EXPECT_NE(agent.traceText().find(missing.traced), std::string::npos) << agent.traceText();
  }
}

}  // namespace
