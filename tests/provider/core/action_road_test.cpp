// Actions end to end: the management server's command through zevraf to the agent
// zeva350, down the DCH to its FILE data provider, performed there by a worker, and
// its status and result back as rows of the agent's action log (DVAGENT, table
// DVA6034300) beside the data provider's log (DVA524400).
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <regex>
#include <string>
#include <vector>

#include "acts_agent.h"
#include "agent_process.h"
#include "eventually.h"
#include "raw_action_requests.h"
#include "raw_dch_peer.h"

namespace {

constexpr int kStartWaitMs = 15000;
constexpr int kRowWaitMs = 15000;
constexpr int kEndWaitMs = 30000;
constexpr char kActionTable[] = "DVA6034300";
constexpr char kLogTable[] = "DVA524400";

std::vector<std::string> Columns(const std::string& line) {
  std::vector<std::string> columns;
  size_t from = 0;
  for (size_t tab; (tab = line.find('\t', from)) != std::string::npos; from = tab + 1)
    columns.push_back(line.substr(from, tab - from));
  columns.push_back(line.substr(from));
  return columns;
}

// An action row: type, owner, node, name, parameters, status, result (the origin
// and the ID left out).
struct ActionRow {
  std::vector<std::string> columns;
  std::string status() const { return columns.size() > 5 ? columns[5] : "<no row>"; }
  std::string result() const { return columns.size() > 6 ? columns[6] : "<no row>"; }
};

// The agent with a FILE data provider that watches one file of a small metafile.
class ActionRoad : public ::testing::Test {
 protected:
  void startAgent(const std::vector<std::string>& settings = {}) {
    subnode_ = StartActsAgent(agent_, settings, kStartWaitMs);
    ASSERT_FALSE(subnode_.empty());
  }

  std::string subnodeOf(const std::string& text) { return SubnodeWith(agent_, text, kStartWaitMs); }

  // zevraf's action on the subnode, which answers 0 at once.
  void act(const std::vector<std::string>& command, const std::string& subnode = "") {
    std::vector<std::string> words = {"action", subnode.empty() ? subnode_ : subnode};
    words.insert(words.end(), command.begin(), command.end());
    ToolRun run = agent_.zevraf(words);
    EXPECT_EQ(run.exitStatus, 0) << run.errors;
    EXPECT_EQ(run.output, "0\n");
  }

  // The action row of the command's result (its status known), once it is there.
  ActionRow resultRow(const std::string& name, const std::string& parameters) {
    ActionRow found;
    Eventually(
        [&] {
          for (const std::string& line : LinesWith(agent_.zevraf({"sample", "DVAGENT00", kActionTable}), "\t")) {
            std::vector<std::string> columns = Columns(line);
            if (columns.size() < 9 || columns[4] != name || columns[5] != parameters || columns[6] == "UNKNOWN")
              continue;
            found.columns.assign(columns.begin() + 1, columns.end() - 1);
            return true;
          }
          return false;
        },
        kRowWaitMs);
    return found;
  }

  bool logged(const std::string& text) {
    return Eventually([&] { return !LinesWith(agent_.zevraf({"sample", "DVAGENT00", kLogTable}), text).empty(); },
                      kRowWaitMs);
  }

  void expectCleanEnd() {
    EXPECT_EQ(agent_.terminate(kEndWaitMs), 0) << agent_.errorText();
    EXPECT_EQ(agent_.errorText().find("Sanitizer"), std::string::npos) << agent_.errorText();
  }

