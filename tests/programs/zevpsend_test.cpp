// The post sender as its real program, against listeners of the test that record its
// bytes: the message on the wire, its keywords, the acknowledgement over TCP and the
// failures it reports.
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <string>
#include <vector>

#include "accepting_listener.h"
#include "api_responder.h"
#include "free_port.h"
#include "tool_process.h"

namespace {

constexpr int kRunWaitMs = 20000;

std::string Zeros(size_t count) { return std::string(count, '\0'); }

ToolRun Send(const std::vector<std::string>& arguments) { return RunTool("zevpsend", arguments, {}, kRunWaitMs); }

TEST(ZevpsendTest, MessagesGoOutAsDatagramsWithTheirCategory) {
  const std::string forty(40, 'm');
  const struct {
    const char* name;
    std::vector<std::string> arguments;  // the port is added
    std::string bytes;
    std::string output;
  } cases[] = {
      {"a message in the shortest datagram", {"msg=hello"}, "hello;I;" + Zeros(24), ""},
      {"40 characters with category W: no padding", {"msg=" + forty, "cat=W"}, forty + ";W;", ""},
      {"abbreviated keywords in any case", {"M=hi", "c=A"}, "hi;A;" + Zeros(27), ""},
      {"a later keyword replaces the earlier", {"msg=a", "MSG=b", "cat=x", "cat=Detail"}, "b;Detail;" + Zeros(23), ""},
      {"a keyword longer than 8 characters", {"messagetext=x", "msg=y"}, "y;I;" + Zeros(28),
       "Invalid parameter keyword MESSAGETEXT ignored\n"},
      {"an empty keyword", {"=x", "msg=y"}, "y;I;" + Zeros(28), "Invalid parameter keyword  ignored\n"},
      {"a keyword that names none", {"msgs=x", "msg=y"}, "y;I;" + Zeros(28), "Invalid parameter keyword MSGS ignored\n"},
      {"an empty message", {"msg="}, ";I;" + Zeros(29), ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    ApiResponder listener(Always({}));
    ASSERT_TRUE(listener.listening());
    std::vector<std::string> arguments = c.arguments;
    arguments.push_back("dp=127.0.0.1");
    arguments.push_back("port=" + std::to_string(listener.port()));
    ToolRun result = Send(arguments);
    EXPECT_EQ(result.output, c.output + "send post message to DP 127.0.0.1 successful\n") << result.errors;
    EXPECT_EQ(result.exitStatus, 0);
    auto datagrams = listener.awaitRequests(1, kRunWaitMs);
    ASSERT_EQ(datagrams.size(), 1u);
    EXPECT_EQ(datagrams[0].bytes, c.bytes);
  }
}

TEST(ZevpsendTest, WithoutAMessageOrAHostNothingIsSent) {
  // A label of more than 63 characters fails before any name server is asked.
  const std::string unknownHost = std::string(64, 'a') + ".invalid";
  const struct {
    std::vector<std::string> arguments;
    std::string output;
  } cases[] = {
      {{"foo"}, "Invalid input parameter foo, ignored\nNo input message specified, exit\n"},
      {{"cat=W"}, "No input message specified, exit\n"},
      {{"msg=x", "dp=" + unknownHost}, "Destination DP name " + unknownHost + " cannot be resolved\n"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.arguments[0]);
    ToolRun result = Send(c.arguments);
    EXPECT_EQ(result.output, c.output);
    EXPECT_EQ(result.exitStatus, 0);
  }
}

TEST(ZevpsendTest, WithoutArgumentsOrWithAQuestionMarkTheUsageIsPrinted) {
  for (const std::vector<std::string>& arguments : {std::vector<std::string>{}, std::vector<std::string>{"?"}}) {
    ToolRun result = Send(arguments);
    EXPECT_EQ(result.output.rfind("Usage:\n: zevpsend msg= Message cat=Category dp=DP_HostName "
                                  "port=DP_Listen_Port ack=y|n\n\n",
                                  0),
              0u);
    EXPECT_NE(result.output.find("                         I - Information, (default)\n"), std::string::npos);
    EXPECT_EQ(result.output.substr(result.output.size() - 36), "                         D - Detail\n");
    EXPECT_EQ(result.exitStatus, 0);
  }
}

TEST(ZevpsendTest, AMessageTooLongForADatagramIsAFailedSend) {
  ApiResponder listener(Always({}));
  ToolRun result =
      Send({"msg=" + std::string(70000, 'm'), "dp=127.0.0.1", "port=" + std::to_string(listener.port())});
  EXPECT_EQ(result.output, "send post message to DP failed, error status 90\n");
  EXPECT_EQ(result.exitStatus, 0);
  EXPECT_TRUE(listener.requests().empty());
}

// Over TCP the data provider answers with an acknowledgement stamp, read within the
// length of the message sent.
TEST(ZevpsendTest, AnAcknowledgementComesBackOverTCP) {
  const struct {
    const char* name;
    std::string answer;
    std::string printed;
  } cases[] = {
      {"a stamp", "1733810000", "Acknowledgment stamp 1733810000\nsend post message to DP 127.0.0.1 successful\n"},
      {"an answer that fills the whole area", std::string(40, 's'),
       "Acknowledgment stamp " + std::string(32, 's') + "\nsend post message to DP 127.0.0.1 successful\n"},
      {"no answer, the connection closed", "", "receive post message acknowledgment failed, error status 0\n"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    AcceptingListener listener;
    ASSERT_TRUE(listener.listening());
    ToolProcess sender("zevpsend");
    ASSERT_TRUE(sender.start({"m=hi", "c=A", "p=" + std::to_string(listener.port()), "a=yes", "d=127.0.0.1"}, {}));
    int connection = listener.take(kRunWaitMs);
    ASSERT_GE(connection, 0);
    EXPECT_EQ(ReadFromConnection(connection, 32, kRunWaitMs), "hi;A;" + Zeros(27));
    if (!c.answer.empty()) {
      EXPECT_EQ(send(connection, c.answer.data(), c.answer.size(), 0), static_cast<ssize_t>(c.answer.size()));
    }
    close(connection);
    EXPECT_EQ(sender.readAll(kRunWaitMs), c.printed);
    int status = sender.waitForEnd(kRunWaitMs);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  }
}

TEST(ZevpsendTest, AnAcknowledgedPostWithNobodyListeningSendsNothing) {
  unsigned short port = FreeLoopbackPort();
  ASSERT_NE(port, 0);
  ToolRun result = Send({"msg=x", "ack=y", "dp=127.0.0.1", "port=" + std::to_string(port)});
  EXPECT_EQ(result.output, "DP not active, error status 111\n");
  EXPECT_EQ(result.exitStatus, 0);
}

TEST(ZevpsendTest, WaitingForTheAcknowledgementItEndsAtOnceOnSigterm) {
  AcceptingListener listener;
  ASSERT_TRUE(listener.listening());
  ToolProcess sender("zevpsend");
  ASSERT_TRUE(sender.start({"msg=x", "ack=y", "dp=127.0.0.1", "port=" + std::to_string(listener.port())}, {}));
  int connection = listener.take(kRunWaitMs);
  ASSERT_GE(connection, 0);
  EXPECT_EQ(ReadFromConnection(connection, 32, kRunWaitMs).size(), 32u) << "the message came; the answer does not";
  auto start = std::chrono::steady_clock::now();
  int status = sender.terminate(kRunWaitMs);
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));
  EXPECT_TRUE(status != -1 && WIFSIGNALED(status) && WTERMSIG(status) == SIGTERM) << status;
  close(connection);
}

}  // namespace
