// The API command-line tools with the API data provider of the agent program: the
// ping and the definitions at its console, an input session carried from tool to tool
// through ./ZEVPINIT, a data provider that ran anew in between, and arguments too long
// for what they travel in. The agents are killed at the end.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "api_agent.h"
#include "console_client.h"
#include "scratch_directory.h"
#include "tool_process.h"

namespace {

// Longer than a tool's own wait for a console reply (30 seconds by default), so that a
// reply a loaded machine gives late still reaches the tool's output.
constexpr int kRunWaitMs = 90000;
constexpr int kReplyWaitMs = 30000;

const std::vector<std::string> kAppl = {"//APPL APPL", "//NAME GRP S 600", "//ATTRIBUTES ';'", "Label D 16",
                                        "Count C 100000"};
const std::vector<std::string> kNewApp = {"//APPL NEWAPP", "//NAME TALLY P 60", "//ATTRIBUTES ';'", "Label D 12"};

struct ToolCase {
  const char* program;
  std::vector<std::string> arguments;
  std::string output;
  int exitStatus;
};

class ApiToolsAgentTest : public ::testing::Test {
 protected:
  void TearDown() override {
    if (HasFailure()) std::cerr << agent_->agent().traceText();
  }

  // Starts the agent with APPL loaded; false when it did not come up.
  bool start() {
    agent_->metafile("appl.mdl", kAppl);
    agent_->loadAtStart({"appl.mdl"});
    return agent_->start();
  }
  ToolRun run(const std::string& program, const std::vector<std::string>& arguments) {
    return RunTool(program, arguments, agent_->clientSettings(), kRunWaitMs, scratch_.path());
  }
  template <size_t N>
  void runCases(const ToolCase (&cases)[N]) {
    for (const ToolCase& c : cases) {
      SCOPED_TRACE(c.program + (c.arguments.empty() ? std::string() : " " + c.arguments[0].substr(0, 12)));
      ToolRun result = run(c.program, c.arguments);
      EXPECT_EQ(result.output, c.output) << result.errors;
      EXPECT_EQ(result.exitStatus, c.exitStatus);
    }
  }
  // The console's answer to a command.
  std::string ask(const std::string& command) {
    ConsoleClient console;
    return console.exchange(agent_->consolePort(), command, kReplyWaitMs);
  }
  // The data provider's start stamp, as PING gives it.
  std::string stamp() { return ask("PING").substr(2); }