  AgentProcess agent_;
  std::string subnode_;
};

TEST_F(ActionRoad, ACommandRunsAtTheDataProviderAndItsResultComesBackAsAnActionRow) {
  startAgent();
  act({"'printf'", "'%s\\n'", "a", "b", "c"});
  ActionRow row = resultRow("\"printf\"", "'%s\\n' a b c");
  EXPECT_EQ(row.columns, (std::vector<std::string>{"AUTOMATION", "_POLNAME_", subnode_, "\"printf\"", "'%s\\n' a b c",
                                                   "SUCCESS", "a;b;c"}));
  EXPECT_TRUE(logged("DP automation server active"));
  EXPECT_TRUE(logged("Situation/Policy _POLNAME_ automation activity begin for command [\"printf\"] parameter "
                     "['%s\\n' a b c] at location DP"));
  EXPECT_TRUE(logged("Situation/Policy _POLNAME_ automation activity completed, status 0, result [a;b;c]"));
  // Its output went through a file named for the action, which is gone.
  std::smatch captured;
  std::string trace = agent_.traceText();
  EXPECT_TRUE(std::regex_search(trace, captured, std::regex("<\"printf\" '%s\\\\n' a b c >\\./DP[0-9]{6}>")))
      << "the command line";
  for (const auto& file : std::filesystem::directory_iterator(agent_.directory()))
    EXPECT_NE(file.path().filename().string().substr(0, 2), "DP") << file.path();
  expectCleanEnd();
}

// The answers of the data provider as the action log shows them; a command still
// running when the agent is told to end holds the end no longer than it runs.
TEST_F(ActionRoad, TheActionLogShowsEachAnswerAndTheAgentEndsWhileACommandRuns) {
  startAgent({"ZEVP_ACTION_RESULT_SIZE=32"});
  // A source of another data provider: the FILE data provider takes the action for
  // its host, and has no source of that application.
  rawdch::TcpPeer stranger(agent_.dchPort());
  ASSERT_TRUE(stranger.connected());
  ASSERT_EQ(stranger.exchange(rawdch::RegisterRequest("OTHER", "elsewhere", {{"GRP1", "a group", 'P', 300, "Name,D,8, ,n;"}}),
                              kStartWaitMs).status, 0);
  ASSERT_TRUE(stranger.exchange(rawdch::OnlineRequest("OTHER", "GRP1", "localhost"), kStartWaitMs).hasHandle);
  const std::string elsewhere = subnodeOf("localhost:OTHER00\t");
  ASSERT_FALSE(elsewhere.empty());

  struct Case {
    const char* what;
    std::vector<std::string> command;
    std::string subnode;
    std::string name;
    std::string parameters;
    std::string status;
    std::string result;
  };
  const Case cases[] = {
      {"a command that fails", {"'false'"}, "", "\"false\"", "", "INPUTPARM_ERROR 256", ""},
      {"no such command", {"'no_such_command_zev'", "x"}, "", "\"no_such_command_zev\"", "x",
       "INPUTPARM_ERROR 32512", ""},
      {"its own redirection", {"'echo'", "kept", ">own.txt"}, "", "\"echo\"", "kept >own.txt", "SUCCESS", ""},
      {"output beyond ZEVP_ACTION_RESULT_SIZE", {"'printf'", "'%s\\n'", "1234567890", "abcdefghij", "ABCDEFGHIJ"}, "",
       "\"printf\"", "'%s\\n' 1234567890 abcdefghij ABCDEFGHIJ", "SUCCESS", "1234567890;abcdefghij..."},
      {"no active source here", {"'printf'", "x"}, elsewhere, "\"printf\"", "x", "SOURCE_OFFLINE", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    act(c.command, c.subnode);
    ActionRow row = resultRow(c.name, c.parameters);
    EXPECT_EQ(row.status(), c.status);
    EXPECT_EQ(row.result(), c.result);
  }
  std::ifstream own(agent_.directory() + "own.txt");
  std::string kept;
  std::getline(own, kept);
  EXPECT_EQ(kept, "kept");

  act({"'sleep'", "2"});
  ASSERT_TRUE(agent_.waitForTrace("Executing action command <\"sleep\" 2", kRowWaitMs));
  expectCleanEnd();
}

// The action log stops logging when actions come faster than ten in a hundred
// seconds (its check at every tenth action): a burst is performed whole, and the
// log shows the first nine of it.
TEST_F(ActionRoad, ABurstIsPerformedWholeAndTheActionLogShowsWhatItsRateLets) {
  startAgent();
  constexpr int kBurst = 12;
  for (int n = 1; n <= kBurst; ++n) act({"'printf'", "n" + std::to_string(n)});
  for (int n = 1; n <= kBurst; ++n)
    EXPECT_TRUE(agent_.waitForTrace("Action " + std::to_string(n) + " finished by worker", kRowWaitMs)) << n;
  EXPECT_EQ(resultRow("\"printf\"", "n9").result(), "n9");
  ToolRun table = agent_.zevraf({"sample", "DVAGENT00", kActionTable});
  for (int n = 10; n <= kBurst; ++n)
    EXPECT_TRUE(LinesWith(table, "\tn" + std::to_string(n) + "\t").empty()) << n << table.output;
  expectCleanEnd();
}

}  // namespace
