// The console program at a scripted console port of the test's: the replies a data
// provider's console never gives (interim, busy, foreign, oversized, silent) and the
// dialogues' branches, with discovery and reply waits shortened.
#include <gtest/gtest.h>

#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include "console_run.h"
#include "console_transport.h"
#include "free_port.h"
#include "no_name_service.h"
#include "scripted_console.h"
#include "stdout_capture.h"

namespace {

constexpr char kAccepted[] = "Console input accepted.";

// Replies by the command's text; GETPORT answers as a FILE data provider.
ScriptedConsole::Script Replies(std::map<std::string, std::vector<std::string>> replies) {
  replies.emplace("GETPORT", std::vector<std::string>{"0 1"});
  return [replies](const std::string& command) {
    auto found = replies.find(command);
    return found != replies.end() ? found->second : std::vector<std::string>{};
  };
}

struct ConsoleRun {
  int exitCode = -1;
  std::vector<std::string> lines;
};

class ScriptedConsoleTest : public ::testing::Test {
 protected:
  // The console program with the arguments and the input, its ports those of the
  // scripted console's base; its lines checked once the capture has ended.
  ConsoleRun run(const std::vector<std::string>& arguments, const std::string& input,
                 const ScriptedConsole::Script& script) {
    ScriptedConsole console(static_cast<unsigned short>(base_ + 1), script);
    EXPECT_TRUE(console.listening());
    ConsoleRun result = runAlone(arguments, input);
    commands_ = console.commands();
    return result;
  }
  // The console program with no console of the test's.
  ConsoleRun runAlone(const std::vector<std::string>& arguments, const std::string& input) {
    zevpcon::ConsoleTransport transport;
    transport.basePort = base_;
    transport.maxIndex = 2;
    transport.targetHost = "127.0.0.1";
    transport.discoverySliceMs = 50;
    transport.discoveryBudgetMs = 200;
    transport.commandWaitMs = 500;
    std::string text = input;
    FILE* stream = fmemopen(text.data(), text.size() + 1, "r");
    ConsoleRun result;
    {
      StdoutCapture output;
      result.exitCode = zevpcon::RunConsole(arguments, stream, &transport);
      result.lines = output.takeLines();
    }
    std::fclose(stream);
    return result;
  }

