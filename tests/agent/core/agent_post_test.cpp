// The POST data provider in the agent program: a message posted over TCP is answered
// with its stamp and comes back, with that stamp, as the row of MAS/dpPost that the
// management server samples.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "agent_process.h"
#include "eventually.h"
#include "free_port.h"
#include "posted_message.h"
#include "raw_dch_peer.h"
#include "zev0/text.h"

namespace {

constexpr int kStartWaitMs = 15000;
// A data provider looks at its threads every five seconds while it ends.
constexpr int kEndWaitMs = 30000;

std::vector<std::string> Split(const std::string& text, char separator) {
  std::vector<std::string> parts;
  size_t from = 0;
  for (size_t end; (end = text.find(separator, from)) != std::string::npos; from = end + 1)
    parts.push_back(text.substr(from, end - from));
  parts.push_back(text.substr(from));
  return parts;
}

TEST(AgentPostTest, APostOverTCPIsStampedAndSampledFromItsTable) {
  AgentProcess agent;
  unsigned short postPort = FreeLoopbackPort();
  ASSERT_NE(postPort, 0);
  ASSERT_TRUE(agent.start({"POST"}, {"ZEVP_POST_DP_PORT=" + std::to_string(postPort)})) << agent.failure();
  std::string table;
  ASSERT_TRUE(Eventually(
      [&] {
        std::vector<std::string> tables = LinesWith(agent.zevraf({"tables"}), "MAS00\t");
        if (!tables.empty()) table = tables[0].substr(tables[0].find('\t') + 1);
        return !tables.empty() && !LinesWith(agent.zevraf({"subnodes"}), "POSTdp:MAS00\t").empty();
      },
      kStartWaitMs))
      << agent.traceText() << agent.errorText();
  ASSERT_TRUE(Eventually([postPort] { return rawdch::TcpPeer(postPort).connected(); }, kStartWaitMs));

  rawdch::TcpPeer poster(postPort);
  ASSERT_TRUE(poster.send(PostedMessage("Disk full", "W")));
  std::string stamp = poster.receiveBytes(26, kStartWaitMs);
  ASSERT_EQ(stamp.size(), 26u) << agent.traceText();
  char checkSum[8];
  std::snprintf(checkSum, sizeof checkSum, "%05u", static_cast<unsigned>(ZEV0_ComputeCheckSum("Disk full", 9)));
  EXPECT_EQ(stamp.substr(0, 8), "7F000001");
  EXPECT_EQ(stamp.substr(20), std::string("W") + checkSum);

  std::vector<std::string> rows;
  EXPECT_TRUE(Eventually(
      [&] { return !(rows = LinesWith(agent.zevraf({"sample", "MAS00", table}), "\tDisk full\t")).empty(); },
      kStartWaitMs))
      << agent.zevraf({"sample", "MAS00", table}).output;
  ASSERT_EQ(rows.size(), 1u);
  std::vector<std::string> columns = Split(rows[0], '\t');
  ASSERT_EQ(columns.size(), 6u) << rows[0];
  EXPECT_EQ(columns[0].substr(columns[0].size() - 12), "POSTdp:MAS00") << "the origin node is the POST source's";
  EXPECT_EQ(columns[1].substr(1, 12), stamp.substr(8, 12)) << "the stamp's time is the row's";
  EXPECT_EQ(columns[2], "localhost");
  EXPECT_EQ(columns[3], stamp);
  EXPECT_EQ(columns[4], "Disk full");
  EXPECT_EQ(columns[5], "Warning");

  EXPECT_EQ(agent.terminate(kEndWaitMs), 0) << agent.errorText();
  EXPECT_EQ(agent.errorText().find("Sanitizer"), std::string::npos) << agent.errorText();
}

}  // namespace
