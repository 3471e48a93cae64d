// The API command-line tools as their real programs: usage texts, exit codes, the
// cases they settle without a data provider, consoles and data ports of the test that
// answer as scripted or not at all, and SIGTERM while they wait.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <chrono>
#include <map>
#include <string>
#include <vector>

#include "api_responder.h"
#include "eventually.h"
#include "free_port.h"
#include "scratch_directory.h"
#include "tool_process.h"

namespace {

constexpr int kRunWaitMs = 20000;

// The data provider's host is loopback: nothing the tools send leaves it.
const std::vector<std::string> kLoopback = {"ZEVP_API_DPAPI_HOST=127.0.0.1"};

class ApiToolsTest : public ::testing::Test {
 protected:
  ToolRun run(const std::string& program, const std::vector<std::string>& arguments,
              const std::vector<std::string>& settings = {}) {
    return RunTool(program, arguments, SettingsWith(kLoopback, settings), kRunWaitMs, scratch_.path());
  }

  ScratchDirectory scratch_{"zev_api_tools"};
};

TEST_F(ApiToolsTest, UsageTextsAndTheCasesSettledWithoutADataProvider) {
  const struct {
    const char* program;
    std::vector<std::string> arguments;
    std::string output;
    int exitStatus;
  } cases[] = {
      {"zevpbgni", {"?"}, "Usage: zevpbgni Application-Name Attribute-Group-Nmae\n", 1},
      {"zevpinpt", {"?help"}, "Usage: zevpinpt Data-Record Application-Name Attribute-Group-Nmae\n", 1},
      {"zevpendi", {"?"}, "Usage: zevpendi Application-Name Attribute-Group-Nmae\n", 1},
      {"zevpdefn", {"?"}, "Usage: zevpdefn metafile-name Accept-OK[Yes|No]\n", 1},
      {"zevprdfn", {"?"}, "Usage: zevprdfn metafile-name Accept-OK[Yes|No]\n", 1},
      {"zevpping", {"?"}, "Usage: zevpping   no parameter required\n", 0},
      {"zevpbgni", {}, "ZEVPA03E Required input parameter not specified\n", 0},
      {"zevpbgni", {"APPL"}, "ZEVPA03E Required input parameter not specified\n", 0},
      {"zevpinpt", {}, "ZEVPA03E Required input parameter not specified\n", 0},
      {"zevpinpt", {"record", "APPL"}, "ZEVPA03E Required input parameter not specified\n", 0},
      {"zevpinpt",
       {"record"},
       "ZEVPA71I None or more than one active application outstanding. API target is ambiguous without "
       "qualification\n",
       0},
      {"zevpendi", {"APPL"}, "ZEVPA03E Required input parameter not specified\n", 0},
      {"zevpendi", {"APPL", "GRP"},
       "ZEVPA57W dp_EndInput specified application is not active. dp_BeginInput was not performed\n", 0},
      {"zevpendi", {},
       "ZEVPA56E Ambiguous dp_EndInput rejected. More than one active dp_BeginInput outstanding without sufficient "
       "qualifying input parameter\n",
       0},
      {"zevpdefn", {}, "ZEVPA14E Required input parameter not specified\n", 0},
      {"zevprdfn", {}, "ZEVPA14E Required input parameter not specified\n", 0},
      {"zevpshow", {"47"}, "ZEVPA47E dp_FormatBufferData insufficient room remains in buffer to contain formatted "
                           "input data\n", 0},
      {"zevpshow", {"0"}, "ZEVPA00I Function completed successfully\n", 0},
      {"zevpshow", {"x"}, "ZEVPAxx Invalid mesaage code\n", 0},
      {"zevpshow", {"100"}, "ZEVPAxx Invalid mesaage code\n", 0},
      {"zevpshow", {std::string(40, '9')}, "ZEVPAxx Invalid mesaage code\n", 0},
      {"zevpshow", {}, "ZEVPA20E dp_ShowMessage no message id specified\n", 0},
      {"zevpactd", {}, "Action Deamon only needed on HPUX 10.20.\n\n", 2},
      {"zevpactd", {"a", "b"}, "Action Deamon only needed on HPUX 10.20.\n\n", 4},
  };
  for (const auto& c : cases) {
    std::string arguments;
    for (const std::string& argument : c.arguments) arguments += " " + argument.substr(0, 12);
    SCOPED_TRACE(c.program + arguments);
    ToolRun result = run(c.program, c.arguments);
    EXPECT_EQ(result.output, c.output) << result.errors;
    EXPECT_EQ(result.exitStatus, c.exitStatus);
    EXPECT_TRUE(scratch_.read("ZEVPINIT").empty()) << "nothing recorded";
  }
}

// With two sessions recorded, the one to end must be named.
TEST_F(ApiToolsTest, EndingWithoutNamesOverTwoSessionsIsAmbiguous) {
  scratch_.write("ZEVPINIT", "123\nAPPLGRP#41000\nOTHERGRP#41001\n");
  ToolRun result = run("zevpendi", {});
  EXPECT_EQ(result.output,
            "ZEVPA56E Ambiguous dp_EndInput rejected. More than one active dp_BeginInput outstanding without "
            "sufficient qualifying input parameter\n");
  EXPECT_EQ(result.exitStatus, 0);
  EXPECT_EQ(scratch_.read("ZEVPINIT"), "123\nAPPLGRP#41000\nOTHERGRP#41001\n");
}

TEST_F(ApiToolsTest, APingNobodyAnswersIsSentTwiceAndTimesOut) {
  ApiResponder console(Always({}));
  ASSERT_TRUE(console.listening());
  auto start = std::chrono::steady_clock::now();
  ToolRun result = run("zevpping", {}, {"ZEVP_DPCONSOLE_PORT=" + std::to_string(console.port()),
                                        "ZEVP_CONSOLE_COMMAND_WAIT=1"});
  EXPECT_EQ(result.output, "ZEVPA11E API request timed out\n");
  EXPECT_EQ(result.exitStatus, 11);
  EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::seconds(2)) << "a second's wait each time";
  auto requests = console.requests();
  ASSERT_EQ(requests.size(), 2u);
  EXPECT_EQ(requests[0].text, "PING");
  EXPECT_EQ(requests[1].text, "PING");
}

