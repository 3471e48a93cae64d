// The agent program zeva350 from start-up to its end: what it starts, how it ends.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "agent_process.h"
#include "eventually.h"
#include "free_port.h"
#include "network_namespace.h"
#include "raw_action_requests.h"
#include "raw_dch_peer.h"
#include "silent_listener.h"

namespace {

constexpr int kStartWaitMs = 10000;
constexpr int kEndWaitMs = 10000;
// A data provider looks at its threads every five seconds while it ends.
constexpr int kFileEndWaitMs = 30000;
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

// A data provider of the test's making: it registers an application over the DCH, puts a
// source online and sends rows; the agent makes it a subnode with a table that the
// management server samples, and routes the server's actions to it.
TEST(AgentProgramTest, ADataProvidersSourceBecomesASubnodeWhoseRowsAreSampledAndWhichTakesActions) {
  using namespace rawdch;
  AgentProcess agent;
  ASSERT_TRUE(agent.start({"NODP"})) << agent.failure();
  ASSERT_TRUE(agent.waitForTrace(kStartupComplete, kStartWaitMs)) << agent.traceText() << agent.errorText();
  ASSERT_TRUE(agent.waitForTrace("Waiting for DP status change.", kStartWaitMs));

  TcpPeer provider(agent.dchPort());
  ASSERT_TRUE(provider.connected());
  StatusReply registered = provider.exchange(
      RegisterRequest("NODEAPP", "an application", {{"GRP1", "a group", 'P', 300, "Name,D,8, ,the name;Count,C,4, ,a count;"}}),
      kStartWaitMs);
  ASSERT_TRUE(registered.valid);
  ASSERT_EQ(registered.status, 0);
  StatusReply online = provider.exchange(OnlineRequest("NODEAPP", "GRP1", "srcA"), kStartWaitMs);
  ASSERT_TRUE(online.valid && online.hasHandle);
  const std::string subnode = "srcA:NODEAPP00";

  std::vector<std::string> subnodes;
  EXPECT_TRUE(Eventually([&] { return !(subnodes = LinesWith(agent.zevraf({"subnodes"}), subnode)).empty(); },
                         kStartWaitMs))
      << agent.traceText();
  ASSERT_EQ(subnodes.size(), 1u);
  // The affinity: the product's 32-character subnode affinity code and the feature code.
  const std::string affinity = subnodes[0].substr(subnode.size() + 1, 43);
  EXPECT_EQ(affinity.substr(32), "00000000071");
  EXPECT_EQ(subnodes[0], subnode + "\t" + affinity + "\tNODEAPP\t03.00.00");
  std::vector<std::string> tables = LinesWith(agent.zevraf({"tables"}), "NODEAPP00\t");
  ASSERT_EQ(tables.size(), 1u) << agent.zevraf({"tables"}).output;
  const std::string table = tables[0].substr(tables[0].find('\t') + 1);

  for (uint32_t count : {5u, 6u}) {
    Message row = DataRequest(online.handle, 0x11);
    row.text(kAttrName, "Name").text(kAttrValue, "first").text(kAttrName, "Count").u32(kAttrValue, count);
    StatusReply sent = provider.exchange(row.bytes(), kStartWaitMs);
    ASSERT_TRUE(sent.valid);
    ASSERT_EQ(sent.status, 0);
  }
  std::vector<std::string> rows;
  EXPECT_TRUE(Eventually(
      [&] { return !(rows = LinesWith(agent.zevraf({"sample", "NODEAPP00", table}), "\tfirst\t6")).empty(); },
      kStartWaitMs));
  ASSERT_EQ(rows.size(), 1u);
  EXPECT_EQ(rows[0].substr(0, subnode.size() + 1), subnode + "\t") << "the origin node is the subnode";

  TcpPeer parked(agent.dchPort());
  StatusReply waiting = parked.exchange(WaitForActionRequest(1, "srcA"), kStartWaitMs);
  ASSERT_TRUE(waiting.valid);
  ASSERT_EQ(waiting.status, 0);
  ToolRun action = agent.zevraf({"action", subnode, "'RESTART'", "-f", "now"});
  EXPECT_EQ(action.exitStatus, 0) << action.errors;
  EXPECT_EQ(action.output, "0\n");
  ActionMessage received = ReadActionMessage(parked.receive(kStartWaitMs));
  ASSERT_TRUE(received.valid);
  EXPECT_EQ(received.actionType, 1);
  EXPECT_EQ(received.name, "\"RESTART\"");
  EXPECT_TRUE(received.hasParms);
  EXPECT_EQ(received.parms, "-f now");
  EXPECT_EQ(received.owner, "_POLNAME_");
  EXPECT_EQ(received.node, subnode);

  ExpectCleanEnd(agent, agent.terminate(kEndWaitMs));
  EXPECT_TRUE(LoopbackPortIsFree(agent.dchPort()));
  EXPECT_TRUE(LoopbackPortIsFree(agent.rafPort()));
}

// The FILE data provider in the agent: a metafile named by the start-up configuration
// watches a file whose appended lines come back as the rows of its table.
TEST(AgentProgramTest, LinesAppendedToAWatchedFileAreSampledFromItsTable) {
  AgentProcess agent;
  const std::string watched = agent.directory() + "counts.txt";
  {
    std::ofstream metafile(agent.directory() + "counts.mdl");
    metafile << "//APPL COUNTS @Counts of a test\n"
             << "//NAME TALLY P 5 @One line a tally\n"
             << "//SOURCE FILE " << watched << "\n"
             << "//ATTRIBUTES ' '\n"
             << "Label D 12 @What is counted\n"
             << "Tally C 100000 @How many\n";
    std::ofstream(agent.directory() + "ZEVPCNFG") << "counts.mdl\n";
    std::ofstream(watched) << "apples 6\n";  // a file that is there and not empty
  }
  ASSERT_TRUE(agent.start({"FILE"}, {"ZEVP_META_PATH=" + agent.directory()})) << agent.failure();
  ASSERT_TRUE(agent.waitForTrace(kStartupComplete, kStartWaitMs)) << agent.traceText() << agent.errorText();
  std::string table;
  ASSERT_TRUE(Eventually(
      [&] {
        std::vector<std::string> tables = LinesWith(agent.zevraf({"tables"}), "COUNTS00\t");
        if (!tables.empty()) table = tables[0].substr(tables[0].find('\t') + 1);
        return !tables.empty() && !LinesWith(agent.zevraf({"subnodes"}), ":COUNTS00\t").empty();
      },
      kStartWaitMs))
      << agent.traceText();

  // Reading starts at the file's end once it is watched: lines go in until one comes back.
  int warmUp = 0;
  ASSERT_TRUE(Eventually(
      [&] {
        std::ofstream(watched, std::ios::app) << "pears " << ++warmUp << "\n";
        return !LinesWith(agent.zevraf({"sample", "COUNTS00", table}), "\tpears\t").empty();
      },
      kStartWaitMs));
  for (int tally : {7, 8}) {
    std::ofstream(watched, std::ios::app) << "apples " << tally << "\n";
    std::vector<std::string> rows;
    EXPECT_TRUE(Eventually(
        [&] {
          return !(rows = LinesWith(agent.zevraf({"sample", "COUNTS00", table}), "\tapples\t" + std::to_string(tally)))
                      .empty();
        },
        kStartWaitMs))
        << agent.zevraf({"sample", "COUNTS00", table}).output;
  }
  ExpectCleanEnd(agent, agent.terminate(kFileEndWaitMs));
  EXPECT_NE(agent.traceText().find("Thread for DP <FILE> completed."), std::string::npos);
}

// The HTTP data provider in the agent: its application Internet becomes a subnode with
// the tables Managed_URL and URL_Objects; SIGTERM ends it in order.
TEST(AgentProgramTest, TheHTTPDataProvidersInternetApplicationIsASubnodeWithItsTwoTables) {
  AgentProcess agent;
  std::ofstream(agent.directory() + "ZEVPURLS") << "shop.example/index.html INTERVAL=120 USER=ops\n";
  ASSERT_TRUE(agent.start({"HTTP"})) << agent.failure();
  ASSERT_TRUE(agent.waitForTrace(kStartupComplete, kStartWaitMs)) << agent.traceText() << agent.errorText();
  std::vector<std::string> tables;
  ASSERT_TRUE(Eventually(
      [&] {
        tables = LinesWith(agent.zevraf({"tables"}), "INTERNET00\t");
        return tables.size() == 2 && !LinesWith(agent.zevraf({"subnodes"}), ":INTERNET00\t").empty();
      },
      kStartWaitMs))
      << agent.traceText();
  // Each table's sample begins with its columns: the origin node, then the attributes.
  std::vector<std::string> columns;
  for (const std::string& table : tables) {
    std::string sample = agent.zevraf({"sample", "INTERNET00", table.substr(table.find('\t') + 1)}).output;
    columns.push_back(sample.substr(0, sample.find('\n')));
  }
  std::sort(columns.begin(), columns.end());
  EXPECT_EQ(columns, (std::vector<std::string>{
                         "ORIGINNODE\tURL\tObject_Name\tObject_Size",
                         "ORIGINNODE\tURL\tStatus\tStatus_Timestamp\tPage_Title\tPage_Size\tCurrent_Response_Time\t"
                         "Maximum_Response_Time\tAverage_Response_Time\tPage_Objects\tTotal_Object_Size\tUser_Name\t"
                         "URL_Alias\tISP_Name\tServer_Type\tTotal_Samples_Taken\tStatus_Interval\tHTTP_Version",
                     }));
  std::vector<std::string> subnodes = LinesWith(agent.zevraf({"subnodes"}), ":INTERNET00\t");
  ASSERT_EQ(subnodes.size(), 1u);
  EXPECT_NE(subnodes[0].find("\tINTERNET\t"), std::string::npos) << subnodes[0];

  ExpectCleanEnd(agent, agent.terminate(kFileEndWaitMs));
  EXPECT_NE(agent.traceText().find("Thread for DP <HTTP> completed."), std::string::npos);
}

// SIGTERM while its data provider's start still waits for a DCH that does not answer
// (the data provider looks for it on another loopback address, with a reply wait far
// beyond the test): the start ends there, and the agent in order.
TEST(AgentProgramTest, SigtermWhileItsDataProviderWaitsForAnUnansweredDCHEndsTheAgentInOrder) {
  AgentProcess agent;
  ASSERT_TRUE(agent.start({"FILE"}, {"ZEVP_DCH_HOST=127.0.0.2", "ZEVP_DCH_REPLY_WAIT=600"})) << agent.failure();
  ASSERT_TRUE(agent.waitForTrace("The framework listens", kStartWaitMs)) << agent.traceText() << agent.errorText();
  ASSERT_TRUE(agent.waitForTrace(">>>>> Wait 1 DCH status for request", kStartWaitMs)) << agent.traceText();
  ExpectCleanEnd(agent, agent.terminate(kFileEndWaitMs));
  std::string trace = agent.traceText();
  EXPECT_NE(trace.find("***** Data provider start-up ended: shut-down requested"), std::string::npos);
  EXPECT_NE(trace.find("Thread for DP <FILE> completed."), std::string::npos);
}

// Another process holds the agent's DCH port: the agent's DCH server cannot start, and
// the agent ends at once, before any data provider, with exit code 1 and the reason.
TEST(AgentProgramTest, ADCHportTakenByAnotherProcessEndsTheAgentWithExitCodeOne) {
  AgentProcess agent;
  SilentListener other(agent.dchPort());
  ASSERT_TRUE(other.listening());
  ASSERT_TRUE(agent.start({"FILE"})) << agent.failure();
  EXPECT_EQ(agent.waitForExit(kEndWaitMs), 1) << agent.traceText();
  std::string trace = agent.traceText();
  EXPECT_NE(trace.find("Error: Could not open TCP/UDP sockets bound to Dorvane_Agent DCH port " +
                       std::to_string(agent.dchPort())),
            std::string::npos)
      << trace;
  EXPECT_EQ(trace.find("Starting DP thread"), std::string::npos);
}

// A local host name that is an address of the host (QFEB0_HOSTNAME): every socket of
// the agent is bound to it, and so is its DCH, where its data provider's source
// becomes a subnode. A DCH address beside it (ZEVA_DCH_ADDR) would be reached by no
// client: the agent is refused with the reason.
TEST(AgentProgramTest, AHostNameThatIsAnAddressWorksAndADCHaddressBesideItIsRefused) {
  RunInNetworkNamespace({{"10.77.0.1"}, ""}, [] {
    {
      AgentProcess refused;
      ASSERT_TRUE(refused.start({"FILE"}, {"QFEB0_HOSTNAME=10.77.0.1", "ZEVA_DCH_ADDR=127.0.0.1"}))
          << refused.failure();
      EXPECT_EQ(refused.waitForExit(kEndWaitMs), 1) << refused.traceText();
      EXPECT_NE(refused.errorText().find("Error: the DCH address <127.0.0.1> is not the address <10.77.0.1> of the "
                                         "local host name in effect <10.77.0.1>, to which Dorvane_Agent DCH port " +
                                         std::to_string(refused.dchPort()) + " is bound"),
                std::string::npos)
          << refused.errorText();
    }
    AgentProcess agent;
    ASSERT_TRUE(agent.start({"FILE"}, {"QFEB0_HOSTNAME=10.77.0.1", "ZEVA_DCH_ADDR="})) << agent.failure();
    EXPECT_TRUE(Eventually([&] { return !LinesWith(agent.zevraf({"subnodes"}), ":DVAGENT00\t").empty(); },
                           kFileEndWaitMs))
        << agent.traceText();
    ExpectCleanEnd(agent, agent.terminate(kFileEndWaitMs));
  });
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

// Its SNMP data provider, without the product's network application, ends at once
// (in a network namespace of its own, as every SNMP data provider runs in the tests).
TEST(AgentProgramTest, APackagedProductStartsTheDataProvidersItsSpecificationLists) {
  RunInNetworkNamespace([] {
    AgentProcess agent(PackagedProduct("SNMP"));
    ASSERT_TRUE(agent.start({"NODP"})) << agent.failure();
    EXPECT_EQ(agent.waitForExit(kEndWaitMs), 0) << agent.traceText();
    EXPECT_NE(agent.traceText().find("Thread for DP <SNMP> completed."), std::string::npos) << agent.traceText();
  });
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
