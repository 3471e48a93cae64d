// Actions end to end: the management server's command through zevraf to the agent
// zeva350, down the DCH to its FILE data provider, performed there by a worker, and
// its status and result back as rows of the agent's action log (DVAGENT, table
// DVA6034300) beside the data provider's log (DVA524400).
#include <gtest/gtest.h>

#include <signal.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "acts_agent.h"
#include "agent_process.h"
#include "console_client.h"
#include "eventually.h"
#include "proc_text.h"
#include "raw_action_requests.h"
#include "raw_dch_peer.h"
#include "text_patterns.h"

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

// A process that a command left behind, found by its command line and working
// directory: the test cannot wait for it, and kills it at its end.
class LeftBehind {
 public:
  LeftBehind(const std::string& commandLine, const std::string& directory) {
    const std::filesystem::path here = std::filesystem::canonical(directory);
    Eventually(
        [&] {
          for (const auto& entry : std::filesystem::directory_iterator("/proc")) {
            const std::string name = entry.path().filename().string();
            if (name.find_first_not_of("0123456789") != std::string::npos) continue;
            std::error_code unreadable;
            if (ProcText(entry.path() / "cmdline") == commandLine &&
                std::filesystem::read_symlink(entry.path() / "cwd", unreadable) == here) {
              pid_ = std::stoi(name);
              return true;
            }
          }
          return false;
        },
        kStartWaitMs);
  }
  ~LeftBehind() {
    if (pid_ > 0) kill(pid_, SIGKILL);
  }
  LeftBehind(const LeftBehind&) = delete;
  LeftBehind& operator=(const LeftBehind&) = delete;

  pid_t pid() const { return pid_; }
  // Its descriptors' numbers.
  std::vector<std::string> descriptors() const {
    std::vector<std::string> numbers;
    for (const std::string& described : OpenDescriptors(pid_)) numbers.push_back(described.substr(0, described.find(' ')));
    return numbers;
  }

 private:
  pid_t pid_ = -1;
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
  std::string trace = agent_.traceText();
  EXPECT_TRUE(ContainsPattern(trace, "<\"printf\" '%s\\\\n' a b c >\\./DP[0-9]{6}>"))
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

// A command that leaves a process behind gives it nothing of the agent's but standard
// input, output and error: once the agent has ended, a new agent starts on the same
// ports at once, and its FILE data provider takes its console port.
TEST_F(ActionRoad, ACommandLeftRunningHoldsNothingOfTheAgentsAndANewAgentTakesItsPorts) {
  startAgent();
  EXPECT_EQ(DescriptorsPassedOnExec(agent_.pid()), std::vector<std::string>{})
      << "every descriptor beyond the standard three is closed on exec";
  act({"'sleep'", "300", "&"});
  EXPECT_EQ(resultRow("\"sleep\"", "300 &").status(), "SUCCESS");
  LeftBehind sleeper(std::string("sleep\0" "300\0", 10), agent_.directory());
  ASSERT_GT(sleeper.pid(), 0) << "the command's sleep";
  EXPECT_EQ(sleeper.descriptors(), (std::vector<std::string>{"0", "1", "2"}))
      << ::testing::PrintToString(OpenDescriptors(sleeper.pid()));
  expectCleanEnd();

  std::filesystem::remove(agent_.directory() + "agent.trc");
  subnode_ = StartActsAgent(agent_, {}, kStartWaitMs);
  EXPECT_FALSE(subnode_.empty());
  const unsigned short fileConsole = static_cast<unsigned short>(agent_.consoleBase() + 1);
  EXPECT_EQ(AwaitConsole(fileConsole, kStartWaitMs), "0 1 " + std::to_string(fileConsole));
  EXPECT_EQ(agent_.traceText().find("Could not open TCP/UDP sockets"), std::string::npos);
  EXPECT_EQ(agent_.traceText().find("ZEVPV89E"), std::string::npos);
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
