// The API data provider's server in the test process: raw API partners over UDP
// and TCP (the client library's layout, in EBCDIC), their replies, their rows at
// a parked consumer, their sessions' dynamic sources.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "application_deletion.h"
#include "application_entry.h"
#include "dch_work_queue.h"
#include "dp_anchor.h"
#include "hostile_peer.h"
#include "io_entry.h"
#include "partner_sockets.h"
#include "socket_server_loop.h"
#include "socket_input_fixture.h"
#include "statistic_counts.h"
#include "source_entry.h"
#include "table_entry.h"
#include "zev/dp_types.h"

namespace {

constexpr int kReplyWaitMs = 2000;

const std::vector<std::string> kOrders = {"//APPL Orders", "//NAME Lines P 60", "//ATTRIBUTES ';'", "Item D 16",
                                          "Count C 100000"};

std::string Request(const std::string& verb, const std::string& operands = "") {
  return ToNetworkCode("ZEVPAPI300" + verb + operands);
}

// The sources of the group, in order.
std::vector<SourceEntry*> SourcesOf(TableEntry* group) {
  std::vector<SourceEntry*> sources;
  BSV1_GetLock(&group->SourceListLock);
  for (SourceEntry* source = group->FirstSource; source != nullptr; source = source->next) sources.push_back(source);
  BSV1_ReleaseLock(&group->SourceListLock);
  return sources;
}

int APIpartners(DPAB* anchor) {
  int count = 0;
  BSV1_GetLock(&anchor->apiIOListLock);
  for (IOEntry* partner = anchor->apiIOEntries; partner != nullptr; partner = partner->NextOfKind) ++count;
  BSV1_ReleaseLock(&anchor->apiIOListLock);
  return count;
}

class APIserverTest : public SocketInputTest {
 protected:
  void SetUp() override {
    SocketInputTest::SetUp();
    if (HasFatalFailure()) return;
    metafile("orders", kOrders);
    ASSERT_NE(start(ZEV_DP_APIS), nullptr);
    ASSERT_NE(application_ = load("orders"), nullptr);
    stamp_ = std::to_string(static_cast<long>(anchor()->startTime));
  }
  // The reply to a request from the datagram partner, in the local code.
  std::string exchange(DatagramEnd& partner, const std::string& request) {
    partner.sendTo(apiPort(), request);
    std::string reply = partner.next(kReplyWaitMs);
    return reply == "<none>" ? reply : ToLocalCode(reply);
  }
  std::string exchange(StreamEnd& partner, const std::string& request) {
    if (!partner.send(request)) return "<not sent>";
    std::string reply = partner.next(kReplyWaitMs);
    return reply == "<none>" ? reply : ToLocalCode(reply);
  }
  std::string status(int status) const { return std::to_string(status) + " " + stamp_; }

