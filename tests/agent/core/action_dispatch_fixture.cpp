#include "action_dispatch_fixture.h"

#include <vector>

#include "action_dispatch.h"
#include "atomic_situation_list.h"
#include "raf.h"
#include "raw_action_requests.h"

void ActionDispatchTest::SetUp() {
  DCHroadTest::SetUp();
  for (const char* table : {rafdemo::kTable, "LOCALTIME", "OTHERTBL"}) {
    managers_.push_back(std::make_unique<rafdemo::DemoManager>(rafdemo::kApplication, table));
    ASSERT_EQ(managers_.back()->RegisterWithManager(), 0);
  }
  RAF_RegisterCommandCallback("*", DV_Action);

  setDataSamples(&registry_);
  samplesList::SubnodeName subnode;
  ASSERT_NE(registry_.onlineEntry(rafdemo::kApplication, rafdemo::kTable, "GRP", "00", kSource, subnode), nullptr);
  ASSERT_STREQ(subnode, kSubnode);
  ASSERT_EQ(registry_.subnodeOnline(subnode), 1) << "registered with the framework from here on";

  provider_ = std::make_unique<rawdch::TcpPeer>(port());
  rawdch::StatusReply parked = provider_->exchange(rawdch::WaitForActionRequest(1, kSource), kAnswerWaitMs);
  ASSERT_TRUE(parked.valid);
  ASSERT_EQ(parked.status, 0);
}

void ActionDispatchTest::TearDown() {
  provider_.reset();
  raf::Reset();
  managers_.clear();
  setDataSamples(nullptr);
  DCHroadTest::TearDown();
}

raf::CommandOutcome ActionDispatchTest::fireSituation(const std::string& situation, int interval,
                                                      const std::string& command, const std::string& row,
                                                      const char* table) {
  raf::RequestSpec spec;
  spec.application = rafdemo::kApplication;
  spec.table = table;
  spec.situation = situation;
  spec.sampleType = 1;
  spec.interval = interval;
  spec.subnodes = {kSubnode};
  uint32_t handle = raf::OpenRequest(spec);
  EXPECT_NE(handle, 0u);
  raf::CommandOutcome outcome = raf::FireCommand(handle, command, {row}, 0);
  raf::CloseRequest(handle);
  return outcome;
}

ReceivedAction ActionDispatchTest::nextAction(int waitMs) {
  std::string described = rawdch::DescribeActionMessage(provider_->receive(waitMs));
  ReceivedAction action;
  size_t at = described.find(" 120=");
  if (at == std::string::npos) {
    action.fields = described;
    return action;
  }
  size_t end = described.find(' ', at + 1);
  action.actionID = static_cast<uint32_t>(std::stoul(described.substr(at + 5, end - at - 5)));
  action.fields = described.erase(at, end == std::string::npos ? std::string::npos : end - at);
  return action;
}