// A console of the test that answers the definitions' steps: CHECK as each needs it to
// go on (3 not defined for zevpdefn, 4 defined for zevprdfn), code 6 to the load (the
// agent knows the application already).
TEST_F(ApiToolsTest, DefinitionsOfAnApplicationTheAgentKnowsAcceptItOnlyWhenTold) {
  const struct {
    const char* program;
    std::vector<std::string> arguments;
    std::string output;
    int exitStatus;
    std::string lastCommand;
  } cases[] = {
      {"zevpdefn", {"m.mdl", "Yes"}, "ZEVPA00I Function completed successfully\n", 1, "ACCEPT m.mdl"},
      {"zevpdefn", {"m.mdl", "yes"}, "ZEVPA00I Function completed successfully\n", 1, "ACCEPT m.mdl"},
      {"zevpdefn", {"m.mdl", "No"},
       "ZEVPA33W dp_define application already known to agent or in use by another DP\n", 0, "IMPORT m.mdl"},
      {"zevpdefn", {"m.mdl"}, "ZEVPA33W dp_define application already known to agent or in use by another DP\n", 0,
       "IMPORT m.mdl"},
      {"zevprdfn", {"m.mdl", "y"}, "ZEVPA00I Function completed successfully\n", 1, "ACCEPT m.mdl"},
      {"zevprdfn", {"m.mdl"},
       "ZEVPA37W dp_Redefine application already known to agent or in use by another DP\n", 0, "REFRESH m.mdl"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.program) + " " + (c.arguments.size() > 1 ? c.arguments[1] : "-"));
    const std::string check = c.program == std::string("zevpdefn") ? "3 " : "4 ";
    ApiResponder console([check](const ReceivedRequest& request) {
      const std::map<std::string, std::string> codes = {
          {"PING", "0 1733810000"}, {"CHECK", check}, {"IMPORT", "6 "}, {"REFRESH", "6 "}, {"ACCEPT", "0 "}};
      auto found = codes.find(request.text.substr(0, request.text.find(' ')));
      return found != codes.end() ? std::vector<Answer>{Reply(found->second)} : std::vector<Answer>{};
    });
    ASSERT_TRUE(console.listening());
    ToolRun result = run(c.program, c.arguments, {"ZEVP_DPCONSOLE_PORT=" + std::to_string(console.port())});
    EXPECT_EQ(result.output, c.output) << result.errors;
    EXPECT_EQ(result.exitStatus, c.exitStatus);
    auto requests = console.requests();
    ASSERT_FALSE(requests.empty());
    EXPECT_EQ(requests.back().text, c.lastCommand);
  }
}