  ApplicationEntry* application_ = nullptr;
  std::string stamp_;
};

TEST_F(APIserverTest, ADatagramPartnerBeginsSendsBlocksAndEndsItsInput) {
  RowWaiter rows("Orders", "Lines");
  syncWithServer();
  DatagramEnd partner;
  EXPECT_EQ(exchange(partner, Request("SNDDTA", "x;1")), status(13)) << "BGNINP comes first";
  EXPECT_EQ(exchange(partner, Request("BGNINP", "Orders Lines ")), status(0) + "#;");
  EXPECT_EQ(log().waitFor(33).inserts, (std::vector<std::string>{"Orders", "Lines", "localhost"}));
  const struct {
    std::string request;
    std::vector<std::string> rows;
  } requests[] = {
      {Request("BGNROW"), {}},
      {Request("SNDDTA", "a;1\nb;2\nc;3"), {"a/1", "b/0"}},
      {Request("ENDROW"), {"c/16"}},
      {Request("SNDDTA", "d;4"), {"d/17"}},
  };
  for (const auto& r : requests) {
    EXPECT_EQ(exchange(partner, r.request), status(0));
    for (const std::string& row : r.rows) EXPECT_EQ(NextRowText(rows), row);
  }
  EXPECT_EQ(exchange(partner, Request("ENDINP")), status(0));
  EXPECT_EQ(log().waitFor(35).inserts, (std::vector<std::string>{"Orders", "Lines", "localhost"}));
  SourceEntry* source = application_->FirstTable->FirstSource;
  EXPECT_TRUE(WaitFor([source] { return BoundSocketOf(source->IO) == 0; })) << "unbound after the reply";
  EXPECT_EQ(ZEVP_SourceStateOf(source), ZEVP_Ready);

  EXPECT_EQ(exchange(partner, Request("SNDDTA", "e;5")), status(13)) << "a new binding begins with BGNINP";
  EXPECT_EQ(exchange(partner, Request("BGNINP", "Orders Lines ")), status(0) + "#;");
  EXPECT_EQ(exchange(partner, Request("SNDDTA", "f;6")), status(0));
  EXPECT_EQ(NextRowText(rows), "f/17");
}

// At the data provider's end every bound API partner is taken offline from outside:
// a session finds its connection closed and a datagram partner is told nothing, for
// the client library would take a reply it did not ask for as the answer to its
// next request.
TEST_F(APIserverTest, AtShutDownAnAPIpartnerGetsNoReplyItDidNotAskFor) {
  RowWaiter rows("Orders", "Lines");
  syncWithServer();
  DatagramEnd partner;
  StreamEnd session(apiPort());
  ASSERT_TRUE(session.connected());
  EXPECT_EQ(exchange(partner, Request("BGNINP", "Orders Lines ")), status(0) + "#;");
  EXPECT_EQ(exchange(session, Request("BGNINP", "Orders Lines ")), status(0) + "#;");
  EXPECT_EQ(exchange(partner, Request("SNDDTA", "a;1")), status(0));
  EXPECT_EQ(NextRowText(rows), "a/17");
  EXPECT_EQ(exchange(session, Request("SNDDTA", "b;2")), status(0));
  EXPECT_EQ(NextRowText(rows), "b/17");
  stop();
  EXPECT_EQ(log().count(35), 2) << "both partners' input ended";
  EXPECT_TRUE(session.closedByPeer(kReplyWaitMs));
  EXPECT_EQ(partner.next(kSilenceMs), "<none>");
}

// Each request a partner sends counts as an API call of the process's statistics.
TEST_F(APIserverTest, EachRequestCountsAsAnAPIcall) {
  RowWaiter rows("Orders", "Lines");
  syncWithServer();
  StatisticCounts before = CountsOf(anchor());
  DatagramEnd partner;
  EXPECT_EQ(exchange(partner, Request("BGNINP", "Orders Lines ")), status(0) + "#;");
  EXPECT_EQ(exchange(partner, Request("SNDDTA", "a;1")), status(0));
  EXPECT_EQ(NextRowText(rows), "a/17");
  EXPECT_EQ(exchange(partner, Request("ENDINP")), status(0));
  StatisticCounts after = CountsOf(anchor());
  EXPECT_EQ(after.apiCalls - before.apiCalls, 3u);
  EXPECT_GE(after.socketIOs - before.socketIOs, 3u) << "a drain of the UDP socket for each";
}

// A second partner while the group's source is taken gets a dynamic source of its
// own, which serves its later requests and goes with its end of input.
TEST_F(APIserverTest, ASecondDatagramPartnerGetsADynamicSourceUntilItsEndOfInput) {
  RowWaiter rows("Orders", "Lines");
  syncWithServer();
  TableEntry* group = application_->FirstTable;
  DatagramEnd first;
  DatagramEnd second;
  EXPECT_EQ(exchange(first, Request("BGNINP", "Orders Lines ")), status(0) + "#;");
  int partners = APIpartners(anchor());
  EXPECT_EQ(exchange(second, Request("BGNINP", "Orders Lines ")), status(0) + "#;");
  EXPECT_EQ(SourcesOf(group).size(), 2u);
  EXPECT_EQ(exchange(second, Request("SNDDTA", "second;2")), status(0));
  EXPECT_EQ(NextRowText(rows), "second/17");
  EXPECT_EQ(exchange(first, Request("SNDDTA", "first;1")), status(0));
  EXPECT_EQ(NextRowText(rows), "first/17");
  EXPECT_EQ(exchange(second, Request("ENDINP")), status(0));
  EXPECT_EQ(SourcesOf(group).size(), 1u);
  EXPECT_TRUE(WaitFor([&] { return APIpartners(anchor()) == partners; })) << "its dynamic source released after the reply";
}

// Senders of BGNINP from ever new ports cost the server a source each: beyond the
// bound the one bound longest ago is ended as its ENDINP would end it, and learns it
// from its next request. The group's own source and the newest senders are served.
TEST_F(APIserverTest, DatagramPartnersWithSourcesOfTheirOwnAreBoundedOldestEndedFirst) {
  RowWaiter rows("Orders", "Lines");
  syncWithServer();
  DatagramEnd holder;
  EXPECT_EQ(exchange(holder, Request("BGNINP", "Orders Lines ")), status(0) + "#;");
  const int partners = APIpartners(anchor());
  constexpr size_t kBeyond = 2;
  std::vector<DatagramEnd> senders(zevp::ZEVP_DATAGRAM_SESSIONS_MAX + kBeyond);
  for (DatagramEnd& sender : senders) ASSERT_EQ(exchange(sender, Request("BGNINP", "Orders Lines ")), status(0) + "#;");
  EXPECT_EQ(APIpartners(anchor()), partners + static_cast<int>(zevp::ZEVP_DATAGRAM_SESSIONS_MAX));
  EXPECT_EQ(SourcesOf(application_->FirstTable).size(), 1 + zevp::ZEVP_DATAGRAM_SESSIONS_MAX);
  EXPECT_EQ(log().count(35), static_cast<int>(kBeyond)) << "their input ended";

  for (size_t ended = 0; ended < kBeyond; ++ended)
    EXPECT_EQ(exchange(senders[ended], Request("SNDDTA", "x;1")), status(13)) << ended;
  EXPECT_EQ(exchange(holder, Request("SNDDTA", "holder;1")), status(0));
  EXPECT_EQ(NextRowText(rows), "holder/17");
  EXPECT_EQ(exchange(senders[kBeyond], Request("SNDDTA", "kept;2")), status(0));
  EXPECT_EQ(NextRowText(rows), "kept/17");
  EXPECT_EQ(exchange(senders.back(), Request("SNDDTA", "newest;3")), status(0));
  EXPECT_EQ(NextRowText(rows), "newest/17");
}

// The session opens with its first request that it takes, not on connect.
TEST_F(APIserverTest, ASessionIsAConnectionWhoseDynamicSourceGoesWithIt) {
  RowWaiter rows("Orders", "Lines");
  syncWithServer();
  int partners = APIpartners(anchor());
  StreamEnd session(apiPort());
  ASSERT_TRUE(session.connected());
  const struct {
    std::string request;
    std::string reply;
    bool opened;  // the session is open after the reply
  } requests[] = {
      {Request("SNDDTA", "x;1"), status(13), false},
      {ToNetworkCode("ZEVPAPI299BGNINPOrders Lines "), status(90), false},
      {Request("BGNINP", "Orders Nope "), status(52), true},
      {Request("BGNINP", "Orders Lines "), status(0) + "#;", true},
      {Request("SNDDTA", "s;1"), status(0), true},
  };
  for (const auto& r : requests) {
    SCOPED_TRACE(r.request);
    EXPECT_EQ(exchange(session, r.request), r.reply);
    EXPECT_EQ(APIpartners(anchor()), partners + (r.opened ? 1 : 0));
  }
  EXPECT_EQ(log().waitFor(25).inserts, std::vector<std::string>{"localhost"});
  EXPECT_EQ(NextRowText(rows), "s/17");
  EXPECT_EQ(SourcesOf(application_->FirstTable).size(), 2u);
  session.close();
  EXPECT_EQ(log().waitFor(26).inserts, std::vector<std::string>{"localhost"});
  EXPECT_TRUE(WaitFor([&] { return APIpartners(anchor()) == partners; })) << "its dynamic source released";
  EXPECT_EQ(SourcesOf(application_->FirstTable).size(), 1u);
}

// Connections dropped before a request that a session takes open no session: no
// source, no log row, no DCH request. A session that took requests but never went
// online ends with its log row and no DCH request either: it has nothing to take
// offline. Meanwhile a good session is served.
TEST_F(APIserverTest, ConnectionsEndingBeforeTheirSessionWentOnlineCostTheAgentNothing) {
  RowWaiter rows("Orders", "Lines");
  syncWithServer();
  const int partners = APIpartners(anchor());
  const int32_t open = CountsOf(anchor()).openedSockets;
  ASSERT_EQ(OpenAndDropConnections(apiPort(), 200), 200);
  {
    StreamEnd refused(apiPort());
    EXPECT_EQ(exchange(refused, Request("SNDDTA", "x;1")), status(13));
    EXPECT_EQ(exchange(refused, "\x01\x02garbage"), status(90));
  }
  EXPECT_TRUE(WaitFor([&] { return CountsOf(anchor()).openedSockets == open; })) << "the dropped ones closed";
  EXPECT_EQ(APIpartners(anchor()), partners);
  EXPECT_EQ(log().count(25) + log().count(26), 0);

  StreamEnd idle(apiPort());
  EXPECT_EQ(exchange(idle, Request("SETSRC", "idle")), status(0));
  EXPECT_EQ(log().waitFor(25).inserts, std::vector<std::string>{"localhost"});
  const uint32_t dch = CountsOf(anchor()).dchMessages;
  idle.close();
  EXPECT_EQ(log().waitFor(26).inserts, std::vector<std::string>{"localhost"});
  EXPECT_TRUE(WaitFor([&] { return APIpartners(anchor()) == partners; })) << "its dynamic source released";
  EXPECT_EQ(CountsOf(anchor()).dchMessages, dch) << "no offline request";

  StreamEnd good(apiPort());
  EXPECT_EQ(exchange(good, Request("BGNINP", "Orders Lines ")), status(0) + "#;");
  EXPECT_EQ(exchange(good, Request("SNDDTA", "g;1")), status(0));
  EXPECT_EQ(NextRowText(rows), "g/17");
}

TEST_F(APIserverTest, BadRequestsGetTheirStatusWhileAGoodPartnersRowsKeepFlowing) {
  RowWaiter rows("Orders", "Lines");
  syncWithServer();
  DatagramEnd good;
  ASSERT_EQ(exchange(good, Request("BGNINP", "Orders Lines ")), status(0) + "#;");
  const struct {
    const char* title;
    std::string request;
    std::string reply;
  } cases[] = {
      {"truncated", ToNetworkCode("ZEVP"), status(90)},
      {"garbage", "\x01\x02garbage", status(90)},
      {"no verb", ToNetworkCode("ZEVPAPI300"), status(13)},
      {"an unknown application", Request("BGNINP", "Nope Lines "), status(51)},
      {"no group named", Request("BGNINP", "Orders"), status(52)},
      {"oversized", Request("BGNINP", std::string(65000, 'o')), status(51)},
  };
  int round = 0;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.title);
    DatagramEnd stranger;
    EXPECT_EQ(exchange(stranger, c.request), c.reply);
    std::string item = "good" + std::to_string(++round);
    EXPECT_EQ(exchange(good, Request("SNDDTA", item + ";1")), status(0));
    EXPECT_EQ(NextRowText(rows), item + "/17");
  }
}

