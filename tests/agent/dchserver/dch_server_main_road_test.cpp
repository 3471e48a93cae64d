// The main road of a row, end to end: a data provider (a raw peer, over TCP or over
// UDP) registers an application and puts sources online through the DCH server in its
// host program; the library's consumer verbs of this process read the application's
// texts, wait for its rows and hear of every source that comes and goes.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "dch/dch_api.h"
#include "dch_road_fixture.h"

namespace {

using rawdch::Group;

const std::vector<Group> kTwoGroups = {
    {"G1", "group one", 'P', 300, kNameAndCount},
    {"G2", "group two", 'S', 60, "@KEY,D,4, ,the key;"},
};

enum class Transport { tcp, udp };

class MainRoadTest : public DCHroadTest, public ::testing::WithParamInterface<Transport> {
 protected:
  std::unique_ptr<rawdch::Peer> provider() {
    if (GetParam() == Transport::tcp) return std::make_unique<rawdch::TcpPeer>(port());
    return std::make_unique<rawdch::UdpPeer>(port());
  }

  // The application is no longer registered: an online for it answers 4.
  void expectUnregistered(const char* applName) {
    rawdch::UdpPeer probe(port());
    EXPECT_EQ(probe.exchange(rawdch::OnlineRequest(applName, "G1", "PROBE"), kAnswerWaitMs).status, 4);
  }
};

TEST_P(MainRoadTest, ARowTravelsFromTheDataProviderToTheFirstParkedConsumer) {
  StatusWaiter status;
  ASSERT_TRUE(status.parked());
  syncWithServer();
  std::unique_ptr<rawdch::Peer> peer = provider();
  ASSERT_NO_FATAL_FAILURE(registerApplication(*peer, "APPL", kTwoGroups));

  EXPECT_EQ(Text(dc_getApplications, "APPL"), "APPL,G1,P,300:G2,S,60:;");
  EXPECT_EQ(Text(dc_getApplAttributes, "APPL"), "G1,NAME,D,8:CNT,C,4:;G2,@KEY,D,4:;");
  EXPECT_EQ(Text(dc_getApplHelp, "APPL"),
            "appl help,G1,group one,NAME,the name, ,CNT,a count, :G2,group two,KEY,the key, :;");

  RowWaiter first("APPL", "G1");
  syncWithServer();
  RowWaiter second("APPL", "G1");
  syncWithServer();
  ASSERT_TRUE(first.parked() && second.parked());

  // Every online answers a new handle: the data provider uses its latest one.
  uint32_t earlier = online(*peer, "APPL", "G1", "HOST1");
  EXPECT_EQ(status.next(kAnswerWaitMs), "APPL,G1,HOST1,4117");
  uint32_t latest = online(*peer, "APPL", "G1", "HOST1");
  EXPECT_EQ(status.next(kAnswerWaitMs), "APPL,G1,HOST1,4117");
  EXPECT_NE(latest, earlier);

  ASSERT_EQ(sendNameAndCount(*peer, latest, "alpha", 7), 0);
  Row row;
  ASSERT_TRUE(ReadRow(first.next(kAnswerWaitMs), &row));
  EXPECT_EQ(row.sourceName, "HOST1");
  EXPECT_EQ(row.controlField, 0x11);
  ASSERT_EQ(row.values.size(), 2u);
  EXPECT_EQ(row.values[0], "alpha");
  EXPECT_EQ(CounterValue(row.values[1]), 7);
  EXPECT_EQ(second.next(kSilenceMs), "") << "only the first waiter gets the row";

  EXPECT_EQ(sendNameAndCount(*peer, earlier, "old", 1), 2) << "the earlier handle is gone";
  ASSERT_EQ(sendNameAndCount(*peer, latest, "beta", 8), 0);
  ASSERT_TRUE(ReadRow(first.next(kAnswerWaitMs), &row)) << "the first waiter stays parked";
  EXPECT_EQ(row.values[0], "beta");
  EXPECT_EQ(CounterValue(row.values[1]), 8);

  uint32_t other = online(*peer, "APPL", "G2", "HOST2");
  EXPECT_EQ(status.next(kAnswerWaitMs), "APPL,G2,HOST2,4117");

  if (GetParam() == Transport::tcp) {
    // A data provider that goes takes its sources and applications with it.
    static_cast<rawdch::TcpPeer&>(*peer).close();
  } else {
    EXPECT_EQ(peer->exchange(rawdch::OfflineRequest(latest), kAnswerWaitMs).status, 0);
    EXPECT_EQ(peer->exchange(rawdch::OfflineRequest(other), kAnswerWaitMs).status, 0);
    EXPECT_EQ(peer->exchange(rawdch::UnregisterRequest("APPL"), kAnswerWaitMs).status, 0);
  }
  EXPECT_EQ(status.nextSorted(2, kAnswerWaitMs),
            (std::vector<std::string>{"APPL,G1,HOST1,4133", "APPL,G2,HOST2,4133"}));
  expectUnregistered("APPL");
}

INSTANTIATE_TEST_SUITE_P(OverEachTransport, MainRoadTest, ::testing::Values(Transport::tcp, Transport::udp),
                         [](const ::testing::TestParamInfo<Transport>& info) {
                           return info.param == Transport::tcp ? std::string("Tcp") : std::string("Udp");
                         });

}  // namespace
