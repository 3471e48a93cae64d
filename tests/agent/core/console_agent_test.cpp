// The console of the data providers inside the agent program zeva350: a raw UDP
// client on their console ports, the framework's port asked with zevraf.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "agent_process.h"
#include "console_client.h"
#include "eventually.h"

namespace {

// How long one GETPORT of the wait for a console is given.
constexpr int kDiscoveryTryMs = 1500;
constexpr int kStartWaitMs = 10000;
constexpr int kReplyWaitMs = 30000;
// A data provider looks at its threads every five seconds while it ends.
constexpr int kEndWaitMs = 40000;

std::string FileText(const std::string& path) {
  std::ifstream in(path);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

class ConsoleAgentTest : public ::testing::Test {
 protected:
  // A metafile of one group of two attributes whose FILE source is the file named.
  void writeMetafile(const std::string& name, const std::string& application, const std::string& file) {
    std::ofstream(agent_.directory() + name) << "//APPL " << application << "\n"
                                             << "//NAME TALLY P 60\n"
                                             << "//SOURCE FILE " << agent_.directory() + file << "\n"
                                             << "//ATTRIBUTES ' '\n"
                                             << "Label D 12\n"
                                             << "Tally C 100000\n";
    std::ofstream(agent_.directory() + file) << "start 1\n";
  }
  // A file pass every second (the 60-s time-to-live over a factor of 60) rather than every
  // 12 s: a pass that came just before a line was appended would otherwise keep it from
  // the rows' waits below for longer than they last.
  bool start(const std::vector<std::string>& types) {
    if (!agent_.start(types, {"ZEVP_META_PATH=" + agent_.directory(), "ZEVP_DP_SAMPLE_FACTOR=60"})) return false;
    return agent_.waitForTrace("Dorvane_Agent startup complete.", kStartWaitMs);
  }
  unsigned short port(int type) const { return static_cast<unsigned short>(agent_.consoleBase() + type); }
  std::string waitForConsole(int type) {
    // A client of its own, which takes the late answers (and busy ones) to its tries with
    // it. A try waits longer than the console's pause after each command, so that tries
    // do not queue up behind each other.
    ConsoleClient discovery;
    std::string reply;
    Eventually(
        [&] { return (reply = discovery.exchange(port(type), "GETPORT", kDiscoveryTryMs)).rfind("0 ", 0) == 0; },
        kReplyWaitMs);
    return reply;
  }
  std::string ask(int type, const std::string& command) { return client_.exchange(port(type), command, kReplyWaitMs); }
  std::string configuration() const { return FileText(agent_.directory() + "ZEVPCNFG"); }
  // The table of an application's subnode once it is registered; empty when none came.
  std::string tableOf(const std::string& applicationKey) {
    std::string table;
    Eventually(
        [&] {
          std::vector<std::string> tables = LinesWith(agent_.zevraf({"tables"}), applicationKey + "\t");
          if (!tables.empty()) table = tables[0].substr(tables[0].find('\t') + 1);
          return !tables.empty() && !LinesWith(agent_.zevraf({"subnodes"}), ":" + applicationKey + "\t").empty();
        },
        kStartWaitMs);
    return table;
  }
  // True once a row whose values hold the text comes back from some table of the application.
  bool sampled(const std::string& applicationKey, const std::string& text) {
    return RowSampled(agent_, applicationKey, text, kStartWaitMs);
  }

  // True once a line of the label appended to new.txt comes back as a row of NEWAPP.
  bool rowsComeBack(const std::string& label) {
    const std::string table = tableOf("NEWAPP00");
    int line = 0;
    return !table.empty() && Eventually(
                                 [&] {
                                   std::ofstream(agent_.directory() + "new.txt", std::ios::app)
                                       << label << " " << ++line << "\n";
                                   return !LinesWith(agent_.zevraf({"sample", "NEWAPP00", table}), "\t" + label + "\t")
                                               .empty();
                                 },
                                 kStartWaitMs);
  }

  AgentProcess agent_;
  ConsoleClient client_;
};

// The agent is left to be killed at the end: how it ends is shown below.
TEST_F(ConsoleAgentTest, TheFileDataProviderAnswersEachVerb) {
  writeMetafile("counts.mdl", "COUNTS", "counts.txt");
  std::ofstream(agent_.directory() + "ZEVPCNFG") << "counts.mdl\n";
  ASSERT_TRUE(start({"FILE"})) << agent_.traceText() << agent_.errorText();
  ASSERT_EQ(waitForConsole(1), "0 1 " + std::to_string(port(1)));
  EXPECT_TRUE(sampled("DVAGENT00", "DP console interface active"));
  EXPECT_TRUE(sampled("DVAGENT00", "DP ready"));

  const std::string counts = agent_.directory() + "counts.mdl";
  const std::pair<std::string, std::string> exchanges[] = {
      {"list", "0 ZEV " + counts + " "},
      {"SET somehost", "1 "},
      {"VALIDATE counts.mdl", "1 "},
      {"NOSUCHVERB", "1 "},
      {"", "1 "},
      {"CHECK counts.mdl", "4 "},  // the default product has metafile commands
      {"CHECK nothere.mdl", "3 "},
      {"PING", "10 "},
      {"LIST", "0 ZEV " + counts + " "},
      {"SHOW nothere", "3 "},
  };
  for (const auto& [command, reply] : exchanges) {
    SCOPED_TRACE(command);
    EXPECT_EQ(ask(1, command), reply);
  }
}

TEST_F(ConsoleAgentTest, ImportRefreshDeleteAndShutdownOfAnApplicationWithItsRows) {
  writeMetafile("new.mdl", "NEWAPP", "new.txt");
  std::ofstream(agent_.directory() + "ZEVPCNFG") << "* none at start\n";
  ASSERT_TRUE(start({"FILE"})) << agent_.traceText() << agent_.errorText();
  ASSERT_EQ(waitForConsole(1), "0 1 " + std::to_string(port(1)));

  EXPECT_EQ(ask(1, "IMPORT new.mdl"), "0 ");
  EXPECT_EQ(configuration(), "* none at start\nnew.mdl\n");
  EXPECT_TRUE(rowsComeBack("pears")) << "the imported application's rows";
  EXPECT_EQ(ask(1, "SHOW new.mdl"), "0 2 0;" + agent_.directory() +
                                        "new.mdl;1;NEWAPP;2;TALLY;Poll Data TTL=60;3;FILE;" + agent_.directory() +
                                        "new.txt;4;Label;Display Type Max Size 12;4;Tally;Counter Type;");
  EXPECT_EQ(ask(1, "REFRESH new.mdl"), "0 ");
  EXPECT_TRUE(rowsComeBack("plums")) << "the refreshed application's rows";
  EXPECT_EQ(configuration(), "* none at start\nnew.mdl\n") << "a refresh leaves the configuration";
  EXPECT_EQ(ask(1, "DELETE new.mdl"), "0 ");
  EXPECT_EQ(ask(1, "LIST"), "0 ZEV ");
  EXPECT_EQ(configuration(), "* none at start\n");
  EXPECT_EQ(ask(1, "DELETE new.mdl"), "3 ");

  EXPECT_EQ(ask(1, "SHUTDOWN"), "0 ");
  EXPECT_EQ(agent_.waitForExit(kEndWaitMs), 0) << agent_.errorText();
  EXPECT_NE(agent_.traceText().find("Thread for DP <FILE> completed."), std::string::npos);
  EXPECT_EQ(agent_.errorText().find("Sanitizer"), std::string::npos) << agent_.errorText();
}

// Console commands as DP_CONTROL actions from the management server, sent to the
// data provider's own log subnode: each result comes back to the agent as a row of
// its action log (a refused command's status -1 shows as INPUTPARM_ERROR 1).
TEST_F(ConsoleAgentTest, DPControlActionsRunConsoleCommandsAndTheAgentGetsTheirResults) {
  writeMetafile("counts.mdl", "COUNTS", "counts.txt");
  std::ofstream(agent_.directory() + "ZEVPCNFG") << "counts.mdl\n";
  ASSERT_TRUE(start({"FILE"})) << agent_.traceText() << agent_.errorText();
  ASSERT_EQ(waitForConsole(1), "0 1 " + std::to_string(port(1)));
  std::vector<std::string> subnodes;
  ASSERT_TRUE(Eventually(
      [&] { return !(subnodes = LinesWith(agent_.zevraf({"subnodes"}), "FILEdp:DVAGENT00\t")).empty(); },
      kStartWaitMs));
  const std::string subnode = subnodes[0].substr(0, subnodes[0].find('\t'));
  const struct {
    const char* parameters;
    const char* status;
    const char* result;
  } cases[] = {
      {"SHOW counts.mdl", "INPUTPARM_ERROR 1", "Input console command invalid."},
      {"IMPORT", "INPUTPARM_ERROR 1", "Required input parameter file name not specified"},
      {"IMPORT counts.mdl", "SUCCESS", "counts.mdl already defined. Use REFRESH command to reload data definition."},
      {"DELETE counts.mdl", "SUCCESS", "Delete successful."},
      {"DELETE counts.mdl", "SUCCESS", "Delete failed. Specified application not defined."},
  };
  int number = 0;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.parameters);
    std::vector<std::string> words = {"action", subnode, "DP_CONTROL"};
    std::istringstream parameters(c.parameters);
    for (std::string word; parameters >> word;) words.push_back(word);
    ToolRun run = agent_.zevraf(words);
    EXPECT_EQ(run.output, "0\n") << run.errors;
    // The row of this action: its result closes with the action's number.
    const std::string row = std::string("\tDP_CONTROL\t") + c.parameters + "\t" + c.status + "\t" + c.result + "\t" +
                            std::to_string(++number);
    EXPECT_TRUE(Eventually(
        [&] { return !LinesWith(agent_.zevraf({"sample", "DVAGENT00", "DVA6034300"}), row).empty(); }, kStartWaitMs))
        << agent_.zevraf({"sample", "DVAGENT00", "DVA6034300"}).output;
  }
  EXPECT_EQ(ask(1, "LIST"), "0 ZEV ");
}

