// The socket data provider's server in the test process: TCP and UDP partners on its
// port bound by their association record, by address, or refused; their records as
// rows at a parked consumer; their end of input; acknowledgements; and the shut-down.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "dch_work_queue.h"
#include "dp_anchor.h"
#include "hostile_peer.h"
#include "io_entry.h"
#include "model_lookups.h"
#include "partner_sockets.h"
#include "socket_input_fixture.h"
#include "statistic_counts.h"
#include "source_entry.h"
#include "trace_capture.h"
#include "zev/dp_types.h"

namespace {

constexpr int kAckWaitMs = 2000;

const std::vector<std::string> kLines = {"//APPL Lines", "//NAME Text P 60", "//ATTRIBUTES ';'", "Name D 16",
                                         "Count C 100000"};

std::string Seq(int number) { return std::string("\0\0\0", 3) + static_cast<char>(number); }

class SocketServerTest : public SocketInputTest {
 protected:
  void SetUp() override {
    SocketInputTest::SetUp();
    if (HasFatalFailure()) return;
    metafile("lines", kLines);
  }
};

TEST_F(SocketServerTest, ATCPpartnersAssociationAndRecordsInOneSegmentBecomeRows) {
  ASSERT_NE(start(ZEV_DP_SOCK), nullptr);
  RowWaiter rows("Lines", "Text");
  syncWithServer();
  StreamEnd partner(socketPort());
  ASSERT_TRUE(partner.connected());
  ASSERT_TRUE(partner.send("//lines\r\nfirst;1\r\nsecond;2\r\n"));
  EXPECT_EQ(NextRowText(rows), "first/17");
  EXPECT_EQ(NextRowText(rows), "second/17");
  DPlogMessage accepted = log().waitFor(21);
  EXPECT_EQ(accepted.inserts, (std::vector<std::string>{"localhost", "127.0.0.1", accepted.inserts.at(2), "Lines",
                                                        "Text"}));
  ASSERT_TRUE(partner.send("third;3\n"));
  EXPECT_EQ(NextRowText(rows), "third/17");
  partner.close();
  DPlogMessage ended = log().waitFor(24);
  EXPECT_EQ(ended.inserts.at(0), "TCP");
  EXPECT_EQ(ended.inserts.at(3), "Lines");
}

// The process's statistics follow the partners: an accepted connection is an open
// socket until it ends, each wait and receive an I/O operation, each row a message
// to the agent.
TEST_F(SocketServerTest, TheStatisticsCountConnectionsReceivesAndRows) {
  ASSERT_NE(start(ZEV_DP_SOCK), nullptr);
  RowWaiter rows("Lines", "Text");
  syncWithServer();
  StatisticCounts before = CountsOf(anchor());
  StreamEnd partner(socketPort());
  ASSERT_TRUE(partner.connected());
  ASSERT_TRUE(partner.send("//lines\r\nfirst;1\r\n"));
  EXPECT_EQ(NextRowText(rows), "first/17");
  ASSERT_TRUE(partner.send("second;2\n"));
  EXPECT_EQ(NextRowText(rows), "second/17");
  StatisticCounts connected = CountsOf(anchor());
  EXPECT_EQ(connected.openedSockets, before.openedSockets + 1);
  // The first data's wait and receive, a receive, and a wait of the loop for each.
  EXPECT_GE(connected.socketIOs - before.socketIOs, 5u);
  EXPECT_GE(connected.dchMessages - before.dchMessages, 2u);
  partner.close();
  log().waitFor(24);
  EXPECT_EQ(CountsOf(anchor()).openedSockets, before.openedSockets) << "the ended connection is no longer open";
}

TEST_F(SocketServerTest, AUDPpartnerIsBoundByItsAssociationUnboundByItsEndAndBoundAgainByAddress) {
  metafile("seq", {"//APPL Seq", "//NAME Text P 60", "//CONFIRM SEQ", "//ATTRIBUTES ';'", "Name D 16",
                   "Count C 100000"});
  ASSERT_NE(start(ZEV_DP_SOCK), nullptr);
  RowWaiter rows("Seq", "Text");
  syncWithServer();
  DatagramEnd partner;
  partner.sendTo(socketPort(), "//seq");
  EXPECT_EQ(partner.next(kAckWaitMs), Seq(1));
  EXPECT_EQ(log().waitFor(31).inserts.at(3), "Seq");
  partner.sendTo(socketPort(), "one;1\ntwo;2");
  EXPECT_EQ(partner.next(kAckWaitMs), Seq(2));
  EXPECT_EQ(NextRowText(rows), "one/17");
  EXPECT_EQ(NextRowText(rows), "two/17");
  partner.sendTo(socketPort(), "long;3;" + std::string(3000, 'l'));
  EXPECT_EQ(partner.next(kAckWaitMs), Seq(3));
  EXPECT_EQ(NextRowText(rows), "long/17") << "longer than its input buffer, cut to it";

  partner.sendTo(socketPort(), "//END-DP-INPUT");
  EXPECT_EQ(partner.next(kAckWaitMs), Seq(4)) << "acknowledged before it is processed";
  DPlogMessage ended = log().waitFor(24);
  EXPECT_EQ(ended.inserts.at(0), "UDP");
  BSV1_GetLock(&anchor()->sockIOListLock);
  IOEntry* bound = anchor()->sockIOEntries;
  BSV1_ReleaseLock(&anchor()->sockIOListLock);
  ASSERT_NE(bound, nullptr);
  EXPECT_TRUE(WaitFor([bound] { return ZEVP_SourceStateOf(bound->Source) == ZEVP_Ready; })) << "offline";
  EXPECT_TRUE(WaitFor([bound] { return BoundSocketOf(bound) == 0; })) << "unbound";

  partner.sendTo(socketPort(), "three;3");
  EXPECT_EQ(partner.next(kAckWaitMs), Seq(1)) << "bound again, counted from 1";
  EXPECT_EQ(NextRowText(rows), "three/17");
  EXPECT_EQ(log().count(31), 1) << "found again by its address";
}

// Each datagram puts a partner's expiry off by the group's time to live five times
// over; the periodic task takes a partner whose expiry passed offline.
TEST_F(SocketServerTest, ADatagramPartnerExpiresAfterItsGroupsTimeToLiveFiveTimesOver) {
  ASSERT_NE(start(ZEV_DP_SOCK), nullptr);
  RowWaiter rows("Lines", "Text");
  syncWithServer();
  DatagramEnd partner;
  partner.sendTo(socketPort(), "//lines");
  partner.sendTo(socketPort(), "one;1");
  EXPECT_EQ(NextRowText(rows), "one/17");
  TraceCapture trace("*=0x90 storage=0x80");
  clock().advance(290);
  partner.sendTo(socketPort(), "two;2");
  EXPECT_EQ(NextRowText(rows), "two/17");
  clock().advance(290);
  partner.sendTo(socketPort(), "three;3");
  EXPECT_EQ(NextRowText(rows), "three/17") << "not expired: renewed by the datagram before";
  EXPECT_FALSE(trace.contains("UDP contact expired"));
  clock().advance(301);
  EXPECT_TRUE(WaitFor([&trace] { return trace.contains("UDP contact expired for 127.0.0.1"); }));
  BSV1_GetLock(&anchor()->sockIOListLock);
  IOEntry* bound = anchor()->sockIOEntries;
  BSV1_ReleaseLock(&anchor()->sockIOListLock);
  EXPECT_TRUE(WaitFor([bound] { return BoundSocketOf(bound) == 0; })) << "unbound";
}

// A predefined partner connected over TCP keeps its connection: another one from
// its address is not its partner's (the partner has its connection) and, without an
// association record, is closed as soon as it sends or once its first data is late;
// when the first connection has ended, the next is bound to the partner again.
TEST_F(SocketServerTest, ASecondConnectionFromAConnectedPredefinedPartnerIsClosedAndTheFirstGoesOn) {
  metafile("pre", {"//APPL Pre", "//NAME Text P 60", "//SOURCE SOCK 127.0.0.1", "//ATTRIBUTES ';'", "Name D 16"});
  ASSERT_NE(start(ZEV_DP_SOCK), nullptr);
  ASSERT_NE(load("pre"), nullptr);
  RowWaiter rows("Pre", "Text");
  syncWithServer();
  StreamEnd first(socketPort());
  ASSERT_TRUE(first.send("one\n"));
  EXPECT_EQ(NextRowText(rows), "one/17");
  EXPECT_EQ(log().waitFor(21).inserts.at(3), "Pre");

  StreamEnd sending(socketPort());
  ASSERT_TRUE(sending.send("intruder\n"));
  EXPECT_TRUE(sending.closedByPeer(kAckWaitMs));
  EXPECT_EQ(log().waitFor(56).inserts, (std::vector<std::string>{"TCP", "localhost"}));
  const int32_t open = CountsOf(anchor()).openedSockets;
  StreamEnd silent(socketPort());
  ASSERT_TRUE(WaitFor([&] { return CountsOf(anchor()).openedSockets == open + 1; })) << "accepted";
  ASSERT_TRUE(first.send("two\n"));
  EXPECT_EQ(NextRowText(rows), "two/17") << "the first connection goes on";
  clock().advance(6);
  EXPECT_TRUE(silent.closedByPeer(kAckWaitMs));
  EXPECT_EQ(log().waitFor(22).inserts, std::vector<std::string>{"localhost"});
  EXPECT_EQ(log().count(21), 1);

  first.close();
  EXPECT_EQ(log().waitFor(24).inserts.at(3), "Pre");
  StreamEnd again(socketPort());
  ASSERT_TRUE(again.send("three\n"));
  EXPECT_EQ(NextRowText(rows), "three/17");
  EXPECT_EQ(log().count(21), 2);
}

// Connections from a known partner that is not connected, opened and dropped before
// they send, bind nothing and take no source online: the server, which would wait for
// each to go online and offline again, keeps serving. A returning partner is bound by
// its first data, and records that come with it become rows.
TEST_F(SocketServerTest, ConnectionsOfAKnownPartnerDroppedBeforeTheirDataBindNothing) {
  metafile("pre", {"//APPL Pre", "//NAME Text P 60", "//SOURCE SOCK 127.0.0.1", "//ATTRIBUTES ';'", "Name D 16"});
  ASSERT_NE(start(ZEV_DP_SOCK), nullptr);
  ASSERT_NE(load("pre"), nullptr);
  RowWaiter rows("Pre", "Text");
  syncWithServer();
  const int32_t open = CountsOf(anchor()).openedSockets;
  ASSERT_EQ(OpenAndDropConnections(socketPort(), 200), 200);
  StreamEnd silent(socketPort());
  ASSERT_TRUE(WaitFor([&] { return CountsOf(anchor()).openedSockets == open + 1; })) << "the dropped ones counted out";
  clock().advance(6);

  StreamEnd partner(socketPort());
  ASSERT_TRUE(partner.send("one\ntwo\n"));
  EXPECT_EQ(NextRowText(rows), "one/17");
  EXPECT_EQ(NextRowText(rows), "two/17");
  EXPECT_FALSE(silent.closedByPeer(0)) << "a known partner's connection may wait for its data";
  EXPECT_EQ(log().count(21), 1) << "only the connection that sent was bound";
  EXPECT_EQ(log().count(24) + log().count(22), 0);
  ASSERT_TRUE(silent.send("three\n"));
  EXPECT_TRUE(silent.closedByPeer(kAckWaitMs)) << "refused once it sends, its partner connected";
  ASSERT_TRUE(partner.send("four\n"));
  EXPECT_EQ(NextRowText(rows), "four/17");
}

// An association record naming an application of two groups, none of which has a
// source for the sender, is refused: over TCP with message 23 and a closed
// connection, over UDP with message 29; the application loaded for it goes again.
TEST_F(SocketServerTest, AnAssociationWithAnApplicationOfTwoGroupsAndNoSourceIsRefused) {
  metafile("two", {"//APPL Two", "//NAME First P 60", "//ATTRIBUTES ';'", "Name D 16", "//NAME Second P 60",
                   "//ATTRIBUTES ';'", "Name D 16"});
  ASSERT_NE(start(ZEV_DP_SOCK), nullptr);
  RowWaiter rows("Lines", "Text");
  syncWithServer();
  StreamEnd good(socketPort());
  ASSERT_TRUE(good.send("//lines\ngood;1\n"));
  ASSERT_EQ(NextRowText(rows), "good/17");

  StreamEnd stream(socketPort());
  ASSERT_TRUE(stream.send("//two\r\nrow;1\r\n"));
  EXPECT_TRUE(stream.closedByPeer(kAckWaitMs));
  EXPECT_EQ(log().waitFor(23).inserts, (std::vector<std::string>{"localhost", "Two", "localhost"}));
  DatagramEnd datagrams;
  datagrams.sendTo(socketPort(), "//two");
  EXPECT_EQ(log().waitFor(29).inserts, (std::vector<std::string>{"localhost", "Two", "localhost"}));

  ASSERT_TRUE(good.send("after;1\n"));
  EXPECT_EQ(NextRowText(rows), "after/17");
  EXPECT_EQ(ZEVP_LocateApplicationByName(anchor(), "Two", 3), nullptr) << "released again";
  EXPECT_EQ(log().count(23), 1);
  EXPECT_EQ(log().count(29), 1);
}

// A predefined partner needs no association record; one marked EBCDIC (E) has its
// records converted.
TEST_F(SocketServerTest, APredefinedPartnerNeedsNoAssociationAndAnEBCDICoreHasItsRecordsConverted) {
  metafile("ebc", {"//APPL Ebc", "//NAME Text P 60", "//SOURCE SOCK 127.0.0.1 E", "//ATTRIBUTES ';'", "Name D 16",
                   "Count C 100000"});
  ASSERT_NE(start(ZEV_DP_SOCK), nullptr);
  ASSERT_NE(load("ebc"), nullptr);
  RowWaiter rows("Ebc", "Text");
  syncWithServer();
  DatagramEnd partner;
  partner.sendTo(socketPort(), ToNetworkCode("alpha;1\r\n"));
  EXPECT_EQ(NextRowText(rows), "alpha/17");
  EXPECT_EQ(log().count(56), 0);
}

TEST_F(SocketServerTest, AnAssociationRecordInEBCDICmakesAPartnerWhoseRecordsAreConverted) {
  ASSERT_NE(start(ZEV_DP_SOCK), nullptr);
  RowWaiter rows("Lines", "Text");
  syncWithServer();
  StreamEnd partner(socketPort());
  ASSERT_TRUE(partner.send(ToNetworkCode("//lines\r\nalpha;1\r\n")));
  EXPECT_EQ(NextRowText(rows), "alpha/17");
  ASSERT_TRUE(partner.send(ToNetworkCode("beta;2\r\n")));
  EXPECT_EQ(NextRowText(rows), "beta/17");
}

// 64 KiB of records in one burst come in many receives; none is cut in two.
TEST_F(SocketServerTest, ABurstOfRecordsOverTCPisTakenWithoutCuttingARecord) {
  ASSERT_NE(start(ZEV_DP_SOCK), nullptr);
  RowDrain rows("Lines", "Text");
  syncWithServer();
  StreamEnd partner(socketPort());
  std::string burst = "//lines\n";
  int count = 0;
  while (burst.size() < 65536) {
    ++count;
    burst += "record" + std::to_string(count) + ";" + std::to_string(count) + "\n";
  }
  ASSERT_TRUE(partner.send(burst));
  std::vector<std::string> taken = rows.waitFor(static_cast<size_t>(count));
  ASSERT_EQ(taken.size(), static_cast<size_t>(count));
  for (int n = 1; n <= count; ++n) ASSERT_EQ(taken[n - 1], "record" + std::to_string(n) + "/17") << "row " << n;
}

// Each kind of bad input gets its answer (a DP log message, a closed connection,
// nothing for an interrupt) while a good partner's rows keep coming.
TEST_F(SocketServerTest, BadInputGetsItsAnswerWhileAGoodPartnersRowsKeepFlowing) {
  ASSERT_NE(start(ZEV_DP_SOCK), nullptr);
  RowWaiter rows("Lines", "Text");
  syncWithServer();
  StreamEnd good(socketPort());
  ASSERT_TRUE(good.send("//lines\ngood0;1\n"));
  ASSERT_EQ(NextRowText(rows), "good0/17");

  const struct {
    const char* title;
    bool tcp;
    std::string bytes;
    int message;  // the DP log message it gets; 0: none
  } cases[] = {
      {"garbage", false, "garbage", 56},
      {"garbage over TCP", true, "garbage\n", 56},
      {"an oversized datagram", false, std::string(65000, 'x'), 56},
      {"a truncated association", false, "/", 56},
      {"an end of input from a stranger", false, "//END-DP-INPUT", 56},
      {"a metafile out of the folder", false, "//../x", 30},
      {"a metafile out of the folder over TCP", true, "//../x\r\n", 30},
      {"a 5000-byte metafile name", false, "//" + std::string(5000, 'n'), 30},
      {"a 5000-byte metafile name over TCP", true, "//" + std::string(5000, 'n') + "\n", 30},
      {"a metafile that is not there", false, "//nosuch", 30},
      {"a prefix of an interrupt", false, "*DP*", 0},
  };
  int round = 0;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.title);
    int before = log().count(c.message);
    if (c.tcp) {
      StreamEnd stranger(socketPort());
      ASSERT_TRUE(stranger.send(c.bytes));
      EXPECT_TRUE(stranger.closedByPeer(kAckWaitMs));
    } else {
      DatagramEnd stranger;
      stranger.sendTo(socketPort(), c.bytes);
    }
    std::string name = "good" + std::to_string(++round);
    ASSERT_TRUE(good.send(name + ";1\n"));
    EXPECT_EQ(NextRowText(rows), name + "/17");
    if (c.message != 0) {
      EXPECT_TRUE(WaitFor([&] { return log().count(c.message) == before + 1; }));
    }
  }
  EXPECT_EQ(log().count(29) + log().count(23) + log().count(22), 0);

  // Longer than the shut-down text that it begins with: data.
  ASSERT_TRUE(good.send(std::string("*DP*SOCKET*SELECT*SHUTDOWN*INTERRUPT*") + std::string(62, 'z') + ";1\n"));
  EXPECT_EQ(NextRowText(rows), "*DP*SOCKET*SELEC/17");
}

