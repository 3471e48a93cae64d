// The definition files of the agent program zeva350: a pass that cannot write its files
// fails the application's build, and the agent runs on and serves its other applications.
// A failed build is never signalled, so the status monitor gives its definition one
// ten-second wait (ZEVA_WAIT_UDL=0), and shut-down waits for the notice in hand.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "agent_process.h"
#include "eventually.h"
#include "raw_dch_peer.h"

namespace {

constexpr int kStartWaitMs = 10000;
// The monitor's one wait for a definition, and the tear-down after it.
constexpr int kFailedBuildWaitMs = 20000;
constexpr char kStartupComplete[] = "Dorvane_Agent startup complete.";
const std::vector<rawdch::Group> kGroups{{"GRP1", "a group", 'P', 300, "Name,D,8, ,the name;Count,C,4, ,a count;"}};

// Registers the application through the peer and puts its source online.
uint32_t RegisteredOnline(rawdch::TcpPeer& peer, const std::string& applName, const std::string& sourceName) {
  rawdch::StatusReply registered = peer.exchange(rawdch::RegisterRequest(applName, "an application", kGroups),
                                                 kStartWaitMs);
  EXPECT_TRUE(registered.valid && registered.status == 0) << applName;
  rawdch::StatusReply online = peer.exchange(rawdch::OnlineRequest(applName, "GRP1", sourceName), kStartWaitMs);
  EXPECT_TRUE(online.valid && online.hasHandle) << applName;
  return online.handle;
}

bool Exists(const std::string& path) { return std::filesystem::exists(path); }

// The agent has given the failed build up and serves on: no subnode for the application,
// the framework answers, and SIGTERM ends the agent.
void ExpectFailedBuildAndCleanEnd(AgentProcess& agent, const std::string& subnode) {
  EXPECT_TRUE(agent.waitForTrace("Error: generateFiles failed.", kStartWaitMs)) << agent.traceText();
  EXPECT_TRUE(agent.waitForTrace("Error: WaitForUDL failed", kFailedBuildWaitMs)) << agent.traceText();
  ToolRun subnodes = agent.zevraf({"subnodes"});
  EXPECT_EQ(subnodes.exitStatus, 0) << subnodes.errors;
  EXPECT_TRUE(LinesWith(subnodes, subnode).empty()) << subnodes.output;
  EXPECT_EQ(agent.zevraf({"tables"}).exitStatus, 0);
  EXPECT_EQ(agent.terminate(kFailedBuildWaitMs), 0) << agent.errorText();
  EXPECT_EQ(agent.errorText().find("Sanitizer"), std::string::npos) << agent.errorText();
}

// The catalogue and the attribute file always; the ODI and property files unless
// ZEVA_GENERATE_ODI is N; the historical-data file only when ZEVA_GENERATE_SQL is Y.
TEST(DefinitionFilesAgentTest, TheSwitchesChooseTheFilesWritten) {
  const struct Case {
    const char* settings[2];
    bool ODI;
    bool SQL;
  } cases[] = {{{"ZEVA_GENERATE_ODI=N", "ZEVA_GENERATE_SQL=Y"}, false, true},
               {{"ZEVA_GENERATE_ODI=Y", "ZEVA_GENERATE_SQL=N"}, true, false}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.settings[0]);
    AgentProcess agent;
    ASSERT_TRUE(agent.start({"NODP"}, {c.settings[0], c.settings[1]})) << agent.failure();
    ASSERT_TRUE(agent.waitForTrace("Waiting for DP status change.", kStartWaitMs)) << agent.traceText();
    rawdch::TcpPeer peer(agent.dchPort());
    RegisteredOnline(peer, "SWITCHED", "srcA");
    ASSERT_TRUE(Eventually([&] { return !LinesWith(agent.zevraf({"subnodes"}), "srcA:SWITCHED00\t").empty(); },
                           kStartWaitMs))
        << agent.traceText();
    const std::string work = agent.directory();
    EXPECT_TRUE(Exists(work + "SWICAT00") && Exists(work + "SWIATR00") && Exists(work + "zevawSWI"));
    EXPECT_EQ(Exists(work + "SWIODI00"), c.ODI);
    EXPECT_EQ(Exists(work + "SWIJPF00"), c.ODI);
    EXPECT_EQ(Exists(work + "SWISQL00"), c.SQL);
    EXPECT_EQ(agent.terminate(kStartWaitMs), 0) << agent.errorText();
  }
}

