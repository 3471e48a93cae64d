// Input sessions of the client with the API data provider of the agent program: begin,
// records with and without sample brackets, end, the data provider's refusals with
// their messages, a session over TCP, and the actions the program serves; the rows as
// the framework samples them.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>

#include "api_agent.h"
#include "api_test_settings.h"
#include "eventually.h"
#include "zevpapi/dp_api.h"

namespace {

// Long enough for the agent's round trips under ThreadSanitizer on a busy machine.
constexpr int kAgentWaitMs = 30000;

std::string Message(int status) {
  char text[256];
  dp_ShowMessage(status, text, sizeof text);
  return text;
}

// The application APPL, whose group GRP is delimited by ';', loaded at the start; rows
// live ten minutes, so that every row sent is in the sample.
class DataSessionTest : public ::testing::Test {
 protected:
  void SetUp() override {
    agent_.metafile("appl.mdl", {"//APPL APPL", "//NAME GRP S 600", "//ATTRIBUTES ';'", "Label D 16", "Count C 100000"});
    agent_.loadAtStart({"appl.mdl"});
    ASSERT_TRUE(agent_.start()) << agent_.agent().failure() << agent_.agent().traceText();
    UseLoopbackSettings();
    setenv("ZEVP_API_REQUEST_WAIT", "10", 1);
    agent_.pointClientHere();
    handle_ = dp_AllocateHandle(nullptr);
    ASSERT_NE(handle_, nullptr);
  }
  void TearDown() override {
    dp_FreeHandle(handle_, nullptr);
    if (HasFailure()) std::cerr << agent_.agent().traceText();
  }

  // Sends a record of the values; its status.
  int input(std::initializer_list<const char*> values) {
    void* data = nullptr;
    EXPECT_EQ(dp_AllocateBuffer(handle_, &data, 0, nullptr), 1);
    for (const char* value : values)
      EXPECT_EQ(dp_FormatBufferData(data, value, static_cast<int>(std::strlen(value)), ZEVP_API_TEXT, nullptr), 1);
    int status = -1;
    int result = dp_InputData(data, &status);
    EXPECT_EQ(result, status == 0 ? 1 : 0);
    dp_FreeBuffer(data, nullptr);
    return status;
  }

  int call(int (*verb)(APIhandle*, int*)) {
    int status = -1;
    int result = verb(handle_, &status);
    EXPECT_EQ(result, status == 0 ? 1 : 0);
    return status;
  }