// Connections that never send wait beside the others until their time runs out;
// beyond the ones that may wait, a flood makes the longest waiting ones go first.
// Datagrams of a flood are taken a bounded number a pass.
TEST_F(SocketServerTest, SilentConnectionsAndFloodsHoldNoPartnerUp) {
  ASSERT_NE(start(ZEV_DP_SOCK), nullptr);
  RowWaiter rows("Lines", "Text");
  syncWithServer();
  std::vector<std::unique_ptr<StreamEnd>> silent;
  for (int n = 0; n < 80; ++n) silent.push_back(std::make_unique<StreamEnd>(socketPort()));
  StreamEnd good(socketPort());
  ASSERT_TRUE(good.send("//lines\ngood;1\n"));
  EXPECT_EQ(NextRowText(rows), "good/17") << "accepted beside the silent ones";
  EXPECT_EQ(log().count(22), 17) << "the longest waiting beyond the 64 that may wait";

  DatagramEnd flood;
  for (int n = 0; n < 500; ++n) flood.sendTo(socketPort(), "junk");
  ASSERT_TRUE(good.send("after;1\n"));
  EXPECT_EQ(NextRowText(rows), "after/17");

  clock().advance(6);
  EXPECT_TRUE(WaitFor([this] { return log().count(22) == 80; })) << "after 5 seconds";
  for (const auto& connection : silent) EXPECT_TRUE(connection->closedByPeer(kAckWaitMs));
  EXPECT_EQ(log().waitFor(22).inserts, std::vector<std::string>{"localhost"});
  ASSERT_TRUE(good.send("last;1\n"));
  EXPECT_EQ(NextRowText(rows), "last/17");
}

