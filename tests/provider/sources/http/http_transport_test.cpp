// The HTTP library's transport, libcurl, in the agent program: only an HTTP data
// provider opens it, so an agent without one maps none of it; where it cannot be
// loaded, the HTTP data provider says so and ends while the others run on.
#include <gtest/gtest.h>

#include <fstream>
#include <string>

#include "agent_process.h"
#include "child_namespace.h"
#include "eventually.h"
#include "proc_text.h"
#include "vmo1_transport.h"

namespace {

// A data provider looks at its threads every five seconds while it ends.
constexpr int kEndWaitMs = 30000;

// The agent's FILE data provider watches counts.txt through the metafile counts.mdl.
std::vector<std::string> WatchCounts(const AgentProcess& agent) {
  const std::string folder = agent.directory();
  std::ofstream(folder + "counts.mdl") << "//APPL COUNTS @Counts of a test\n"
                                       << "//NAME TALLY P 5 @One line a tally\n"
                                       << "//SOURCE FILE " << folder << "counts.txt\n"
                                       << "//ATTRIBUTES ' '\n"
                                       << "Label D 12 @What is counted\n"
                                       << "Tally C 100000 @How many\n";
  std::ofstream(folder + "ZEVPCNFG") << "counts.mdl\n";
  std::ofstream(folder + "counts.txt") << "apples 6\n";
  return {"ZEVP_META_PATH=" + folder};
}

// The watched file is read from its end on: lines go in until one comes back.
bool CountsSampled(const AgentProcess& agent, const std::string& label) {
  int tally = 0;
  return Eventually(
      [&] {
        std::ofstream(agent.directory() + "counts.txt", std::ios::app) << label << " " << ++tally << "\n";
        return RowSampled(agent, "COUNTS00", "\t" + label + "\t", 0);
      },
      kEndWaitMs);
}

std::string Maps(const AgentProcess& agent) { return ProcText("/proc/" + std::to_string(agent.pid()) + "/maps"); }

void ExpectCleanEnd(AgentProcess& agent) {
  EXPECT_EQ(agent.terminate(kEndWaitMs), 0) << agent.errorText();
  EXPECT_NE(agent.traceText().find("Dorvane Agent shutdown complete"), std::string::npos);
  EXPECT_EQ(agent.errorText().find("Sanitizer"), std::string::npos) << agent.errorText();
}

TEST(HTTPtransportTest, AnAgentWithoutAnHTTPDataProviderMapsNoLibcurl) {
  AgentProcess agent;
  ASSERT_TRUE(agent.start({"FILE"}, WatchCounts(agent))) << agent.failure();
  ASSERT_TRUE(CountsSampled(agent, "pears")) << agent.traceText();
  const std::string maps = Maps(agent);
  EXPECT_NE(maps.find("libzevhttp"), std::string::npos) << "the HTTP library itself is linked";
  EXPECT_EQ(maps.find("libcurl"), std::string::npos) << maps;
  ExpectCleanEnd(agent);
}

TEST(HTTPtransportTest, AnHTTPDataProviderWithoutItsTransportSaysSoAndEndsWhileTheFileDataProviderRunsOn) {
  const std::string transport = LibraryFile(vmo1::kTransportLibrary);
  ASSERT_FALSE(transport.empty()) << vmo1::kTransportLibrary << " cannot be loaded here";
  RunWithFileHidden(transport, [] {
    AgentProcess agent;
    // The agent waits for its data providers in this order.
    ASSERT_TRUE(agent.start({"HTTP", "FILE"}, WatchCounts(agent))) << agent.failure();
    ASSERT_TRUE(agent.waitForTrace("Thread for DP <HTTP> completed.", kEndWaitMs)) << agent.traceText();
    const std::string trace = agent.traceText();
    const std::string said =
        std::string("Error: The HTTP data provider ends: cannot load ") + vmo1::kTransportLibrary + ": ";
    const size_t at = trace.find(said);
    ASSERT_NE(at, std::string::npos) << trace;
    EXPECT_NE(trace[at + said.size()], '\n') << "the loader's reason follows";

    EXPECT_TRUE(CountsSampled(agent, "pears")) << agent.traceText();
    EXPECT_EQ(Maps(agent).find("libcurl"), std::string::npos);
    ExpectCleanEnd(agent);
  });
}

}  // namespace