  NoNameService names_;  // hosts show as their dotted addresses
  unsigned short base_ = FreeConsoleBase();
  std::vector<std::string> commands_;
};

TEST_F(ScriptedConsoleTest, InterimRepliesAndForeignOnesLeaveTheWaitGoingOn) {
  ConsoleRun list = run({"L"}, "", Replies({{"LIST", {"99 ", "Hello there", "0 app1 app2 "}}}));
  EXPECT_EQ(list.exitCode, 0);
  EXPECT_EQ(list.lines, (std::vector<std::string>{kAccepted, "Command in progress ...", " ",
                                                  "Active application definitions:", "  app1", "  app2"}));
  EXPECT_EQ(commands_, (std::vector<std::string>{"GETPORT", "LIST"}));
}

TEST_F(ScriptedConsoleTest, BusyPackagedSilentAndOversizedRepliesEndTheCommand) {
  const std::string oversized = "0 " + std::string(4094, 'x');
  const std::string fits = "0 " + std::string(4093, 'x');
  const struct {
    std::vector<std::string> arguments;
    std::map<std::string, std::vector<std::string>> replies;
    std::vector<std::string> shown;
  } cases[] = {
      {{"Import", "m1"}, {{"CHECK m1", {"7 5"}}},
       {kAccepted, "Command rejected. Console command is still in progress. Active command is SHOW"}},
      // A code outside the table, as it came.
      {{"Show", "m1"}, {{"SHOW m1", {"7 42"}}},
       {kAccepted, "Command rejected. Console command is still in progress. Active command is 42"}},
      {{"Refresh", "m1"}, {{"CHECK m1", {"13 "}}}, {kAccepted, "Command not supported for packaged product configuration."}},
      {{"Show", "m1"}, {}, {kAccepted, "Console to DP communication timed out. Retry, if DP is active."}},
      {{"List"}, {}, {kAccepted}},
      {{"LoadName"}, {{"LOADNAME", {oversized}}}, {kAccepted, "Receive buffer too small for console reply data.",
                                                   "Console to DP communication timed out. Retry, if DP is active."}},
      {{"LoadName"}, {{"LOADNAME", {fits}}}, {kAccepted, "Load SNMP network name command successful."}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.arguments[0]);
    EXPECT_EQ(run(c.arguments, "", Replies(c.replies)).lines, c.shown);
  }
}

TEST_F(ScriptedConsoleTest, WithoutADataProviderTheHostIsNamedAfterTheDiscovery) {
  EXPECT_EQ(runAlone({"List"}, "").lines,
            (std::vector<std::string>{kAccepted, "Proxy/Gateway DataProvider not active on 127.0.0.1"}));
}

TEST_F(ScriptedConsoleTest, AShowReplyInPiecesPrintsItsRecords) {
  ConsoleRun show = run({"S", "m1"}, "",
                        Replies({{"SHOW m1", {"0 1 0;m1.mdl;1;APP;", "0 2;GRP;Poll Data TTL=60;3;FILE;a.log;",
                                              "3 4;Host;Display Type Max Size 8 KEY;4;Bytes"}}}));
  EXPECT_EQ(show.lines, (std::vector<std::string>{kAccepted, " ", "Defined application specification:",
                                                  "   MetaFile: m1.mdl", "      Application: APP", "",
                                                  "            Group: GRP Poll Data TTL=60",
                                                  "           SOURCE: FILE a.log",
                                                  "                            Host Display Type Max Size 8 KEY",
                                                  "                           Bytes "}));
}

// IMPORT of a definition the agent knew: accepted, or removed again.
TEST_F(ScriptedConsoleTest, AnImportTheAgentKnewIsAcceptedOrRemoved) {
  ConsoleRun accepted =
      run({"Import", "m1"}, "yes\n", Replies({{"CHECK m1", {"3 "}}, {"IMPORT m1", {"6 "}}, {"ACCEPT m1", {"0 "}}}));
  EXPECT_EQ(accepted.lines, (std::vector<std::string>{kAccepted, "Application already known to agent.",
                                                      "Confirm <Yes/No> to accept existing data definition for m1",
                                                      "Import successfully completed for m1"}));
  EXPECT_EQ(commands_, (std::vector<std::string>{"GETPORT", "CHECK m1", "IMPORT m1", "ACCEPT m1"}));

  ConsoleRun removed =
      run({"Import", "m1"}, "n\n", Replies({{"CHECK m1", {"3 "}}, {"IMPORT m1", {"6 "}}, {"DELETE m1", {"0 "}}}));
  EXPECT_EQ(removed.lines, (std::vector<std::string>{kAccepted, "Application already known to agent.",
                                                     "Confirm <Yes/No> to accept existing data definition for m1",
                                                     "Removing imported application definition...",
                                                     "Import cancelled."}));
  EXPECT_EQ(commands_, (std::vector<std::string>{"GETPORT", "CHECK m1", "IMPORT m1", "DELETE m1"}));

  // The end of input at the question sends nothing more.
  ConsoleRun ended = run({"Import", "m1"}, "", Replies({{"CHECK m1", {"3 "}}, {"IMPORT m1", {"6 "}}}));
  EXPECT_EQ(commands_, (std::vector<std::string>{"GETPORT", "CHECK m1", "IMPORT m1"}));
  EXPECT_EQ(ended.exitCode, 0);
}

// More answers than the table holds, a port that is none and a type without a label.
TEST_F(ScriptedConsoleTest, TheTargetTableHoldsSixtyThreeAndTakesTheSendersPortForABadOne) {
  std::vector<std::string> answers = {"0 99 70000"};
  for (int n = 0; n < 70; ++n) answers.push_back("0 2 " + std::to_string(base_ + 1));
  ConsoleRun list = run({"List"}, "64\nx\n1\n", [&](const std::string& command) {
    if (command == "GETPORT") return answers;
    return command == "LIST" ? std::vector<std::string>{"2 "} : std::vector<std::string>{};
  });
  ASSERT_GE(list.lines.size(), 67u);
  EXPECT_EQ(list.lines[1], " ");
  EXPECT_EQ(list.lines[2], "     01 127.0.0.1 ");
  EXPECT_EQ(list.lines[3], "     02 SOCK - 127.0.0.1 ");
  EXPECT_EQ(list.lines[64], "     63 SOCK - 127.0.0.1 ");
  EXPECT_EQ(std::vector<std::string>(list.lines.begin() + 65, list.lines.end()),
            (std::vector<std::string>{"Select an active DP:", "Invalid selection. Select a DP listed above:",
                                      "Invalid selection. Select a DP listed above:", "No application defined."}));
  EXPECT_EQ(commands_.back(), "LIST") << "sent to the sender's port";
}

}  // namespace
