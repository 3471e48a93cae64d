// The action requests of the DCH server, end to end: the server runs in the host
// program zevdchhost, data providers and consumers are raw peers on loopback whose
// requests are written out byte by byte, and actions are handed over with the channel
// library's dc_provideAction as the agent core does. One case runs the server in this
// process, to reach the agent's list of atomic situations.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "atomic_situation_list.h"
#include "dch/channel_functions.h"
#include "dch/dch_api.h"
#include "dch_road_fixture.h"
#include "dch_server.h"
#include "dch_test_settings.h"
#include "raw_action_requests.h"
#include "raw_dch_peer.h"

namespace {

using namespace rawdch;

std::string WaitForActionResultsRequest(uint32_t actionID) {
  return Message::Request(kWaitForActionResults).u32(kActionID, actionID).bytes();
}

struct Action {
  uint16_t type = 1;
  std::string owner = "Sit_A";
  std::string node = "hostA:SUB1";
  std::string subNode = "hostA:APL00";
  std::string name = "restart";
  uint32_t id = 1;
  std::string parms;  // empty: no parameters field
};

std::string ProvideActionRequest(const Action& action) {
  Message request = Message::Request(kConsumerProvideAction)
                        .u16(kActionType, action.type)
                        .text(kActionOwner, action.owner)
                        .text(kSourceName, action.node)
                        .text(kSourceName, action.subNode)
                        .text(kActionName, action.name)
                        .u32(kActionID, action.id);
  if (!action.parms.empty()) request.text(kActionParms, action.parms);
  return request.bytes();
}

std::string Described(const Action& action) {
  std::string described = "10=" + std::to_string(kProvideAction) + " 100=" + std::to_string(action.type) +
                          " 150=" + action.owner + " 21=" + action.node + " 110=" + action.name +
                          " 120=" + std::to_string(action.id);
  return action.parms.empty() ? described : described + " 130=" + action.parms;
}

// The IDs of the action messages that come to a parked data provider until it falls silent.
std::vector<uint32_t> ReceivedActionIDs(TcpPeer& provider) {
  std::vector<uint32_t> ids;
  for (std::string message; !(message = provider.receive(kSilenceMs)).empty();) {
    std::vector<Field> fields;
    if (!SplitFields(message, &fields)) break;
    for (const Field& field : fields)
      if (field.type == kActionID) ids.push_back(Big32(field.value, 0));
  }
  return ids;
}

// The status of an action result notice (a status reply without handle); -999 when none came.
int64_t NoticeStatus(Peer& consumer, int waitMs = kAnswerWaitMs) {
  StatusReply notice = ReadStatusReply(consumer.receive(waitMs));
  return notice.valid && !notice.hasHandle ? notice.status : -999;
}

class ActionRequestsTest : public DCHroadTest {
 protected:
  // A data provider on its own connection, parked for actions of that type and host.
  void park(TcpPeer& provider, uint16_t actionType, const std::string& hostName) {
    ASSERT_TRUE(provider.connected());
    StatusReply reply = provider.exchange(WaitForActionRequest(actionType, hostName), kAnswerWaitMs);
    ASSERT_TRUE(reply.valid);
    ASSERT_EQ(reply.status, 0);
  }
  // As the agent core sends an action: no reply.
  static void provide(const Action& action) {
    ASSERT_EQ(dc_provideAction(static_cast<short>(action.type), action.owner.c_str(), action.node.c_str(),
                               action.subNode.c_str(), action.name.c_str(), action.id,
                               action.parms.empty() ? nullptr : action.parms.c_str()),
              0);
  }
};

TEST_F(ActionRequestsTest, AParkedProviderReceivesExactlyTheActionsOfItsTypeAndHost) {
  TcpPeer automation(port()), rules(port());
  park(automation, 1, "hostA");
  park(rules, 2, "hostA");

  Action restart;
  restart.id = 11;
  restart.parms = "-now";
  Action ruleStart{2, "Sit_B", "hostA:SUB2", "hostA:APL00", "RULESTART", 12, ""};
  Action otherHost{1, "Sit_A", "hostB:SUB1", "hostB:APL00", "restart", 13, ""};
  Action snmp{3, "Sit_A", "hostA:SUB3", "hostA:APL00", "walk", 14, ""};
  Action noHost{1, "Sit_A", "hostA", "hostA:APL00", "restart", 15, ""};
  Action trap{1, "Sit_T", "hostA:T", "hostA:APL00", "TRAPEMIT", 16, "1.3.6.1"};
  for (const Action& action : {restart, ruleStart, otherHost, snmp, noHost, trap}) provide(action);

  EXPECT_EQ(DescribeActionMessage(automation.receive(kAnswerWaitMs)), Described(restart));
  EXPECT_EQ(DescribeActionMessage(automation.receive(kAnswerWaitMs)), Described(trap))
      << "forwarded although not recorded";
  EXPECT_EQ(automation.receive(kSilenceMs), "");
  EXPECT_EQ(DescribeActionMessage(rules.receive(kAnswerWaitMs)), Described(ruleStart)) << "no parameters field";
  EXPECT_EQ(rules.receive(kSilenceMs), "");
  EXPECT_NE(host().traceText().find("Error: HostName could not be resolved from actionName<hostA>"), std::string::npos);
}

TEST_F(ActionRequestsTest, AnActionOverALimitIsRefusedAndOneAtTheLimitForwarded) {
  TcpPeer provider(port());
  park(provider, 1, "hostA");
  const std::string longNode = "hostA:" + std::string(64, 'n');
  const struct {
    const char* what;
    Action action;
    const char* refusal;  // null: forwarded
  } cases[] = {
      {"owner 64", {1, std::string(64, 'o'), "hostA:S", "sub", "run", 1, ""}, nullptr},
      {"owner 65", {1, std::string(65, 'o'), "hostA:S", "sub", "run", 2, ""}, "Error: actionOwner length 65 > 64"},
      {"node 70", {1, "Sit_A", longNode, "sub", "run", 3, ""}, nullptr},
      {"node 71", {1, "Sit_A", longNode + "n", "sub", "run", 4, ""}, "Error: actionNode length 71 > 70"},
      {"subnode 32", {1, "Sit_A", "hostA:S", std::string(32, 's'), "run", 5, ""}, nullptr},
      {"subnode 33", {1, "Sit_A", "hostA:S", std::string(33, 's'), "run", 6, ""}, "Error: subNode length 33 > 32"},
      {"name 256", {1, "Sit_A", "hostA:S", "sub", std::string(256, 'a'), 7, ""}, nullptr},
      {"name 257", {1, "Sit_A", "hostA:S", "sub", std::string(257, 'a'), 8, ""}, "Error: actionName length 257 > 256"},
      {"parms 1024", {1, "Sit_A", "hostA:S", "sub", "run", 9, std::string(1024, 'p')}, nullptr},
      {"parms 1025",
       {1, "Sit_A", "hostA:S", "sub", "run", 10, std::string(1025, 'p')},
       "Error: actionParms length 1025 > 1024"},
      {"type 4", {4, "Sit_A", "hostA:S", "sub", "run", 11, ""}, "Error: actionType 4 not supported"},
  };
  UdpPeer consumer(port());
  std::vector<std::string> forwarded;
  for (const auto& c : cases) {
    ASSERT_TRUE(consumer.send(ProvideActionRequest(c.action)));
    if (c.refusal == nullptr) forwarded.push_back(Described(c.action));
  }
  // Without the owner field the request ends at once.
  ASSERT_TRUE(
      consumer.send(Message::Request(kConsumerProvideAction).u16(kActionType, 1).text(kSourceName, "hostA:S").bytes()));
  syncWithServer();

  std::vector<std::string> received;
  for (std::string message; !(message = provider.receive(kSilenceMs)).empty();)
    received.push_back(DescribeActionMessage(message));
  EXPECT_EQ(received, forwarded);
  std::string trace = host().traceText();
  for (const auto& c : cases) {
    if (c.refusal != nullptr) {
      EXPECT_NE(trace.find(c.refusal), std::string::npos) << c.what;
    }
  }
  EXPECT_NE(trace.find("Error: dataType of DCH_actionOwner missing: 33"), std::string::npos);
  EXPECT_EQ(consumer.receive(0), "") << "a provide-action request gets no reply";
}

TEST_F(ActionRequestsTest, AProviderIsParkedOncePerConnectionTypeAndHost) {
  TcpPeer first(port()), second(port()), longHost(port());
  park(first, 1, "hostA");
  park(first, 1, "hostA");  // the same again: found, not parked twice
  park(second, 1, "hostA");
  const std::string tail(32, 't');
  park(longHost, 1, std::string(8, 'x') + tail);  // kept as its last 32 characters
  EXPECT_NE(host().traceText().find("Warning: SourceName length=40 > 32 -> truncating"), std::string::npos);

  Action action;
  action.id = 21;
  provide(action);
  Action toTail{1, "Sit_A", tail + ":SUB", "sub", "run", 22, ""};
  provide(toTail);
  EXPECT_EQ(ReceivedActionIDs(first), std::vector<uint32_t>{21});
  EXPECT_EQ(ReceivedActionIDs(second), std::vector<uint32_t>{21});
  EXPECT_EQ(ReceivedActionIDs(longHost), std::vector<uint32_t>{22});

  const struct {
    const char* what;
    std::string request;
    int32_t status;
  } refused[] = {
      {"type 4", WaitForActionRequest(4, "hostA"), -1},
      {"type 0", WaitForActionRequest(0, "hostA"), -1},
      {"no host name", Message::Request(kWaitForAction).u16(kActionType, 1).bytes(), 1},
      {"no action type", Message::Request(kWaitForAction).text(kSourceName, "hostA").bytes(), 1},
  };
  for (const auto& c : refused) {
    SCOPED_TRACE(c.what);
    StatusReply reply = first.exchange(c.request, kAnswerWaitMs);
    ASSERT_TRUE(reply.valid);
    EXPECT_EQ(reply.status, c.status);
  }
}

// The fault: the notice to the waiters carried the first four bytes of the result text
// as its status, not the status that the data provider reported.
TEST_F(ActionRequestsTest, RegressionAResultReachesEveryResultWaiterWithItsReportedStatus) {
  UdpPeer waiter(port()), otherWaiter(port());
  StatusReply now = waiter.exchange(WaitForActionResultsRequest(31), kAnswerWaitMs);
  ASSERT_TRUE(now.valid);
  EXPECT_EQ(now.status, 1) << "no outcome yet: parked";
  ASSERT_EQ(otherWaiter.exchange(WaitForActionResultsRequest(99), kAnswerWaitMs).status, 1);
  // Asking again parks no second waiter: one notice per result all the same.
  ASSERT_EQ(waiter.exchange(WaitForActionResultsRequest(31), kAnswerWaitMs).status, 1);

  TcpPeer provider(port());
  const std::string text = "no worker free";
  StatusReply recorded = provider.exchange(ActionResultsRequest(31, 4, &text), kAnswerWaitMs);
  ASSERT_TRUE(recorded.valid);
  EXPECT_EQ(recorded.status, 0);
  EXPECT_EQ(NoticeStatus(waiter), 4);
  EXPECT_EQ(NoticeStatus(otherWaiter), 4) << "whatever action it asked about";

  // Statuses are signed; a result without text is a result too. The waiters stay parked.
  ASSERT_EQ(provider.exchange(ActionResultsRequest(32, static_cast<uint32_t>(-3)), kAnswerWaitMs).status, 0);
  EXPECT_EQ(NoticeStatus(waiter), -3);
  EXPECT_EQ(NoticeStatus(otherWaiter), -3);
  EXPECT_EQ(NoticeStatus(waiter, kSilenceMs), -999) << "one notice per result";

  // A request without its status is refused and tells nobody.
  StatusReply refused = provider.exchange(Message::Request(kActionResults).u32(kActionID, 33).bytes(), kAnswerWaitMs);
  ASSERT_TRUE(refused.valid);
  EXPECT_EQ(refused.status, 1);
  EXPECT_EQ(NoticeStatus(waiter, kSilenceMs), -999);

  StatusReply malformed = waiter.exchange(Message::Request(kWaitForActionResults).bytes(), kAnswerWaitMs);
  ASSERT_TRUE(malformed.valid);
  EXPECT_EQ(malformed.status, -1) << "no action identifier";
}

// Without a data provider of DVAGENT/"DPLOG" nobody takes the action log's records;
// routing must go on all the same.
TEST_F(ActionRequestsTest, TwentyActionsWithoutAnActionLogDoNotStopTheServer) {
  TcpPeer provider(port());
  park(provider, 1, "hostA");
  std::vector<uint32_t> sent;
  for (uint32_t id = 1; id <= 20; ++id) {
    Action action;
    action.id = id;
    provide(action);
    sent.push_back(id);
  }
  EXPECT_EQ(ReceivedActionIDs(provider), sent);
  StatusReply result = provider.exchange(ActionResultsRequest(20, 0), kAnswerWaitMs);
  ASSERT_TRUE(result.valid);
  EXPECT_EQ(result.status, 0);
  park(provider, 1, "hostA");
}

// --- The action log, end to end ----------------------------------------------------

// The seven texts of an action log row, as the server holds them, and its Action_ID;
// empty when it is no such row.
std::vector<std::string> RowTexts(const std::string& message) {
  Row row;
  if (!ReadRow(message, &row) || row.values.size() != 8) return {};
  std::vector<std::string> texts(row.values.begin(), row.values.begin() + 7);
  texts.push_back(std::to_string(CounterValue(row.values[7])));
  return texts;
}

// Missing parameters and results are logged as one blank.
std::vector<std::string> ExpectedRow(uint32_t actionID, const char* status, const std::string& result = " ",
                                     const char* parms = " ") {
  return {"AUTOMATION", "Sit_A", "hostA:APL00", "restart", parms, status, result, std::to_string(actionID)};
}

// A data provider registers DVAGENT and brings DVAGENT/"DPLOG" online; the action log
// follows with its own source of DVAGENT/"ACTION", whose rows a consumer waits for.
class ActionLogRoadTest : public ActionRequestsTest {
 protected:
  void SetUp() override {
    ASSERT_NO_FATAL_FAILURE(ActionRequestsTest::SetUp());
    provider_ = std::make_unique<TcpPeer>(port());
    rows_ = std::make_unique<UdpPeer>(port());
    UdpPeer sources(port());
    ASSERT_TRUE(sources.send(WaitForStatusRequest(1)));
    registerApplication(*provider_, "DVAGENT", {kDataProviderLogGroup, kActionLogGroup});
    online(*provider_, "DVAGENT", "DPLOG", "hostA");
    ASSERT_TRUE(HeardOnline(sources, "localhostACT", kAnswerWaitMs)) << host().traceText();
    ASSERT_TRUE(rows_->send(WaitOnDataRequest("DVAGENT", "ACTION", 1)));
    syncWithServer();
    park(*provider_, 1, "hostA");
  }