  std::unique_ptr<ApiAgent> agent_ = std::make_unique<ApiAgent>();
  ScratchDirectory scratch_{"zev_api_tools"};
};

// The console takes one command a second, so each test sends few of them.
TEST_F(ApiToolsAgentTest, ANewMetafileIsDefinedOnce) {
  agent_->metafile("new.mdl", kNewApp);
  ASSERT_TRUE(start()) << agent_->agent().failure();
  const ToolCase cases[] = {
      {"zevpdefn", {"new.mdl"}, "ZEVPA00I Function completed successfully\n", 1},
      {"zevpdefn", {"new.mdl", "Yes"}, "ZEVPA30W dp_Define application already defined to DP\n", 0},
  };
  runCases(cases);
  EXPECT_NE(ask("LIST").find(agent_->metafiles() + "new.mdl"), std::string::npos);
}

TEST_F(ApiToolsAgentTest, MissingAndFaultyMetafilesAreNotDefined) {
  agent_->metafile("faulty.mdl", {"//APPL FAULTY", "//NAME TALLY P 60", "//ATTRIBUTES ';'", "Label Q 12"});
  ASSERT_TRUE(start()) << agent_->agent().failure();
  const ToolCase cases[] = {
      {"zevpdefn", {"missing.mdl"}, "ZEVPA31E dp_Define metafile not found\n", 0},
      {"zevpdefn", {"faulty.mdl"}, "ZEVPA32E dp_Define metafile specification error\n", 0},
  };
  runCases(cases);
  EXPECT_EQ(ask("LIST").find("faulty.mdl"), std::string::npos);
}

TEST_F(ApiToolsAgentTest, PingAndRedefinitions) {
  agent_->metafile("new.mdl", kNewApp);
  agent_->loadAtStart({"new.mdl"});
  ASSERT_TRUE(agent_->start()) << agent_->agent().failure();
  const ToolCase cases[] = {
      {"zevpping", {}, "ZEVPA21I dp_Ping successful\n", 0},
      {"zevprdfn", {"unknown.mdl"}, "ZEVPA34E dp_Redefine application currently not defined\n", 0},
      {"zevprdfn", {"new.mdl"}, "ZEVPA00I Function completed successfully\n", 1},
      {"zevprdfn", {}, "ZEVPA14E Required input parameter not specified\n", 0},
  };
  runCases(cases);
}

// zevpbgni, zevpinpt and zevpendi in one directory share one session key; its stamp is
// the one PING gives.
TEST_F(ApiToolsAgentTest, TheToolsOfOneDirectoryShareOneSession) {
  ASSERT_TRUE(start()) << agent_->agent().failure();
  ToolRun begun = run("zevpbgni", {"APPL", "GRP"});
  EXPECT_EQ(begun.output, "ZEVPA00I Function completed successfully\n") << begun.errors;
  EXPECT_EQ(begun.exitStatus, 1);
  const std::string recorded = scratch_.read("ZEVPINIT");
  const std::string head = stamp() + "\nAPPLGRP#";
  ASSERT_EQ(recorded.substr(0, head.size()), head);

  ToolRun named = run("zevpinpt", {"pear;7", "APPL", "GRP"});
  EXPECT_EQ(named.output, "ZEVPA00I Function completed successfully\n") << named.errors;
  EXPECT_EQ(named.exitStatus, 1);
  ToolRun unnamed = run("zevpinpt", {"plum;8"});
  EXPECT_EQ(unnamed.exitStatus, 1) << unnamed.output << unnamed.errors;
  EXPECT_EQ(scratch_.read("ZEVPINIT"), recorded) << "one session";
  EXPECT_TRUE(agent_->sampled("APPL00", "\tpear\t7"));
  EXPECT_TRUE(agent_->sampled("APPL00", "\tplum\t8"));

  ToolRun ended = run("zevpendi", {"APPL", "GRP"});
  EXPECT_EQ(ended.output, "ZEVPA00I Function completed successfully\n") << ended.errors;
  EXPECT_EQ(ended.exitStatus, 1);
  EXPECT_EQ(scratch_.read("ZEVPINIT"), stamp() + "\n");
  EXPECT_TRUE(agent_->logged("dp_EndInput completed for application APPL attribute group GRP"));
}

// The data provider that knew the session ran anew: the record's first send is a
// sequence error (13), and the tool begins another session and sends it again.
TEST_F(ApiToolsAgentTest, ARecordForADataProviderThatRanAnewBeginsANewSession) {
  ASSERT_TRUE(start()) << agent_->agent().failure();
  ASSERT_EQ(run("zevpbgni", {"APPL", "GRP"}).exitStatus, 1);
  agent_ = std::make_unique<ApiAgent>();
  ASSERT_TRUE(start()) << agent_->agent().failure();
  ToolRun input = run("zevpinpt", {"kiwi;9", "APPL", "GRP"});
  EXPECT_EQ(input.output, "ZEVPA00I Function completed successfully\n") << input.errors;
  EXPECT_EQ(input.exitStatus, 1);
  EXPECT_TRUE(agent_->sampled("APPL00", "\tkiwi\t9"));
  EXPECT_TRUE(agent_->logged("dp_BeginInput successful for application APPL attribute group GRP"));
  const std::string head = stamp() + "\nAPPLGRP#";
  EXPECT_EQ(scratch_.read("ZEVPINIT").substr(0, head.size()), head);
}

TEST_F(ApiToolsAgentTest, AnApplicationNameOfThousandsOfCharactersIsNotFound) {
  ASSERT_TRUE(start()) << agent_->agent().failure();
  ToolRun result = run("zevpbgni", {std::string(2000, 'A'), "GRP"});
  EXPECT_EQ(result.output, "ZEVPA51E dp_BeginInput specified application not found\n") << result.errors;
  EXPECT_EQ(result.exitStatus, 0);
  EXPECT_TRUE(scratch_.read("ZEVPINIT").empty());
}

}  // namespace