// A partner taken offline from outside, here by its application's deletion, gets no
// reply that it did not ask for: the client library would take it for the answer to
// its next request, a row that went nowhere for one taken. Its next request hears
// of it instead: a datagram partner is answered 13, a session finds its connection
// closed.
TEST_F(APIserverTest, APartnerTakenOfflineFromOutsideHearsOfItByItsNextRequest) {
  DatagramEnd partner;
  StreamEnd session(apiPort());
  ASSERT_TRUE(session.connected());
  EXPECT_EQ(exchange(partner, Request("BGNINP", "Orders Lines ")), status(0) + "#;");
  EXPECT_EQ(exchange(session, Request("BGNINP", "Orders Lines ")), status(0) + "#;");
  EXPECT_EQ(exchange(partner, Request("SNDDTA", "a;1")), status(0));
  EXPECT_EQ(exchange(session, Request("SNDDTA", "b;2")), status(0));
  BSV1_GetLock(&anchor()->applDefinitionLock);
  ZEVP_DeleteExistingApplication(anchor(), application_);
  BSV1_ReleaseLock(&anchor()->applDefinitionLock);
  application_ = nullptr;
  EXPECT_EQ(log().waitFor(35).inserts, (std::vector<std::string>{"Orders", "Lines", "localhost"}));
  EXPECT_TRUE(session.closedByPeer(kReplyWaitMs));
  EXPECT_EQ(session.next(kReplyWaitMs), "<none>") << "nothing came before the end";
  EXPECT_EQ(partner.next(kReplyWaitMs), "<none>");
  EXPECT_EQ(exchange(partner, Request("SNDDTA", "c;3")), status(13));
}

}  // namespace