  // Routes an automation action to the parked provider.
  void route(const Action& action) {
    provide(action);
    ASSERT_NE(provider_->receive(kAnswerWaitMs), "");
  }
  void report(uint32_t actionID, uint32_t status, const std::string& text) {
    ASSERT_EQ(provider_->exchange(ActionResultsRequest(actionID, status, &text), kAnswerWaitMs).status, 0);
  }
  std::vector<std::string> nextRow(int waitMs = kAnswerWaitMs) { return RowTexts(rows_->receive(waitMs)); }

  // Made once the host runs: a data provider of DVAGENT, and a consumer of the action log's rows.
  std::unique_ptr<TcpPeer> provider_;
  std::unique_ptr<UdpPeer> rows_;
};

TEST_F(ActionLogRoadTest, EachRoutedAutomationActionAndEachResultIsOneRow) {
  Action action;
  action.id = 1;
  action.parms = "-now";
  route(action);
  EXPECT_EQ(nextRow(), ExpectedRow(1, "UNKNOWN", " ", "-now"));
  report(1, 4, "no worker");
  EXPECT_EQ(nextRow(), ExpectedRow(1, "DP_ERROR", "no worker", "-now"));

  provide(Action{2, "Sit_A", "hostA:SUB2", "hostA:APL00", "RULESTART", 2, ""});  // not an automation action
  report(3, 0, "done");                                                          // a result for no action
  EXPECT_EQ(nextRow(kSilenceMs), std::vector<std::string>{});
}

// The fault: a result text of 256 characters filled its buffer with no room left for
// the terminator.
TEST_F(ActionLogRoadTest, RegressionAResultTextOfTheFullLengthIsKeptWholeAndALongerOneCut) {
  const std::string full(256, 'r');
  const std::string longer = std::string(256, 's') + std::string(44, 'x');
  uint32_t id = 0;
  for (const std::string* text : {&full, &longer}) {
    Action action;
    action.id = ++id;
    route(action);
    ASSERT_EQ(nextRow(), ExpectedRow(id, "UNKNOWN"));
    report(id, 0, *text);
    EXPECT_EQ(nextRow(), ExpectedRow(id, "SUCCESS", text->substr(0, 256)));
  }
}

// Trap emission is logged only when the host process asks for it.
class TrapEmissionLogTest : public ActionLogRoadTest, public ::testing::WithParamInterface<const char*> {
 protected:
  std::vector<std::string> hostSettings() const override { return {std::string("ZEVA_DCH_TRAPEMIT=") + GetParam()}; }
};

TEST_P(TrapEmissionLogTest, IsForwardedAlwaysAndLoggedOnlyWithTheSetting) {
  route(Action{1, "Sit_A", "hostA:T", "hostA:APL00", "TRAPEMIT", 1, ""});
  bool logged = GetParam()[0] == 'Y' || GetParam()[0] == 'y';
  std::vector<std::string> row = nextRow(logged ? kAnswerWaitMs : kSilenceMs);
  if (logged) {
    ASSERT_EQ(row.size(), 8u);
    EXPECT_EQ(row[3], "TRAPEMIT");
  } else {
    EXPECT_EQ(row, std::vector<std::string>{});
  }
}

INSTANTIATE_TEST_SUITE_P(Settings, TrapEmissionLogTest, ::testing::Values("Y", "yes", "N", ""));

// --- Rule stops, with the server in this process ------------------------------------

// Read under the list's lock, as the request thread changes it.
bool hasEventList(atomicSituationList& situations, const atomicSituationEntry* entry) {
  EXPECT_EQ(situations.getLock(), 0);
  bool has = entry->getAtomicEventList() != nullptr;
  EXPECT_EQ(situations.releaseLock(), 0);
  return has;
}

TEST(RuleStopTest, ARuleStopForgetsTheAtomicValuesOfItsSituationOnly) {
  unsigned short port = LoopbackDCHPort();
  atomicSituationList situations;
  atomicSituationEntry* stopped = situations.addEntry("Sit_A", 3);
  atomicSituationEntry* other = situations.addEntry("Sit_B", 3);
  ASSERT_EQ(situations.getLock(), 0);
  stopped->addAtomicEventList();
  other->addAtomicEventList();
  ASSERT_EQ(situations.releaseLock(), 0);
  setAtomicSituations(&situations);
  {
    DCHserver server;
    ASSERT_TRUE(WaitUntilReady(server));
    UdpPeer consumer(port);
    Action start{2, "Sit_A", "hostA:S", "sub", "RULESTART", 1, ""};
    Action stopUnknown{2, "Sit_C", "hostA:S", "sub", "RULESTOP", 2, ""};
    Action stop{2, "Sit_A", "hostA:S", "sub", "RULESTOP", 3, ""};
    for (const Action& action : {start, stopUnknown}) ASSERT_TRUE(consumer.send(ProvideActionRequest(action)));
    ASSERT_EQ(consumer.exchange(WaitForActionResultsRequest(1), kAnswerWaitMs).status, 1);  // all handled
    EXPECT_TRUE(hasEventList(situations, stopped));
    ASSERT_TRUE(consumer.send(ProvideActionRequest(stop)));
    ASSERT_EQ(consumer.exchange(WaitForActionResultsRequest(1), kAnswerWaitMs).status, 1);
    EXPECT_FALSE(hasEventList(situations, stopped));
    EXPECT_TRUE(hasEventList(situations, other));
  }
  setAtomicSituations(nullptr);
}

}  // namespace
