// Actions end to end: the management server's command through zevraf to the agent
// zeva350, down the DCH to its FILE data provider, performed there by a worker, and
// its status and result back as rows of the agent's action log.
#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <vector>

#include "agent_process.h"
#include "eventually.h"

namespace {

constexpr int kStartWaitMs = 15000;
constexpr int kRowWaitMs = 15000;
constexpr int kEndWaitMs = 30000;

std::vector<std::string> LinesWith(const ToolRun& run, const std::string& text) {
  std::vector<std::string> lines;
  if (run.exitStatus != 0) return lines;
  size_t from = 0;
  while (from < run.output.size()) {
    size_t end = run.output.find('\n', from);
    if (end == std::string::npos) end = run.output.size();
    std::string line = run.output.substr(from, end - from);
    if (line.find(text) != std::string::npos) lines.push_back(line);
    from = end + 1;
  }
  return lines;
}

// The agent with a FILE data provider that watches one file of a small metafile.
class ActionRoad : public ::testing::Test {
 protected:
  void startAgent(const std::vector<std::string>& settings = {}) {
    const std::string watched = agent_.directory() + "counts.txt";
    {
      std::ofstream metafile(agent_.directory() + "acts.mdl");
      metafile << "//APPL ACTS @Actions of a test\n"
               << "//NAME TALLY P 5 @One line a tally\n"
               << "//SOURCE FILE " << watched << "\n"
               << "//ATTRIBUTES ' '\n"
               << "Label D 12 @What is counted\n"
               << "Tally C 100000 @How many\n";
      std::ofstream(agent_.directory() + "ZEVPCNFG") << "acts.mdl\n";
      std::ofstream(watched) << "apples 6\n";
    }
    std::vector<std::string> all = {"ZEVP_META_PATH=" + agent_.directory()};
    all.insert(all.end(), settings.begin(), settings.end());
    ASSERT_TRUE(agent_.start({"FILE"}, all)) << agent_.failure();
    std::vector<std::string> subnodes;
    ASSERT_TRUE(Eventually([&] { return !(subnodes = LinesWith(agent_.zevraf({"subnodes"}), ":ACTS00\t")).empty(); },
                           kStartWaitMs))
        << agent_.traceText() << agent_.errorText();
    subnode_ = subnodes[0].substr(0, subnodes[0].find('\t'));
  }

  AgentProcess agent_;
  std::string subnode_;
};

TEST_F(ActionRoad, ACommandRunsAtTheDataProviderAndItsResultComesBackAsAnActionRow) {
  startAgent();
  ToolRun action = agent_.zevraf({"action", subnode_, "'printf'", "'%s\\n'", "a", "b", "c"});
  EXPECT_EQ(action.exitStatus, 0) << action.errors;
  EXPECT_EQ(action.output, "0\n");
  std::vector<std::string> rows;
  EXPECT_TRUE(Eventually(
      [&] { return !(rows = LinesWith(agent_.zevraf({"sample", "DVAGENT00", "DVA6034300"}), "a;b;c")).empty(); },
      kRowWaitMs))
      << agent_.zevraf({"tables"}).output << agent_.zevraf({"sample", "DVAGENT00", "DVA6034300"}).output
      << agent_.traceText();
  for (const std::string& row : rows) std::cout << row << "\n";
  std::cout << agent_.zevraf({"tables"}).output;
  EXPECT_EQ(agent_.terminate(kEndWaitMs), 0) << agent_.traceText().substr(agent_.traceText().size() > 20000 ? agent_.traceText().size() - 20000 : 0);
}

}  // namespace
