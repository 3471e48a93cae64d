// The POST data provider in a process of its own (zevdphost POST) under a hostile peer
// on its port, over TCP and UDP: random bytes, spoiled, cut and oversized posts,
// datagrams of 0 and 65,507 bytes, a poster that trickles its post a byte at a time,
// and a thousand connections opened and dropped. A good poster's posts become rows
// throughout, and the provider's resident memory does not grow when the spells come
// again.
#include <gtest/gtest.h>

#include <unistd.h>

#include <string>
#include <thread>
#include <vector>

#include "data_provider_process.h"
#include "dch_road_fixture.h"
#include "eventually.h"
#include "free_port.h"
#include "hostile_peer.h"
#include "posted_message.h"
#include "proc_text.h"

namespace {

constexpr unsigned kWatchdogSeconds = 240;
constexpr unsigned kSeed = 20270115;
constexpr int kRowWaitMs = 10000;
constexpr auto kTrickleInterval = std::chrono::milliseconds(20);
// What the spells may add to the provider's resident memory once it has seen a short
// one: far less than a block per connection or per datagram they send (some 1,500).
constexpr long kGrowthLimitKilobytes = 4 * 1024;

// The next row whose text is the one given, passing the hostile peer's by.
bool RowCame(RowWaiter& rows, const std::string& text) {
  for (std::string message = rows.next(kRowWaitMs); !message.empty(); message = rows.next(kRowWaitMs)) {
    Row row;
    if (ReadRow(message, &row) && row.values.size() == 5 && row.values[3] == text) return true;
  }
  return false;
}

class PostHostilePeerTest : public DCHroadTest {
 protected:
  void SetUp() override {
    DCHroadTest::SetUp();
    alarm(kWatchdogSeconds);
    postPort_ = FreeLoopbackPort();
    ASSERT_NE(postPort_, 0);
  }
  void TearDown() override {
    EXPECT_TRUE(provider_.terminate()) << "exit status 0 after SIGTERM";
    EXPECT_EQ(provider_.errorText().find("Sanitizer"), std::string::npos) << provider_.errorText();
    if (HasFailure()) std::cerr << "The data provider's trace:\n" << provider_.traceText();
    alarm(0);
    DCHroadTest::TearDown();
  }

  // Every hostile spell once.
  void spells(HostileBytes& bytes) {
    EXPECT_EQ(StreamSpell(postPort_, bytes, 50, 8).connected, 50);
    EXPECT_EQ(OpenAndDropConnections(postPort_, 1000), 1000);
    DatagramSpell(postPort_, bytes, 500);
  }

  DataProviderProcess provider_{"POST", port()};
  unsigned short postPort_ = 0;
};

TEST_F(PostHostilePeerTest, AGoodPosterIsServedThroughHostileSpellsAndTheProviderDoesNotGrow) {
  RowWaiter rows("MAS", "DPPOST");
  syncWithServer();
  ASSERT_TRUE(provider_.start({kHostileRunSanitizerSettings, "ZEVP_POST_DP_PORT=" + std::to_string(postPort_)}))
      << provider_.errorText();
  ASSERT_TRUE(Eventually([this] { return rawdch::TcpPeer(postPort_).connected(); }, kRowWaitMs));
  int round = 0;
  // While the hostile peer's own posts still come as rows, a good post is seen served
  // by its stamp; once they have stopped, by its row too.
  auto goodPostStamped = [&] {
    rawdch::TcpPeer stream(postPort_);
    EXPECT_TRUE(stream.send(PostedMessage("good tcp " + std::to_string(++round), "W")));
    EXPECT_EQ(stream.receiveBytes(26, kRowWaitMs).size(), 26u) << "the stamp of round " << round;
  };
  auto goodPostsBecomeRows = [&] {
    while (!rows.next(kAnswerWaitMs).empty()) {
    }
    std::string tcp = "good tcp " + std::to_string(++round), udp = "good udp " + std::to_string(round);
    rawdch::TcpPeer stream(postPort_);
    EXPECT_TRUE(stream.send(PostedMessage(tcp, "W")));
    EXPECT_TRUE(RowCame(rows, tcp)) << "round " << round;
    rawdch::UdpPeer datagrams(postPort_);
    EXPECT_TRUE(datagrams.send(PostedMessage(udp, "I")));
    EXPECT_TRUE(RowCame(rows, udp)) << "round " << round;
  };
  goodPostsBecomeRows();

  HostileBytes bytes(kSeed, {PostedMessage("bad", "W"), PostedMessage("bad", "Q"), "x;;",
                             "*DP*SOCKET*SELECT*SHUTDOWN*INTERRUPT*", PaddedPost("no category")});
  // A short spell first, so that what the provider allocates once is in place.
  StreamSpell(postPort_, bytes, 10, 8);
  OpenAndDropConnections(postPort_, 50);
  DatagramSpell(postPort_, bytes, 100);
  goodPostStamped();
  long before = ResidentKilobytes(provider_.pid());
  EXPECT_EQ(StreamSpell(postPort_, bytes, 50, 8).connected, 50);
  goodPostStamped();
  EXPECT_EQ(OpenAndDropConnections(postPort_, 1000), 1000);
  goodPostStamped();
  DatagramSpell(postPort_, bytes, 500);
  goodPostStamped();
  long after = ResidentKilobytes(provider_.pid());
  ASSERT_GT(before, 0);
  EXPECT_LT(after - before, kGrowthLimitKilobytes) << before << " kB before";

  // A poster whose post comes a byte at a time holds no other up.
  TricklingPeer slow(postPort_, PostedMessage("slow", "W"));
  ASSERT_TRUE(slow.connected());
  while (slow.step()) {
    if (slow.sent() % 8 == 0) goodPostStamped();
    std::this_thread::sleep_for(kTrickleInterval);
  }
  goodPostsBecomeRows();
}

}  // namespace
