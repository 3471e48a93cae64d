// The list of known agents: append, look-up, stamps and the report step's ageing.
#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "manual_clock.h"
#include "ploven_agent_entry.h"
#include "ploven_agent_list.h"

namespace {

class AgentListTest : public ::testing::Test {
 protected:
  AgentListTest() { BSV1_InitializeLock(&lock_); }
  ~AgentListTest() override {
    zevs::ReleaseAgents(list());
    BSV1_DestroyLock(&lock_);
  }
  zevs::AgentList list() { return {&lock_, &first_, &shutdown_}; }
  PlovenAgentEntry* add(const char* name, const char* address, time_t lastReply = 0) {
    PlovenAgentEntry* entry = zevs::NewPlovenAgentEntry();
    entry->managedSystemName = zevs::CopyAgentText(name);
    entry->networkAddress = zevs::CopyAgentText(address);
    entry->lastReplyTime = lastReply;
    zevs::AppendAgent(list(), entry);
    return entry;
  }
  std::vector<std::string> names() {
    std::vector<std::string> all;
    for (PlovenAgentEntry* entry = first_; entry != nullptr; entry = entry->next) all.emplace_back(entry->managedSystemName);
    return all;
  }

  BSV1_Lock lock_;
  PlovenAgentEntry* first_ = nullptr;
  std::atomic<int32_t> shutdown_{0};
};

TEST_F(AgentListTest, LookUpFindsTheFirstOfANameExactlyUntilShutDown) {
  PlovenAgentEntry* first = add("AG01", "10.77.0.5");
  add("AG02", "10.77.0.6");
  add("AG01", "10.77.0.7");
  EXPECT_EQ(names(), (std::vector<std::string>{"AG01", "AG02", "AG01"}));
  EXPECT_EQ(zevs::FindAgent(list(), "AG01"), first);
  EXPECT_EQ(zevs::FindAgent(list(), "AG0"), nullptr);
  EXPECT_EQ(zevs::FindAgent(list(), "ag01"), nullptr);
  shutdown_ = 1;
  EXPECT_EQ(zevs::FindAgent(list(), "AG01"), nullptr);
}

TEST_F(AgentListTest, StampSetsTheLastCheckOfEveryEntryAtTheAddress) {
  PlovenAgentEntry* agent = add("AG01", "10.77.0.5");
  PlovenAgentEntry* subnode = add("SUB1", "10.77.0.5");
  PlovenAgentEntry* other = add("AG02", "10.77.0.6");
  zevs::StampAgents(list(), "10.77.0.5", 5000);
  EXPECT_EQ(agent->lastCheckTime, 5000);
  EXPECT_EQ(subnode->lastCheckTime, 5000);
  EXPECT_EQ(other->lastCheckTime, 0);
}

TEST_F(AgentListTest, ReportKeepsAnsweringAgentsAndDropsSilentOnes) {
  ManualClock clock(1000000);
  const time_t now = zevs::AgentClockNow();
  add("LOADED", "10.77.0.1");                  // from the file, never probed
  add("LOADED-PROBED", "10.77.0.2");           // from the file, probed since
  add("REPLIED-A-DAY", "10.77.0.3", now - 86400);
  add("SILENT-A-DAY", "10.77.0.4", now - 86401);
  add("FRESH", "10.77.0.5", now);
  for (const char* address : {"10.77.0.2", "10.77.0.3", "10.77.0.4", "10.77.0.5"})
    zevs::StampAgents(list(), address, zevs::AgentClockNow());

  std::vector<std::pair<std::string, int>> rows;
  zevs::RefreshAgentRows(list(), [&](PlovenAgentEntry* entry, int deleteRow) {
    rows.emplace_back(entry->managedSystemName, deleteRow);
  });
  EXPECT_EQ(rows, (std::vector<std::pair<std::string, int>>{
                      {"LOADED", 0}, {"LOADED-PROBED", 1}, {"REPLIED-A-DAY", 0}, {"SILENT-A-DAY", 1}, {"FRESH", 0}}));
  EXPECT_EQ(names(), (std::vector<std::string>{"LOADED", "REPLIED-A-DAY", "FRESH"}));

  // A day after the last probe the agent that then still answered is gone too.
  clock.advance(86401);
  zevs::StampAgents(list(), "10.77.0.3", zevs::AgentClockNow());
  rows.clear();
  zevs::RefreshAgentRows(list(), [&](PlovenAgentEntry* entry, int deleteRow) {
    rows.emplace_back(entry->managedSystemName, deleteRow);
  });
  EXPECT_EQ(names(), (std::vector<std::string>{"LOADED", "FRESH"}));
}

TEST_F(AgentListTest, ThreadsAppendLookUpAndStampAtOnce) {
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t)
    threads.emplace_back([this, t] {
      for (int i = 0; i < 50; ++i) {
        std::string name = "AG" + std::to_string(t) + "-" + std::to_string(i);
        add(name.c_str(), "10.77.0.5");
        EXPECT_NE(zevs::FindAgent(list(), name.c_str()), nullptr);
        zevs::StampAgents(list(), "10.77.0.5", i);
      }
    });
  for (std::thread& thread : threads) thread.join();
  EXPECT_EQ(names().size(), 200u);
}

}  // namespace