TEST(DefinitionFilesAgentTest, AWorkDirectoryThatCannotHoldFilesFailsTheBuildAndTheAgentRunsOn) {
  const struct Case {
    const char* what;
    const char* below;  // the work directory, below the agent's scratch folder
    int errorNumber;
  } cases[] = {{"missing", "missing/", 2}, {"below a regular file", "file/work/", 20}};
  std::vector<std::unique_ptr<AgentProcess>> agents;
  std::vector<std::unique_ptr<rawdch::TcpPeer>> peers;
  // The agents run side by side: each waits out its failed build.
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    agents.push_back(std::make_unique<AgentProcess>());
    AgentProcess& agent = *agents.back();
    std::ofstream(agent.directory() + "file") << "a regular file\n";
    ASSERT_TRUE(agent.start({"NODP"}, {"ZEV_WORK_PATH=" + agent.directory() + c.below, "ZEVA_WAIT_UDL=0"}))
        << agent.failure();
    ASSERT_TRUE(agent.waitForTrace(kStartupComplete, kStartWaitMs)) << agent.traceText() << agent.errorText();
    ASSERT_TRUE(agent.waitForTrace("Waiting for DP status change.", kStartWaitMs));
    peers.push_back(std::make_unique<rawdch::TcpPeer>(agent.dchPort()));
    RegisteredOnline(*peers.back(), "MYAPP", "srcA");
  }
  for (size_t i = 0; i < agents.size(); ++i) {
    SCOPED_TRACE(cases[i].what);
    AgentProcess& agent = *agents[i];
    const std::string cat = agent.directory() + cases[i].below + "MYACAT00";
    EXPECT_TRUE(agent.waitForTrace("Error: could not open <" + cat + "> for mode w: errno=" +
                                       std::to_string(cases[i].errorNumber),
                                   kStartWaitMs))
        << agent.traceText();
    ExpectFailedBuildAndCleanEnd(agent, "srcA:MYAPP00");
    EXPECT_FALSE(Exists(agent.directory() + cases[i].below + "zevawMYA"));
  }
}

// A directory stands where one application's attribute file goes (permission bits do not
// stop root): its catalogue stays, nothing after it is written. An application of another
// key gets its files, its subnode and its rows.
TEST(DefinitionFilesAgentTest, AFileThatCannotBeOpenedFailsOnlyItsApplication) {
  AgentProcess agent;
  std::filesystem::create_directory(agent.directory() + "MYAATR00");
  ASSERT_TRUE(agent.start({"NODP"}, {"ZEVA_WAIT_UDL=0"})) << agent.failure();
  ASSERT_TRUE(agent.waitForTrace(kStartupComplete, kStartWaitMs)) << agent.traceText() << agent.errorText();
  ASSERT_TRUE(agent.waitForTrace("Waiting for DP status change.", kStartWaitMs));
  rawdch::TcpPeer peer(agent.dchPort());
  ASSERT_TRUE(peer.connected());

  uint32_t handle = RegisteredOnline(peer, "OTHER", "srcB");
  std::string table;
  ASSERT_TRUE(Eventually(
      [&] {
        std::vector<std::string> tables = LinesWith(agent.zevraf({"tables"}), "OTHER00\t");
        if (!tables.empty()) table = tables[0].substr(tables[0].find('\t') + 1);
        return !tables.empty() && !LinesWith(agent.zevraf({"subnodes"}), "srcB:OTHER00\t").empty();
      },
      kStartWaitMs))
      << agent.traceText();
  rawdch::Message row = rawdch::DataRequest(handle, 0x11);
  row.text(rawdch::kAttrName, "Name").text(rawdch::kAttrValue, "pears").text(rawdch::kAttrName, "Count");
  row.u32(rawdch::kAttrValue, 7);
  EXPECT_EQ(peer.exchange(row.bytes(), kStartWaitMs).status, 0);
  EXPECT_TRUE(Eventually([&] { return !LinesWith(agent.zevraf({"sample", "OTHER00", table}), "\tpears\t7").empty(); },
                         kStartWaitMs));
  for (const char* file : {"OTHCAT00", "OTHATR00", "OTHODI00", "OTHJPF00", "zevawOTH"}) {
    SCOPED_TRACE(file);
    EXPECT_TRUE(Exists(agent.directory() + file));
  }

  RegisteredOnline(peer, "MYAPP", "srcA");
  EXPECT_TRUE(agent.waitForTrace("Error: could not open <" + agent.directory() + "MYAATR00> for mode w: errno=21",
                                 kStartWaitMs))
      << agent.traceText();
  ExpectFailedBuildAndCleanEnd(agent, "srcA:MYAPP00");
  std::ifstream cat(agent.directory() + "MYACAT00");
  std::string header;
  EXPECT_TRUE(std::getline(cat, header) && header.rfind("@MYA00   ", 0) == 0) << header;
  for (const char* file : {"MYAODI00", "MYAJPF00", "zevawMYA"}) {
    SCOPED_TRACE(file);
    EXPECT_FALSE(Exists(agent.directory() + file));
  }
}

}  // namespace