TEST_F(SocketServerTest, AtShutDownEveryBoundPartnerGoesOfflineAndItsConnectionIsClosed) {
  metafile("pre", {"//APPL Pre", "//NAME Text P 60", "//SOURCE SOCK 127.0.0.1", "//ATTRIBUTES ';'", "Name D 16"});
  ASSERT_NE(start(ZEV_DP_SOCK), nullptr);
  ASSERT_NE(load("pre"), nullptr);
  RowWaiter rows("Pre", "Text");
  RowWaiter lines("Lines", "Text");
  syncWithServer();
  DatagramEnd datagrams;
  datagrams.sendTo(socketPort(), "udp");
  EXPECT_EQ(NextRowText(rows), "udp/17");
  StreamEnd connection(socketPort());
  ASSERT_TRUE(connection.send("//lines\ntcp;1\n"));
  EXPECT_EQ(NextRowText(lines), "tcp/17");
  TraceCapture trace("*=0x90 storage=0x80");
  stop();
  EXPECT_EQ(trace.count(">>>>> Socket/API server performs dp_offline at shutdown for 127.0.0.1"), 2);
  EXPECT_EQ(trace.count(">>>>> Socket/API server performs dp_offline for localhost on request"), 2);
  EXPECT_EQ(trace.count("dp_offline failed"), 0);
  EXPECT_TRUE(connection.closedByPeer(kAckWaitMs));
}

}  // namespace