// Two data providers of one agent answer each on the port of its type. An
// application the agent knows already (from the POST data provider) is "known to
// the agent" to the FILE data provider, which does not name it again in the
// start-up configuration. The agent is killed at the end.
TEST_F(ConsoleAgentTest, EachDataProviderOfTheAgentAnswersOnItsPort) {
  std::ofstream(agent_.directory() + "shared.mdl") << "//APPL SHARED\n//NAME GRP P 60\n//ATTRIBUTES ';'\nName D 8\n";
  std::ofstream(agent_.directory() + "ZEVPCNFG") << "* none at start\n";
  ASSERT_TRUE(start({"FILE", "POST"})) << agent_.traceText() << agent_.errorText();
  ASSERT_EQ(waitForConsole(1), "0 1 " + std::to_string(port(1)));
  ASSERT_EQ(waitForConsole(4), "0 4 " + std::to_string(port(4)));
  EXPECT_EQ(ask(4, "IMPORT shared.mdl"), "0 ");
  EXPECT_EQ(configuration(), "* none at start\nshared.mdl\n") << "the agent's one start-up configuration";
  EXPECT_EQ(ask(1, "IMPORT shared.mdl"), "6 ");
  EXPECT_EQ(configuration(), "* none at start\nshared.mdl\n") << "not added again";
}

}  // namespace
