// The consumer requests (0x2040, 0x2045, 0x2050, 0x2060, 0x2070) through the DCH
// server in its host program: consumers are raw UDP peers here where the test must
// see exactly what arrives, and the library's verbs where the text is what counts.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "dch/dch_api.h"
#include "dch_road_fixture.h"

namespace {

using rawdch::Group;
using rawdch::UdpPeer;

const Group kGroupOne{"G1", "group one", 'P', 300, kNameAndCount};

// A status notice as a raw consumer receives it: "appl,group,source,code".
std::string NoticeText(const std::string& message) {
  std::vector<rawdch::Field> fields;
  if (!rawdch::SplitFields(message, &fields) || fields.size() != 4) return "<not a notice>";
  return rawdch::FromNetworkCode(fields[0].value) + "," + rawdch::FromNetworkCode(fields[1].value) + "," +
         rawdch::FromNetworkCode(fields[2].value) + "," + std::to_string(rawdch::Big16(fields[3].value, 0));
}

// The text of a response message; "<not a response>" when it is none.
std::string ResponseText(const std::string& message) {
  std::vector<rawdch::Field> fields;
  if (!rawdch::SplitFields(message, &fields) || fields.size() != 1 || fields[0].type != rawdch::kResponse)
    return "<not a response>";
  return fields[0].value;
}

class ConsumerRequestsTest : public DCHroadTest {
 protected:
  UdpPeer provider_{port()};
};

// What the server sends is in the consumer's socket before the server takes the next
// request: after a sync, a receive that does not wait sees all of it.
TEST_F(ConsumerRequestsTest, ARequestForAnApplicationNotYetRegisteredIsAnsweredOnceAtItsOnline) {
  UdpPeer attributes1(port()), attributes2(port()), applications(port());
  ASSERT_TRUE(attributes1.send(rawdch::GetRequest(rawdch::kGetAttrInfo, "LATE")));
  ASSERT_TRUE(attributes2.send(rawdch::GetRequest(rawdch::kGetAttrInfo, "LATE")));
  ASSERT_TRUE(applications.send(rawdch::GetRequest(rawdch::kGetAppl, "LATE")));
  syncWithServer();
  EXPECT_EQ(attributes1.receive(0), "");

  ASSERT_NO_FATAL_FAILURE(registerApplication(provider_, "LATE", {kGroupOne}));
  syncWithServer();
  EXPECT_EQ(attributes1.receive(0), "") << "registered, but no source online yet";
  online(provider_, "LATE", "G1", "HOST1");
  EXPECT_EQ(ResponseText(attributes1.receive(0)), "G1,NAME,D,8:CNT,C,4:;");
  EXPECT_EQ(ResponseText(attributes2.receive(0)), "G1,NAME,D,8:CNT,C,4:;");
  EXPECT_EQ(ResponseText(applications.receive(0)), "LATE,G1,P,300:;");

  online(provider_, "LATE", "G1", "HOST2");
  for (UdpPeer* consumer : {&attributes1, &attributes2, &applications})
    EXPECT_EQ(consumer->receive(0), "") << "the waiters went with their answer";
}

// The fault: every request for an application not yet registered stayed parked, so a
// peer asking for one name after the other grew the server without end.
TEST_F(ConsumerRequestsTest, RegressionARequesterWaitsForItsLatestRequestOnly) {
  UdpPeer consumer(port());
  for (const char* applName : {"LATE1", "LATE2"})
    ASSERT_TRUE(consumer.send(rawdch::GetRequest(rawdch::kGetAttrInfo, applName)));
  for (const char* applName : {"LATE1", "LATE2"}) {
    Group group{std::string("G_") + applName, "group", 'P', 300, kNameAndCount};
    ASSERT_NO_FATAL_FAILURE(registerApplication(provider_, applName, {group}));
    online(provider_, applName, group.name, "HOST1");
  }
  EXPECT_EQ(ResponseText(consumer.receive(kAnswerWaitMs)), "G_LATE2,NAME,D,8:CNT,C,4:;");
  syncWithServer();
  EXPECT_EQ(consumer.receive(0), "") << "one answer: to the latest request";
}

TEST_F(ConsumerRequestsTest, ARegisteredApplicationIsAnsweredAtOnceAndANameOutOfItsLimitsNotAtAll) {
  ASSERT_NO_FATAL_FAILURE(registerApplication(provider_, "APPL", {kGroupOne}));
  UdpPeer consumer(port());
  ASSERT_TRUE(consumer.send(rawdch::GetRequest(rawdch::kGetApplHelp, "APPL")));
  EXPECT_EQ(ResponseText(consumer.receive(kAnswerWaitMs)), "appl help,G1,group one,NAME,the name, ,CNT,a count, :;");
  ASSERT_TRUE(consumer.send(rawdch::Message::Request(rawdch::kGetAppl).bytes()));
  EXPECT_EQ(ResponseText(consumer.receive(kAnswerWaitMs)), "APPL,G1,P,300:;") << "every application";

  for (const std::string& applName : {std::string("AP"), std::string(21, 'A')})
    ASSERT_TRUE(consumer.send(rawdch::GetRequest(rawdch::kGetAppl, applName)));
  ASSERT_TRUE(consumer.send(rawdch::Message::Request(rawdch::kGetAttrInfo).bytes()));  // no name at all
  syncWithServer();
  EXPECT_EQ(consumer.receive(0), "");
  std::string trace = host().traceText();
  EXPECT_NE(trace.find("Error: applName length 2 > 20"), std::string::npos);
  EXPECT_NE(trace.find("Error: applName length 21 > 20"), std::string::npos);
  EXPECT_NE(trace.find("Error: dataType of DCH_applName missing: 0"), std::string::npos);
}

// The fault: the answer was built in a 4096-byte buffer, so a longer text could not go.
class LongAnswerTest : public ConsumerRequestsTest {
 protected:
  std::vector<std::string> hostSettings() const override { return {"ZEVA_MAX_ATTRGROUPS_PER_APPL=200"}; }
};

TEST_F(LongAnswerTest, RegressionAnAnswerOfMoreThan4096BytesIsSentWhole) {
  std::vector<Group> groups;
  std::string applInfo = "MANY,";
  std::string attrInfo;
  for (int i = 0; i < 120; ++i) {
    std::string name = "GROUP_OF_A_LONG_NAME_NUMBER_" + std::to_string(1000 + i);  // 32 characters
    groups.push_back({name, "h", 'P', 300, kNameAndCount});
    applInfo += name + ",P,300:";
    attrInfo += name + ",NAME,D,8:CNT,C,4:;";
  }
  applInfo += ";";
  ASSERT_NO_FATAL_FAILURE(registerApplication(provider_, "MANY", groups));
  ASSERT_GT(applInfo.size(), 4096u);
  EXPECT_EQ(Text(dc_getApplications, "MANY"), applInfo);
  EXPECT_EQ(Text(dc_getApplications, nullptr), applInfo);
  EXPECT_EQ(Text(dc_getApplAttributes, "MANY"), attrInfo);
}

TEST_F(ConsumerRequestsTest, AWaitOnDataInLowerCaseParksUnderTheUpperCaseNames) {
  ASSERT_NO_FATAL_FAILURE(registerApplication(provider_, "APPL", {kGroupOne}));
  RowWaiter lowerCase("appl", "g1");
  syncWithServer();
  uint32_t handle = online(provider_, "APPL", "G1", "HOST1");
  ASSERT_EQ(sendNameAndCount(provider_, handle, "alpha", 3), 0);
  Row row;
  ASSERT_TRUE(ReadRow(lowerCase.next(kAnswerWaitMs), &row));
  EXPECT_EQ(row.values.at(0), "alpha");
}

// Rows are sent to a parked consumer as their provider's requests are answered, not as
// the consumer takes them: one held up meanwhile finds the whole burst waiting.
TEST_F(ConsumerRequestsTest, AConsumerHeldUpWhileABurstOfRowsComesLosesNone) {
  constexpr int kBurst = 2000;  // several times what the system's default buffer holds
  ASSERT_NO_FATAL_FAILURE(registerApplication(provider_, "APPL", {kGroupOne}));
  RowWaiter rows("APPL", "G1");
  syncWithServer();
  uint32_t handle = online(provider_, "APPL", "G1", "HOST1");
  for (int count = 0; count < kBurst; ++count) ASSERT_EQ(sendNameAndCount(provider_, handle, "burst", count), 0);
  for (int count = 0; count < kBurst; ++count) {
    Row row;
    ASSERT_TRUE(ReadRow(rows.next(kAnswerWaitMs), &row)) << "row " << count << " of " << kBurst;
    ASSERT_EQ(CounterValue(row.values.at(1)), count);
  }
}

// A remove request removes the first waiter of the application and group, whoever
// sends it; a status other than 0 and 1 changes nothing.
TEST_F(ConsumerRequestsTest, RowsGoToTheFirstWaiterUntilARemoveRequestTakesItAway) {
  ASSERT_NO_FATAL_FAILURE(registerApplication(provider_, "APPL", {kGroupOne}));
  uint32_t handle = online(provider_, "APPL", "G1", "HOST1");
  UdpPeer first(port()), second(port());
  ASSERT_TRUE(first.send(rawdch::WaitOnDataRequest("APPL", "G1", 1)));
  ASSERT_TRUE(second.send(rawdch::WaitOnDataRequest("APPL", "G1", 1)));
  ASSERT_TRUE(first.send(rawdch::WaitOnDataRequest("APPL", "G1", 2)));
  ASSERT_EQ(sendNameAndCount(provider_, handle, "one", 1), 0);
  Row row;
  EXPECT_TRUE(ReadRow(first.receive(0), &row));
  EXPECT_EQ(second.receive(0), "");

  ASSERT_TRUE(second.send(rawdch::WaitOnDataRequest("APPL", "G1", 0)));
  ASSERT_EQ(sendNameAndCount(provider_, handle, "two", 2), 0);
  EXPECT_EQ(first.receive(0), "");
  ASSERT_TRUE(ReadRow(second.receive(0), &row));
  EXPECT_EQ(row.values.at(0), "two");
}

TEST_F(ConsumerRequestsTest, AStatusWaiterHearsEveryKnownSourceWhenItParksAndEveryChangeAfter) {
  ASSERT_NO_FATAL_FAILURE(registerApplication(provider_, "APPL", {kGroupOne}));
  online(provider_, "APPL", "G1", "HOST1");
  online(provider_, "APPL", "G1", "HOST2");
  uint32_t gone = online(provider_, "APPL", "G1", "HOST3");
  ASSERT_EQ(provider_.exchange(rawdch::OfflineRequest(gone), kAnswerWaitMs).status, 0);

  UdpPeer waiter(port());
  ASSERT_TRUE(waiter.send(rawdch::WaitForStatusRequest(2)));
  syncWithServer();
  EXPECT_EQ(waiter.receive(0), "") << "status 2 parks nothing";
  ASSERT_TRUE(waiter.send(rawdch::WaitForStatusRequest(1)));
  syncWithServer();
  std::vector<std::string> replay;
  for (std::string notice = waiter.receive(0); !notice.empty(); notice = waiter.receive(0))
    replay.push_back(NoticeText(notice));
  EXPECT_EQ(replay, (std::vector<std::string>{"APPL,G1,HOST1,4117", "APPL,G1,HOST2,4117", "APPL,G1,HOST3,4133"}));

  online(provider_, "APPL", "G1", "HOST4");
  EXPECT_EQ(NoticeText(waiter.receive(0)), "APPL,G1,HOST4,4117");
  ASSERT_TRUE(waiter.send(rawdch::WaitForStatusRequest(0)));
  online(provider_, "APPL", "G1", "HOST5");
  EXPECT_EQ(waiter.receive(0), "") << "removed";
}

}  // namespace
