// Control requests against a responder that plays a console: the replies a console may
// give, the ones it never gives, silence, and the command sequences of the definitions.
// The console port is set once per process, so each case runs in a child of its own,
// with its responder (a process is forked only while it has no other thread).
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "api_responder.h"
#include "api_test_settings.h"
#include "run_in_child.h"
#include "zevpapi/dp_api.h"

namespace {

// A console of the test that answers by the command's verb; a verb it has no answers
// for gets none.
ResponderScript ConsoleScript(std::map<std::string, std::vector<Answer>> answers) {
  return [answers](const ReceivedRequest& request) {
    auto found = answers.find(request.text.substr(0, request.text.find(' ')));
    return found != answers.end() ? found->second : std::vector<Answer>{};
  };
}

// The library in this (child) process talks to the responder's port as its console.
void UseConsole(const ApiResponder& console) {
  UseLoopbackSettings();
  setenv("ZEVP_CONSOLE_COMMAND_WAIT", "10", 1);
  setenv("ZEVP_DPCONSOLE_PORT", std::to_string(console.port()).c_str(), 1);
}

std::vector<std::string> Commands(const ApiResponder& console) {
  std::vector<std::string> texts;
  for (const ReceivedRequest& request : console.requests()) texts.push_back(request.text);
  return texts;
}

std::string Message(int status) {
  char text[256];
  dp_ShowMessage(status, text, sizeof text);
  return text;
}

TEST(ControlRequestTest, PingGoesOutInTheNetworkCodeWithoutTerminator) {
  RunInChild([&] {
    ApiResponder console(ConsoleScript({{"PING", {Reply("0 1733810000")}}}));
    UseConsole(console);
    int status = -1;
    char stamp[80] = {};
    EXPECT_EQ(dp_CheckAPIserverStatus(&status, stamp), 1);
    EXPECT_EQ(status, 0);
    EXPECT_STREQ(stamp, "1733810000");
    EXPECT_EQ(dp_Ping(&status), 1);
    auto requests = console.requests();
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_EQ(requests[0].bytes, "\xD7\xC9\xD5\xC7");
  });
}

// What reaches the caller of each reply; the reply parameter's area is 80 bytes, and
// what lies behind it must stay untouched.
TEST(ControlRequestTest, RepliesAreReadWithinTheirLengthAndOddOnesPassedOver) {
  std::string full512 = "0 " + std::string(510, '7');
  ZEVP_ConvertBufferToNetwork(full512.data(), static_cast<int>(full512.size()));
  std::string zeroInside = std::string("0 12\0 34", 8);
  ZEVP_ConvertBufferToNetwork(zeroInside.data(), static_cast<int>(zeroInside.size()));
  const struct {
    const char* name;
    std::vector<Answer> answers;
    int status;
    std::string parameter;
  } cases[] = {
      {"an interim reply, then the code", {Reply("99"), Reply("0 3456789")}, 0, "3456789"},
      {"a reply that begins with a letter is discarded", {Reply("OK 0"), Reply("0 42")}, 0, "42"},
      {"an empty datagram is discarded", {RawReply(""), Reply("0 42")}, 0, "42"},
      {"blanks only are discarded", {Reply("   "), Reply("0 42")}, 0, "42"},
      {"more digits than a code are discarded", {Reply("1234567890 1"), Reply("0 5")}, 0, "5"},
      {"blanks around the tokens", {Reply("  0   77 more")}, 0, "77"},
      {"a code without a parameter", {Reply("0")}, 0, ""},
      {"the data provider's refusal", {Reply("10 ")}, 10, ""},
      {"digits then letters: the code of the digits", {Reply("3x 9")}, 3, "9"},
      {"a long parameter is cut to 79 characters", {Reply("0 " + std::string(200, 'p'))}, 0, std::string(79, 'p')},
      {"a full 512-byte datagram", {RawReply(full512)}, 0, std::string(79, '7')},
      {"a zero byte ends the text", {RawReply(zeroInside)}, 0, "12"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    RunInChild([&] {
      ApiResponder console(ConsoleScript({{"PING", c.answers}}));
      UseConsole(console);
      char area[120];
      std::memset(area, 'Z', sizeof area);
      area[0] = '\0';
      int status = -1;
      EXPECT_EQ(dp_CheckAPIserverStatus(&status, area), c.status == 0 ? 1 : 0);
      EXPECT_EQ(status, c.status);
      EXPECT_EQ(std::string(area), c.parameter);
      EXPECT_EQ(std::string(area + 80, sizeof area - 80), std::string(sizeof area - 80, 'Z'));
    });
  }
}

TEST(ControlRequestTest, AConsoleThatNeverAnswersIsAskedTwiceOnItsPort) {
  RunInChild([&] {
    ApiResponder console(ConsoleScript({}));
    UseConsole(console);
    UseShortWaits();
    int status = -1;
    EXPECT_EQ(dp_Ping(&status), 0);
    EXPECT_EQ(status, 11);
    EXPECT_EQ(Message(status), "ZEVPA11E API request timed out");
    EXPECT_EQ(static_cast<unsigned short>(CMDport), console.port()) << "a port other than 7700 and 7703 stays";
    EXPECT_EQ(Commands(console), (std::vector<std::string>{"PING", "PING"}));
  });
}

TEST(ControlRequestTest, TheRpcTransportHasNoControlExchangeAndNoSession) {
  RunInChild([&] {
    ApiResponder console(ConsoleScript({{"PING", {Reply("0 1")}}}));
    UseConsole(console);
    setenv("ZEVP_API_TRANSPORT", "r", 1);
    int status = -1;
    EXPECT_EQ(dp_Ping(&status), 0);
    EXPECT_EQ(status, 5);
    EXPECT_EQ(dp_Define("m.mdl", 1, &status), 0);
    EXPECT_EQ(status, 10) << "the ping fails first";
    EXPECT_TRUE(console.requests().empty());
    APIhandle* handle = dp_AllocateHandle(nullptr);
    EXPECT_EQ(dp_OpenSession(handle, &status), 0);
    EXPECT_EQ(status, 5);
    dp_FreeHandle(handle, nullptr);
  });
}

// The console's codes after each step, and what the definitions make of them.
TEST(ControlRequestTest, DefinitionsSendTheirStepsAndMapTheLastCode) {
  using Script = std::map<std::string, std::vector<Answer>>;
  const Script up = {{"PING", {Reply("0 1")}}};
  auto with = [&up](Script more) {
    more.insert(up.begin(), up.end());
    return more;
  };
  const struct {
    const char* name;
    bool redefine;
    int acceptOK;
    Script script;
    int status;
    std::vector<std::string> commands;
  } cases[] = {
      {"define: already defined", false, 1, with({{"CHECK", {Reply("4 ")}}}), 30, {"PING", "CHECK m.mdl"}},
      {"define: imported",
       false,
       0,
       with({{"CHECK", {Reply("3 ")}}, {"IMPORT", {Reply("99 "), Reply("0 ")}}}),
       0,
       {"PING", "CHECK m.mdl", "IMPORT m.mdl"}},
      {"define: known to the agent, not accepted",
       false,
       0,
       with({{"CHECK", {Reply("3 ")}}, {"IMPORT", {Reply("6 ")}}}),
       33,
       {"PING", "CHECK m.mdl", "IMPORT m.mdl"}},
      {"define: known to the agent, accepted",
       false,
       1,
       with({{"CHECK", {Reply("3 ")}}, {"IMPORT", {Reply("6 ")}}, {"ACCEPT", {Reply("0 ")}}}),
       0,
       {"PING", "CHECK m.mdl", "IMPORT m.mdl", "ACCEPT m.mdl"}},
      {"define: the accept fails",
       false,
       1,
       with({{"CHECK", {Reply("3 ")}}, {"IMPORT", {Reply("6 ")}}, {"ACCEPT", {Reply("3 ")}}}),
       32,
       {"PING", "CHECK m.mdl", "IMPORT m.mdl", "ACCEPT m.mdl"}},
      {"define: metafile not found",
       false,
       1,
       with({{"CHECK", {Reply("3 ")}}, {"IMPORT", {Reply("8 ")}}}),
       31,
       {"PING", "CHECK m.mdl", "IMPORT m.mdl"}},
      {"define: specification error",
       false,
       1,
       with({{"CHECK", {Reply("3 ")}}, {"IMPORT", {Reply("5 ")}}}),
       32,
       {"PING", "CHECK m.mdl", "IMPORT m.mdl"}},
      {"define: the API data provider is not there", false, 1, {{"PING", {Reply("10 ")}}}, 10, {"PING"}},
      {"redefine: not defined", true, 1, with({{"CHECK", {Reply("3 ")}}}), 34, {"PING", "CHECK m.mdl"}},
      {"redefine: refreshed",
       true,
       0,
       with({{"CHECK", {Reply("4 ")}}, {"REFRESH", {Reply("0 ")}}}),
       0,
       {"PING", "CHECK m.mdl", "REFRESH m.mdl"}},
      {"redefine: metafile not found",
       true,
       0,
       with({{"CHECK", {Reply("4 ")}}, {"REFRESH", {Reply("8 ")}}}),
       35,
       {"PING", "CHECK m.mdl", "REFRESH m.mdl"}},
      {"redefine: known to the agent, not accepted",
       true,
       0,
       with({{"CHECK", {Reply("4 ")}}, {"REFRESH", {Reply("6 ")}}}),
       37,
       {"PING", "CHECK m.mdl", "REFRESH m.mdl"}},
      {"redefine: specification error",
       true,
       0,
       with({{"CHECK", {Reply("4 ")}}, {"REFRESH", {Reply("12 ")}}}),
       36,
       {"PING", "CHECK m.mdl", "REFRESH m.mdl"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    RunInChild([&] {
      ApiResponder console(ConsoleScript(c.script));
      UseConsole(console);
      int status = -1;
      int result = c.redefine ? dp_Redefine("m.mdl", c.acceptOK, &status) : dp_Define("m.mdl", c.acceptOK, &status);
      EXPECT_EQ(result, c.status == 0 ? 1 : 0);
      EXPECT_EQ(status, c.status);
      EXPECT_EQ(Commands(console), c.commands);
    });
  }
}

// An IMPORT that is never answered is an error of the request: the wait runs out on both
// console ports that the request may try.
TEST(ControlRequestTest, AnUnansweredImportIsASpecificationError) {
  RunInChild([&] {
    ApiResponder console(ConsoleScript({{"PING", {Reply("0 1")}}, {"CHECK", {Reply("3 ")}}}));
    UseConsole(console);
    UseShortWaits();
    int status = -1;
    EXPECT_EQ(dp_Define("m.mdl", 1, &status), 0);
    EXPECT_EQ(status, 32);
    EXPECT_EQ(Commands(console), (std::vector<std::string>{"PING", "CHECK m.mdl", "IMPORT m.mdl", "IMPORT m.mdl"}));
  });
}

TEST(ControlRequestTest, ADefinitionWithoutAMetafileNameNamesNull) {
  RunInChild([&] {
    ApiResponder console(ConsoleScript({{"PING", {Reply("0 1")}}}));
    UseConsole(console);
    int status = -1;
    EXPECT_EQ(dp_Define(nullptr, 1, &status), 0);
    EXPECT_EQ(status, 2);
    EXPECT_EQ(Message(status), "ZEVPA02E Input parameter is invalid NULL");
    EXPECT_EQ(dp_Redefine("", 1, &status), 0);
    EXPECT_EQ(status, 2);
    EXPECT_TRUE(console.requests().empty());
  });
}

}  // namespace
