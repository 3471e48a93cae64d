// The data-provider requests on sources (0x1015, 0x1030, 0x1025, 0x1020) through the
// DCH server in its host program, with a raw peer as the data provider and the
// library's consumer verbs as the consumers.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "dch/dch_api.h"
#include "dch_road_fixture.h"

namespace {

using rawdch::Group;
using rawdch::Message;

const Group kGroupOne{"G1", "group one", 'P', 300, kNameAndCount};

class ProviderRequestsTest : public DCHroadTest {
 protected:
  // APPL/G1 registered, HOST1 online and a consumer parked for its rows.
  void SetUp() override {
    DCHroadTest::SetUp();
    if (HasFatalFailure()) return;
    ASSERT_NO_FATAL_FAILURE(registerApplication(peer_, "APPL", {kGroupOne}));
    handle_ = online(peer_, "APPL", "G1", "HOST1");
    rows_ = std::make_unique<RowWaiter>("APPL", "G1");
    syncWithServer();
  }
  void TearDown() override {
    rows_.reset();
    DCHroadTest::TearDown();
  }

  int32_t status(const std::string& request) {
    rawdch::StatusReply reply = peer_.exchange(request, kAnswerWaitMs);
    EXPECT_TRUE(reply.valid);
    return reply.status;
  }
  Row nextRow() {
    Row row;
    EXPECT_TRUE(ReadRow(rows_->next(kAnswerWaitMs), &row));
    return row;
  }

