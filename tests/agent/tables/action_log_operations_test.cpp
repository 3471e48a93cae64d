// The agent's own action log end to end: a data provider registers DVAGENT with its
// groups DPLOG and ACTION and brings DPLOG online, so the DCH server in its host
// program logs the actions it routes as rows of DVAGENT/ACTION; the data thread of
// that table in this process copies each row to the framework's operations log.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "data_thread_fixture.h"
#include "dch/dch_api.h"
#include "raw_action_requests.h"
#include "raf_driver.h"
#include "user_data_list.h"

namespace {

using namespace rawdch;

// The log's source: the host's name (localhost in the tests) and "ACT".
constexpr char kActionLogSource[] = "localhostACT";

class ActionLogOperationsTest : public DataThreadTest {
 protected:
  // The operations-log texts written until `count` have come (or the time is up).
  static std::vector<std::string> Logged(size_t count) {
    std::vector<std::string> texts;
    Eventually([&] {
      for (const raf::LogEntry& entry : raf::TakeOperationsLog()) {
        EXPECT_EQ(entry.recordType, "DVACTION");
        EXPECT_EQ(entry.productCode, "DV");
        texts.push_back(entry.text);
      }
      return texts.size() >= count;
    }, kMustHappenMs);
    return texts;
  }
};

TEST_F(ActionLogOperationsTest, EachActionRowIsOneOperationsLogEntryAndAResultTextASecond) {
  ASSERT_NO_FATAL_FAILURE(registerApplication("DVAGENT", {kDataProviderLogGroup, kActionLogGroup}));
  auto definition = Build("DVAGENT");
  UdpPeer sources(port());
  ASSERT_TRUE(sources.send(WaitForStatusRequest(1)));
  syncWithServer();
  Online(*definition, "DPLOG", "hostA", false);
  ASSERT_TRUE(HeardOnline(sources, kActionLogSource, kAnswerWaitMs));
  Record(*definition, "ACTION", kActionLogSource);

  TcpPeer automation(port());
  StatusReply parked = automation.exchange(WaitForActionRequest(1, "hostA"), kAnswerWaitMs);
  ASSERT_TRUE(parked.valid);
  ASSERT_EQ(parked.status, 0);
  raf::TakeOperationsLog();

  ASSERT_EQ(dc_provideAction(1, "Sit_A", "hostA:SUB1", "hostA:APL00", "restart", 1, "-now"), 0);
  ASSERT_NE(automation.receive(kAnswerWaitMs), "");
  EXPECT_EQ(Logged(1), std::vector<std::string>{"1 Sit_A hostA:APL00 STATUS=UNKNOWN restart -now"});

  const std::string result = "no worker free";
  StatusReply reported = automation.exchange(ActionResultsRequest(1, 4, &result), kAnswerWaitMs);
  ASSERT_EQ(reported.status, 0);
  EXPECT_EQ(Logged(2), (std::vector<std::string>{"1 Sit_A hostA:APL00 STATUS=DP_ERROR restart -now",
                                                 "1 " + result + std::string(256 - result.size(), ' ')}));
}

}  // namespace