// A record too long for a datagram is a failed send: nothing is cut or overrun.
TEST_F(ApiToolsTest, ARecordPastADatagramIsAFailedSend) {
  ApiResponder dataProvider([](const ReceivedRequest&) { return std::vector<Answer>{Reply("0 1")}; });
  ASSERT_TRUE(dataProvider.listening());
  scratch_.write("ZEVPINIT", "1\nAPPLGRP#" + std::to_string(FreeLoopbackPort()) + "\n");
  ToolRun result = run("zevpinpt", {std::string(70000, 'r')},
                       {"ZEVP_API_DPAPI_PORT=" + std::to_string(dataProvider.port())});
  EXPECT_EQ(result.output, "ZEVPA72E dp_Input data transfer I/O error\n") << result.errors;
  EXPECT_EQ(result.exitStatus, 0);
  EXPECT_TRUE(dataProvider.requests().empty());
}

// Each tool that waits for a reply ends at once on SIGTERM: a console or data port of
// the test takes its request and says nothing.
TEST_F(ApiToolsTest, EveryToolThatWaitsEndsAtOnceOnSigterm) {
  ApiResponder silent(Always({}));
  ASSERT_TRUE(silent.listening());
  const std::string port = std::to_string(silent.port());
  scratch_.write("ZEVPINIT", "1\nAPPLGRP#" + std::to_string(FreeLoopbackPort()) + "\n");
  const struct {
    const char* program;
    std::vector<std::string> arguments;
  } cases[] = {
      {"zevpping", {}},
      {"zevpdefn", {"m.mdl"}},
      {"zevprdfn", {"m.mdl"}},
      {"zevpbgni", {"APPL", "GRP"}},
      {"zevpinpt", {"record", "APPL", "GRP"}},
      {"zevpendi", {"APPL", "GRP"}},
  };
  size_t seen = 0;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.program);
    ToolProcess tool(c.program);
    tool.runIn(scratch_.path());
    ASSERT_TRUE(tool.start(c.arguments, SettingsWith(kLoopback, {"ZEVP_DPCONSOLE_PORT=" + port,
                                                                 "ZEVP_API_DPAPI_PORT=" + port,
                                                                 "ZEVP_CONSOLE_COMMAND_WAIT=60",
                                                                 "ZEVP_API_REQUEST_WAIT=60"})));
    ASSERT_TRUE(Eventually([&] { return silent.requests().size() > seen; }, kRunWaitMs)) << "its request came";
    seen = silent.requests().size();
    auto start = std::chrono::steady_clock::now();
    int status = tool.terminate(kRunWaitMs);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));
    EXPECT_TRUE(status != -1 && WIFSIGNALED(status) && WTERMSIG(status) == SIGTERM) << status;
  }
}

}  // namespace