  ApiAgent agent_;
  APIhandle* handle_ = nullptr;
};

TEST_F(DataSessionTest, BeginTakesTheGroupsDelimiterAndEndBlanksItAgain) {
  int status = -1;
  ASSERT_EQ(dp_BeginInput(handle_, "APPL", "GRP", &status), 1);
  EXPECT_EQ(status, 0);
  EXPECT_EQ(input({"a", "1"}), 0);
  EXPECT_TRUE(agent_.sampled("APPL00", "\ta\t1"));
  EXPECT_EQ(call(dp_EndInput), 0);
  EXPECT_TRUE(agent_.logged("dp_EndInput completed for application APPL attribute group GRP"));

  void* data = nullptr;
  ASSERT_EQ(dp_AllocateBuffer(handle_, &data, 0, nullptr), 1);
  ASSERT_EQ(dp_FormatBufferData(data, "c", 1, ZEVP_API_TEXT, nullptr), 1);
  EXPECT_STREQ(static_cast<char*>(data), "c ");
}

TEST_F(DataSessionTest, RecordsReachTheGroupWithAndWithoutSampleBrackets) {
  ASSERT_EQ(dp_BeginInput(handle_, "APPL", "GRP", nullptr), 1);
  EXPECT_EQ(input({"one", "1"}), 0);
  EXPECT_TRUE(agent_.sampled("APPL00", "\tone\t1"));
  EXPECT_EQ(call(dp_BeginSample), 0);
  EXPECT_EQ(input({"two", "2"}), 0);
  EXPECT_EQ(input({"three", "3"}), 0);
  EXPECT_EQ(call(dp_EndSample), 0);
  EXPECT_TRUE(agent_.sampled("APPL00", "\ttwo\t2"));
  EXPECT_TRUE(agent_.sampled("APPL00", "\tthree\t3"));
  // A row outside the brackets takes the place of the sample set.
  EXPECT_EQ(input({"four", "4"}), 0);
  EXPECT_TRUE(agent_.sampled("APPL00", "\tfour\t4"));
  EXPECT_EQ(call(dp_EndInput), 0);
}

TEST_F(DataSessionTest, TheDataProvidersRefusalsComeWithTheirMessages) {
  int status = -1;
  EXPECT_EQ(dp_BeginInput(handle_, "NOAPPL", "GRP", &status), 0);
  EXPECT_EQ(status, 51);
  EXPECT_EQ(Message(status), "ZEVPA51E dp_BeginInput specified application not found");

  EXPECT_EQ(dp_BeginInput(handle_, "APPL", "NOGRP", &status), 0);
  EXPECT_EQ(status, 52);
  EXPECT_EQ(Message(status), "ZEVPA52E dp_BeginInput specified attribute group not found");

  // A fresh handle's session is unknown to the data provider until it begins input.
  APIhandle* fresh = dp_AllocateHandle(nullptr);
  void* data = nullptr;
  ASSERT_EQ(dp_AllocateBuffer(fresh, &data, 0, nullptr), 1);
  ASSERT_EQ(dp_FormatBufferData(data, "a", 1, ZEVP_API_TEXT, nullptr), 1);
  EXPECT_EQ(dp_InputData(data, &status), 0);
  EXPECT_EQ(status, 13);
  EXPECT_EQ(Message(status), "ZEVPA13E API request logic sequence error");
  dp_FreeHandle(fresh, nullptr);
}

// A TCP session: the source takes the name set before the begin, its rows travel on
// the connection, and closing the session takes the source offline.
TEST_F(DataSessionTest, ASessionOverTCPNamesItsSourceAndEndsWithTheConnection) {
  int status = -1;
  ASSERT_EQ(dp_OpenSession(handle_, &status), 1) << status;
  EXPECT_EQ(dp_OpenSession(handle_, &status), 0);
  EXPECT_EQ(status, 24);
  // The data provider opens the session with its first request, not with the connection.
  ASSERT_EQ(dp_SetSourceName(handle_, "till7", &status), 1) << status;
  EXPECT_TRUE(agent_.logged("dp_OpenSession completed from location localhost."));
  ASSERT_EQ(dp_BeginInput(handle_, "APPL", "GRP", &status), 1) << status;
  EXPECT_EQ(input({"tcp", "5"}), 0);
  EXPECT_TRUE(agent_.sampled("APPL00", "\ttcp\t5"));
  EXPECT_FALSE(agent_.subnodes("till7:APPL00").empty()) << "the source's name is the subnode's";
  EXPECT_EQ(call(dp_CloseSession), 0);
  EXPECT_TRUE(agent_.logged("dp_CloseSession completed for location localhost."));
  EXPECT_TRUE(Eventually([&] { return agent_.subnodes("till7:APPL00").empty(); }, kAgentWaitMs))
      << "the source went offline";
}

// The program accepts requests; an action at its subnode is fetched and answered, and
// its result is a row of the agent's action log.
TEST_F(DataSessionTest, AnActionAtTheProgramsSubnodeIsServedByIt) {
  ASSERT_EQ(dp_BeginInput(handle_, "APPL", "GRP", nullptr), 1);
  int status = -1;
  ASSERT_EQ(dp_AcceptRequest(handle_, 1, 30, &status), 1) << status;
  char request[256];
  int id = -1;
  int size = -1;
  EXPECT_EQ(dp_ReceiveRequest(handle_, 0, request, sizeof request, &id, &size, &status), 0);
  EXPECT_EQ(status, 82);
  EXPECT_EQ(size, 0);

  ASSERT_TRUE(Eventually([&] { return !agent_.subnodes("localhost:APPL00").empty(); }, kAgentWaitMs));
  ToolRun action = agent_.agent().zevraf({"action", "localhost:APPL00", "'restock'", "10"});
  ASSERT_EQ(action.exitStatus, 0) << action.errors;
  ASSERT_TRUE(Eventually([&] { return dp_ReceiveRequest(handle_, 0, request, sizeof request, &id, &size, &status); },
                         kAgentWaitMs))
      << status;
  const std::string text = request;
  EXPECT_GT(id, 0);
  EXPECT_EQ(text, "REQ(\"restock\")PARM(10)");
  EXPECT_EQ(size, static_cast<int>(text.size()) + 1);
  char result[] = "restocked";
  EXPECT_EQ(dp_SendRequestResult(handle_, &id, result, sizeof result - 1, &status), 1) << status;
  EXPECT_TRUE(agent_.sampled("DVAGENT00", "\tSUCCESS\trestocked"));
}

// A request cut to the program's buffer keeps its terminator; a result is sent to its
// first 256 bytes.
TEST_F(DataSessionTest, ARequestIsCutToTheBufferAndAResultTo256Bytes) {
  ASSERT_EQ(dp_BeginInput(handle_, "APPL", "GRP", nullptr), 1);
  ASSERT_EQ(dp_AcceptRequest(handle_, 1, 30, nullptr), 1);
  ASSERT_TRUE(Eventually([&] { return !agent_.subnodes("localhost:APPL00").empty(); }, kAgentWaitMs));
  ASSERT_EQ(agent_.agent().zevraf({"action", "localhost:APPL00", "'reorder'", "20"}).exitStatus, 0);
  char request[16];
  std::memset(request, 'Z', sizeof request);
  int id = -1;
  int size = -1;
  int status = -1;
  ASSERT_TRUE(Eventually(
      [&] {
        dp_ReceiveRequest(handle_, 0, request, 10, &id, &size, &status);
        return status != 82;
      },
      kAgentWaitMs));
  EXPECT_EQ(status, 83);
  EXPECT_EQ(size, 10);
  EXPECT_EQ(std::string(request, 10), std::string("REQ(\"reor") + '\0');
  EXPECT_EQ(std::string(request + 10, 6), "ZZZZZZ");
  std::string result(300, 'r');
  EXPECT_EQ(dp_SendRequestResult(handle_, &id, result.data(), static_cast<int>(result.size()), &status), 0);
  EXPECT_EQ(status, 84);
  EXPECT_TRUE(agent_.sampled("DVAGENT00", "\tSUCCESS\t" + std::string(200, 'r')));
}

}  // namespace