  rawdch::UdpPeer peer_{port()};
  uint32_t handle_ = 0;
  std::unique_ptr<RowWaiter> rows_;
};

TEST_F(ProviderRequestsTest, BadRequestsGetTheirStatusAndChangeNothing) {
  ASSERT_EQ(sendNameAndCount(peer_, handle_, "alpha", 7), 0);
  nextRow();
  std::string applications = Text(dc_getApplications, nullptr);

  const struct {
    const char* what;
    std::string request;
    int32_t status;
  } cases[] = {
      {"data for an unknown handle",
       rawdch::DataRequest(handle_ + 1000, 0x11).text(rawdch::kAttrName, "NAME").text(rawdch::kAttrValue, "x").bytes(),
       2},
      {"a clear for an unknown handle", rawdch::DataRequest(handle_ + 1000, 0x10).bytes(), 2},
      {"data without a handle", Message::Request(rawdch::kData).u16(rawdch::kControlField, 0x11).bytes(), -1},
      {"data with the control field before the handle",
       Message::Request(rawdch::kData).u16(rawdch::kControlField, 0x11).u32(rawdch::kHandle, handle_).bytes(), -1},
      {"data with a value before its name",
       rawdch::DataRequest(handle_, 0x11).text(rawdch::kAttrValue, "x").text(rawdch::kAttrName, "NAME").bytes(), -1},
      {"data without attribute pairs", rawdch::DataRequest(handle_, 0x11).bytes(), -1},
      {"data naming an attribute that the group lacks",
       rawdch::DataRequest(handle_, 0x11).text(rawdch::kAttrName, "NOPE").text(rawdch::kAttrValue, "x").bytes(), 2},
      {"data with an attribute name over 201 characters",
       rawdch::DataRequest(handle_, 0x11)
           .text(rawdch::kAttrName, std::string(202, 'N'))
           .text(rawdch::kAttrValue, "x")
           .bytes(),
       2},
      {"online without an attribute group",
       Message::Request(rawdch::kOnline).text(rawdch::kApplName, "APPL").text(rawdch::kSourceName, "HOST9").bytes(),
       -1},
      {"online with the names in the wrong order",
       Message::Request(rawdch::kOnline).text(rawdch::kAttrGroup, "G1").text(rawdch::kApplName, "APPL").bytes(), -1},
      {"online with an application name of 2 characters", rawdch::OnlineRequest("AP", "G1", "HOST9"), -1},
      {"online with an application name of 21 characters", rawdch::OnlineRequest(std::string(21, 'A'), "G1", "H9"), -1},
      {"online with an attribute group of 33 characters", rawdch::OnlineRequest("APPL", std::string(33, 'G'), "H9"),
       -1},
      {"online for an application not registered", rawdch::OnlineRequest("NOAPP", "G1", "HOST9"), 4},
      {"online for a group not registered", rawdch::OnlineRequest("APPL", "G9", "HOST9"), 5},
      {"offline for an unknown handle", rawdch::OfflineRequest(handle_ + 1000), -1},
      {"offline without a handle", Message::Request(rawdch::kOffline).text(rawdch::kApplName, "APPL").bytes(), -1},
      {"unregister for an application not registered", rawdch::UnregisterRequest("NOAPP"), -1},
      {"unregister with an application name of 2 characters", rawdch::UnregisterRequest("AP"), -1},
      {"unregister while a source is online", rawdch::UnregisterRequest("APPL"), 3},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(status(c.request), c.status);
  }
  EXPECT_EQ(Text(dc_getApplications, nullptr), applications);
  // The next row is this one: none went out for the requests before, and they left the
  // values as they were.
  rawdch::Message countOnly = rawdch::DataRequest(handle_, 0x11);
  ASSERT_EQ(status(countOnly.text(rawdch::kAttrName, "CNT").u32(rawdch::kAttrValue, 8).bytes()), 0);
  Row row = nextRow();
  EXPECT_EQ(row.values.at(0), "alpha");
  EXPECT_EQ(CounterValue(row.values.at(1)), 8);
}

TEST_F(ProviderRequestsTest, AnAttributeTheGroupLacksAnswers2AfterTheAttributesBeforeItWereStored) {
  rawdch::Message request = rawdch::DataRequest(handle_, 0x11);
  request.text(rawdch::kAttrName, "NAME").text(rawdch::kAttrValue, "gamma");
  request.text(rawdch::kAttrName, "NOPE").text(rawdch::kAttrValue, "x");
  EXPECT_EQ(status(request.bytes()), 2);
  rawdch::Message countOnly = rawdch::DataRequest(handle_, 0x11);
  ASSERT_EQ(status(countOnly.text(rawdch::kAttrName, "CNT").u32(rawdch::kAttrValue, 9).bytes()), 0);
  EXPECT_EQ(nextRow().values.at(0), "gamma");
}

TEST_F(ProviderRequestsTest, AClearRequestClearsTheRowAndMarksIt) {
  ASSERT_EQ(sendNameAndCount(peer_, handle_, "alpha", 7), 0);
  nextRow();
  ASSERT_EQ(status(rawdch::DataRequest(handle_, 0x10).bytes()), 0);
  Row row = nextRow();
  EXPECT_EQ(row.controlField, 0xFF);
  EXPECT_EQ(row.values.at(0), "     ") << "blanks over the value's length";
  EXPECT_EQ(CounterValue(row.values.at(1)), 0);
}

TEST_F(ProviderRequestsTest, WithoutAControlFieldARowIsAnOrdinaryOne) {
  Message request = Message::Request(rawdch::kData).u32(rawdch::kHandle, handle_);
  request.text(rawdch::kAttrName, "NAME").text(rawdch::kAttrValue, "delta");
  ASSERT_EQ(status(request.bytes()), 0);
  Row row = nextRow();
  EXPECT_EQ(row.controlField, 0x11);
  EXPECT_EQ(row.values.at(0), "delta");
}

TEST_F(ProviderRequestsTest, AnEventGroupIsClearedBeforeEachRow) {
  ASSERT_NO_FATAL_FAILURE(registerApplication(peer_, "EVNT", {{"G1", "h", 'E', 300, kNameAndCount}}));
  uint32_t handle = online(peer_, "EVNT", "G1", "HOST1");
  RowWaiter events("EVNT", "G1");
  syncWithServer();
  ASSERT_EQ(sendNameAndCount(peer_, handle, "first", 1), 0);
  events.next(kAnswerWaitMs);
  rawdch::Message countOnly = rawdch::DataRequest(handle, 0x11);
  ASSERT_EQ(status(countOnly.text(rawdch::kAttrName, "CNT").u32(rawdch::kAttrValue, 2).bytes()), 0);
  Row row;
  ASSERT_TRUE(ReadRow(events.next(kAnswerWaitMs), &row));
  EXPECT_EQ(row.values.at(0), "     ");
  EXPECT_EQ(CounterValue(row.values.at(1)), 2);
}

TEST_F(ProviderRequestsTest, TheSourceNameIsTheHostWithoutItsDomainCutToItsLast32Characters) {
  StatusWaiter status;
  syncWithServer();
  EXPECT_EQ(status.next(kAnswerWaitMs), "APPL,G1,HOST1,4117") << "the state at parking";
  const struct {
    const char* what;
    std::string request;
    const char* notice;
  } cases[] = {
      {"a host name with its domain", rawdch::OnlineRequest("APPL", "G1", "host1.example.com"), "APPL,G1,host1,4117"},
      {"a name of 40 characters", rawdch::OnlineRequest("APPL", "G1", "0123456789abcdefghijklmnopqrstuvwxyzABCD"),
       "APPL,G1,89abcdefghijklmnopqrstuvwxyzABCD,4117"},
      {"no source name: the sender's address", rawdch::OnlineRequestWithoutSource("appl", "g1"),
       "APPL,G1,127.0.0.1,4117"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    rawdch::StatusReply reply = peer_.exchange(c.request, kAnswerWaitMs);
    EXPECT_EQ(reply.status, 0);
    EXPECT_TRUE(reply.hasHandle && reply.handle != 0);
    EXPECT_EQ(status.next(kAnswerWaitMs), c.notice);
  }
}

// The fault: an online whose source name equals the application name took the group's
// registration placeholder for the source's own list and deleted it, so this online
// and every later one of the group answered 5.
TEST_F(ProviderRequestsTest, RegressionASourceNamedLikeItsApplicationKeepsTheGroupRegistered) {
  uint32_t first = online(peer_, "APPL", "G1", "APPL");
  uint32_t again = online(peer_, "APPL", "G1", "APPL");
  EXPECT_NE(again, first);
  EXPECT_NE(online(peer_, "APPL", "G1", "HOST2"), again);
  ASSERT_EQ(sendNameAndCount(peer_, again, "named", 1), 0);
  EXPECT_EQ(nextRow().sourceName, "APPL");
}

TEST_F(ProviderRequestsTest, AnOfflineIsHeardAndTheApplicationGoesOnlyWithoutOnlineSources) {
  StatusWaiter status;
  syncWithServer();
  EXPECT_EQ(status.next(kAnswerWaitMs), "APPL,G1,HOST1,4117") << "the state at parking";
  EXPECT_EQ(this->status(rawdch::OfflineRequest(handle_)), 0);
  EXPECT_EQ(status.next(kAnswerWaitMs), "APPL,G1,HOST1,4133");
  EXPECT_EQ(this->status(rawdch::UnregisterRequest("appl")), 0);
  EXPECT_EQ(this->status(rawdch::OnlineRequest("APPL", "G1", "HOST1")), 4);
}

// The agent's own log: a source of DVAGENT/"DPLOG" online brings the action log's
// source of DVAGENT/"ACTION" online.
TEST_F(ProviderRequestsTest, TheDataProviderLogBringsTheActionLogOnline) {
  StatusWaiter status;
  syncWithServer();
  status.next(kAnswerWaitMs);  // APPL/G1/HOST1
  std::vector<Group> log = {{"DPLOG", "h", 'E', 300, kNameAndCount}, {"ACTION", "h", 'E', 300, kNameAndCount}};
  ASSERT_NO_FATAL_FAILURE(registerApplication(peer_, "DVAGENT", log));
  uint32_t dpLog = online(peer_, "DVAGENT", "DPLOG", "HOST1");
  EXPECT_EQ(status.nextSorted(2, kAnswerWaitMs),
            (std::vector<std::string>{"DVAGENT,ACTION,localhostACT,4117", "DVAGENT,DPLOG,HOST1,4117"}));
  // The action log goes offline on a thread of its own, with the handle its online
  // took: only the data provider's source is sure to be heard here.
  EXPECT_EQ(this->status(rawdch::OfflineRequest(dpLog)), 0);
  EXPECT_EQ(status.next(kAnswerWaitMs), "DVAGENT,DPLOG,HOST1,4133");
}

}  // namespace
