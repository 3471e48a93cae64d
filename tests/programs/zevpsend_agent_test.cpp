// The post sender with the POST data provider of the agent program: a message over UDP
// becomes a row of MAS/dpPost, and over TCP the stamp it prints is its row's
// acknowledgement stamp. The agent is killed at the end.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "agent_process.h"
#include "eventually.h"
#include "free_port.h"
#include "socket_tables.h"
#include "tool_process.h"

namespace {

constexpr int kStartWaitMs = 20000;
constexpr int kRunWaitMs = 40000;
constexpr size_t kStampSize = 26;

TEST(ZevpsendAgentTest, PostsBecomeRowsAndTheStampPrintedIsTheRows) {
  AgentProcess agent;
  const std::string port = std::to_string(FreeLoopbackPort());
  ASSERT_TRUE(agent.start({"POST"}, {"ZEVP_POST_DP_PORT=" + port, "ZEV_DP_HOSTNAME=localhost"})) << agent.failure();
  ASSERT_TRUE(Eventually([&] { return TcpAndUdpServed(static_cast<unsigned short>(std::stoi(port))); },
                         kStartWaitMs))
      << agent.traceText();

  ToolRun datagram = RunTool("zevpsend", {"msg=hello", "dp=127.0.0.1", "port=" + port}, {}, kRunWaitMs);
  EXPECT_EQ(datagram.output, "send post message to DP 127.0.0.1 successful\n");
  EXPECT_TRUE(RowSampled(agent, "MAS00", "\thello\tInformation", kStartWaitMs)) << agent.traceText();

  ToolRun acknowledged = RunTool("zevpsend", {"m=disk", "c=W", "p=" + port, "a=yes", "d=127.0.0.1"}, {}, kRunWaitMs);
  const std::string lead = "Acknowledgment stamp ";
  ASSERT_EQ(acknowledged.output.rfind(lead, 0), 0u) << acknowledged.output;
  const std::string stamp = acknowledged.output.substr(lead.size(), kStampSize);
  EXPECT_EQ(acknowledged.output.substr(lead.size() + kStampSize),
            "\nsend post message to DP 127.0.0.1 successful\n");
  EXPECT_EQ(stamp.substr(0, 8), "7F000001") << "the sender's address";
  EXPECT_TRUE(RowSampled(agent, "MAS00", "\t" + stamp + "\tdisk\tWarning", kStartWaitMs))
      << agent.zevraf({"tables"}).output;
}

}  // namespace
