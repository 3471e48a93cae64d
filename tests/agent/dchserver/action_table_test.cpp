#include "action_table.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <climits>
#include <cstring>
#include <future>
#include <string>
#include <thread>
#include <vector>

#include "dch/channel_functions.h"
#include "trace_capture.h"
#include "zev/action_codes.h"

namespace {

using namespace std::chrono_literals;

// Long enough for a put that would wait to be caught waiting.
constexpr auto kPromptly = 2s;

ActionInfo_t routed(long actionID) {
  ActionInfo_t record{};
  record.requestType = ActionInfo_t::kActionRouted;
  record.actionID = actionID;
  record.actionType = ZEV_ACTION_AUTOMATION;
  record.actionStatus = ZEV_ACTION_STATUS_UNKNOWN;
  return record;
}

// The put on another thread, so that one that waited would fail the test, not hang it.
ActionRingPut putPromptly(actionRing& ring, long actionID) {
  auto put = std::async(std::launch::async, [&ring, actionID] { return ring.put(routed(actionID)); });
  if (put.wait_for(kPromptly) != std::future_status::ready) {
    ADD_FAILURE() << "the put of record " << actionID << " waited";
    // A waiting put has a full ring before it: taking lets it finish.
    ActionInfo_t record;
    while (put.wait_for(10ms) != std::future_status::ready) ring.get(&record);
  }
  return put.get();
}

std::vector<long> take(actionRing& ring, int count) {
  std::vector<long> ids;
  for (int i = 0; i < count; ++i) {
    ActionInfo_t record;
    EXPECT_EQ(ring.get(&record), 0);
    ids.push_back(record.actionID);
  }
  return ids;
}

std::vector<long> range(long first, long last) {
  std::vector<long> ids;
  for (long id = first; id <= last; ++id) ids.push_back(id);
  return ids;
}

// --- The code tables ------------------------------------------------------

TEST(ActionCodesTest, TypeTextsFollowTheTypeTable) {
  const struct {
    short type;
    const char* text;
  } cases[] = {{0, "UNKNOWN"}, {1, "AUTOMATION"}, {2, "RULE"},    {3, "SNMP"},
               {4, "UNKNOWN"}, {7, "UNKNOWN"},    {-1, "UNKNOWN"}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.type);
    EXPECT_STREQ(actionTable::actionTypeText(c.type), c.text);
  }
}

TEST(ActionCodesTest, StatusTextsFollowTheStatusTableUpToThirteen) {
  const char* const named[] = {"SUCCESS",       "UNKNOWN",         "EXEC_ERROR",      "PROTO_ERROR",    "DP_ERROR",
                               "DP_NOSUPPORT",  "NOSUPPORT",       "PARM_REQUIRED",   "SOURCE_OFFLINE", "SYNTAX_ERROR",
                               "NEVER_STARTED", "REQPARM_MISSING", "UNRECOG_REQUEST", "INPUTPARM_ERROR"};
  for (long status = 0; status <= 13; ++status) {
    SCOPED_TRACE(status);
    EXPECT_STREQ(actionTable::actionStatusText(status), named[status]);
    EXPECT_STREQ(ActionStatusString[status], named[status]);
  }
  // The table has a 14th text, but the status text of 14 and above is "UNKNOWN".
  EXPECT_STREQ(ActionStatusString[ZEV_ACTION_EXECUTED_RETURN_STATUS], "EXECUTED - RETURN STATUS");
  EXPECT_STREQ(actionTable::actionStatusText(14), "UNKNOWN");
  EXPECT_STREQ(actionTable::actionStatusText(LONG_MAX), "UNKNOWN");
}

TEST(ActionCodesTest, NegativeStatusReadsAsInputParameterErrorWithItsAbsoluteValue) {
  EXPECT_STREQ(actionTable::actionStatusText(-3), "INPUTPARM_ERROR 3");
  EXPECT_STREQ(actionTable::actionStatusText(LONG_MIN), "INPUTPARM_ERROR 9223372036854775808");
  // Each thread has its own text.
  std::string other;
  std::thread([&other] { other = actionTable::actionStatusText(-7); }).join();
  EXPECT_EQ(other, "INPUTPARM_ERROR 7");
  EXPECT_STREQ(actionTable::actionStatusText(-3), "INPUTPARM_ERROR 3");
}

// --- The ring -----------------------------------------------------------

TEST(ActionRingTest, WithoutAnActionLogThreadARecordIsDroppedAtOnce) {
  TraceCapture capture("*=0x90");
  actionRing ring;
  for (long id = 1; id <= 12; ++id) EXPECT_EQ(putPromptly(ring, id), ActionRingPut::dropped);
  EXPECT_TRUE(capture.contains("No action-log thread: action record <12> requestType <1> not logged."));

  // Once the thread has stopped, records are dropped again.
  ring.readerStarted();
  EXPECT_EQ(putPromptly(ring, 13), ActionRingPut::stored);
  ring.readerStopped();
  EXPECT_EQ(putPromptly(ring, 14), ActionRingPut::dropped);
}

TEST(ActionRingTest, RecordsComeOutInTheOrderTheyWentInAcrossTheWrap) {
  actionRing ring;
  ring.readerStarted();
  for (long id = 1; id <= 7; ++id) ASSERT_EQ(ring.put(routed(id)), ActionRingPut::stored);
  EXPECT_EQ(take(ring, 7), range(1, 7));
  // The next nine use slots 7, 8, 9, then 0 to 5.
  for (long id = 8; id <= 16; ++id) ASSERT_EQ(ring.put(routed(id)), ActionRingPut::stored);
  EXPECT_EQ(take(ring, 9), range(8, 16));
}

// A writer that found nine waiting would wait until a take left five; the request
// thread must not wait, so its records are dropped until then.
TEST(ActionRingTest, NineWaitingHoldsWritersOutUntilATakeLeavesFive) {
  TraceCapture capture("*=0x90");
  actionRing ring;
  ring.readerStarted();
  for (long id = 1; id <= 9; ++id) ASSERT_EQ(putPromptly(ring, id), ActionRingPut::stored);
  EXPECT_EQ(putPromptly(ring, 10), ActionRingPut::dropped);
  EXPECT_TRUE(capture.contains("Error: action buffers full: action record <10> requestType <1> dropped."));

  EXPECT_EQ(take(ring, 3), range(1, 3));  // six left
  EXPECT_TRUE(capture.contains("Not signalling waiting writer(s), more than half of the action buffers are in use."));
  EXPECT_EQ(putPromptly(ring, 11), ActionRingPut::dropped);

  capture.take();
  EXPECT_EQ(take(ring, 1), range(4, 4));  // five left: writers are let in again
  EXPECT_FALSE(capture.contains("Not signalling"));
  EXPECT_EQ(putPromptly(ring, 12), ActionRingPut::stored);
  EXPECT_EQ(take(ring, 6), (std::vector<long>{5, 6, 7, 8, 9, 12}));
}

// The fault: with nine records waiting and nobody taking, the request thread waited for ever.
TEST(ActionRingTest, RegressionRequestThreadNeverWaitsOnAStalledActionLog) {
  actionRing ring;
  ring.readerStarted();  // running, but busy elsewhere: it takes nothing
  auto puts = std::async(std::launch::async, [&ring] {
    int stored = 0;
    for (long id = 1; id <= 50; ++id) stored += ring.put(routed(id)) == ActionRingPut::stored ? 1 : 0;
    return stored;
  });
  ASSERT_EQ(puts.wait_for(kPromptly), std::future_status::ready) << "the request thread waited on the ring";
  EXPECT_EQ(puts.get(), actionRing::kMaxWaiting);
}

TEST(ActionRingTest, GetWaitsForARecordAndCloseEndsItAndWaitsForTheReader) {
  actionRing ring;
  ring.readerStarted();
  std::promise<void> tookOne;
  std::atomic<int> lastResult{-1};
  std::atomic<bool> stopped{false};
  std::thread reader([&] {
    ActionInfo_t record;
    lastResult = ring.get(&record);
    tookOne.set_value();
    lastResult = ring.get(&record);  // waits until the ring is closed
    stopped = true;
    ring.readerStopped();
  });
  std::this_thread::sleep_for(20ms);
  ASSERT_EQ(ring.put(routed(1)), ActionRingPut::stored);
  tookOne.get_future().wait();
  EXPECT_EQ(lastResult.load(), 0);

  ring.close();  // returns only once the reader has stopped
  EXPECT_TRUE(stopped.load());
  EXPECT_EQ(lastResult.load(), 1);
  reader.join();
  EXPECT_EQ(ring.put(routed(2)), ActionRingPut::dropped);
}

// --- The table ----------------------------------------------------------

class ActionTableTest : public ::testing::Test {
 protected:
  void SetUp() override { table_.actionLogStarted(); }
  void TearDown() override { table_.actionLogStopped(); }

  ActionInfo_t next() {
    ActionInfo_t record{};
    EXPECT_EQ(table_.cb_get_data(&record), 0);
    return record;
  }

  // As the action log applies a routed-action record.
  actionTableEntry* link(long actionID, long status = ZEV_ACTION_STATUS_UNKNOWN) {
    auto* entry = new actionTableEntry(routed(actionID));
    entry->actionStatus(status);
    EXPECT_EQ(ZEVA_GetLock(table_.lock(), this), 0);
    table_.linkEntry(entry);
    ZEVA_ReleaseLock(table_.lock(), this);
    return entry;
  }

  std::vector<long> walk() {
    std::vector<long> ids;
    actionTableIterator iterator(table_.entries());
    while (actionTableEntry* entry = iterator.Next()) ids.push_back(entry->actionID());
    return ids;
  }

  actionTable table_;
};

TEST_F(ActionTableTest, AnAutomationActionIsHandedToTheActionLogWithStatusUnknown) {
  ASSERT_EQ(table_.addEntry(ZEV_ACTION_AUTOMATION, "owner", "node", "RESTART", 41, "-now"), 0);
  ActionInfo_t record = next();
  EXPECT_EQ(record.requestType, ActionInfo_t::kActionRouted);
  EXPECT_EQ(record.actionID, 41);
  EXPECT_EQ(record.actionType, ZEV_ACTION_AUTOMATION);
  EXPECT_STREQ(record.actionOwner, "owner");
  EXPECT_STREQ(record.actionNode, "node");
  EXPECT_STREQ(record.actionName, "RESTART");
  EXPECT_STREQ(record.actionParms, "-now");
  EXPECT_EQ(record.actionStatus, ZEV_ACTION_STATUS_UNKNOWN);
  EXPECT_STREQ(record.actionResults, "");

  ASSERT_EQ(table_.addEntry(ZEV_ACTION_AUTOMATION, "owner", "node", "STOP", 42, nullptr), 0);
  EXPECT_STREQ(next().actionParms, "");
}

TEST_F(ActionTableTest, OtherActionTypesAreIgnoredWithoutFailure) {
  TraceCapture capture("*=0x90");
  const struct {
    short type;
    const char* trace;
  } cases[] = {{ZEV_ACTION_RULE, "RULE START/STOP actionType ignored"},
               {ZEV_ACTION_SNMP, "SNMP actionType ignored"},
               {ZEV_ACTION_UNKNOWN, "actionType <0> ignored"},
               {9, "actionType <9> ignored"}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.type);
    EXPECT_EQ(table_.addEntry(c.type, "owner", "node", "name", 1, nullptr), 0);
    EXPECT_TRUE(capture.contains(c.trace));
  }
  // Nothing went into the ring: the next record is the one put now.
  ASSERT_EQ(table_.recordActionResults(77, 0, nullptr), 0);
  EXPECT_EQ(next().actionID, 77);
}

TEST_F(ActionTableTest, AResultRecordCarriesIdStatusAndResultsOnly) {
  ASSERT_EQ(table_.recordActionResults(12, ZEV_ACTION_EXEC_ERROR, "exit 3"), 0);
  ActionInfo_t record = next();
  EXPECT_EQ(record.requestType, ActionInfo_t::kActionResult);
  EXPECT_EQ(record.actionID, 12);
  EXPECT_EQ(record.actionStatus, ZEV_ACTION_EXEC_ERROR);
  EXPECT_STREQ(record.actionResults, "exit 3");
  EXPECT_EQ(record.actionType, ZEV_ACTION_UNKNOWN);
  EXPECT_STREQ(record.actionOwner, "");
  EXPECT_STREQ(record.actionName, "");
}

TEST_F(ActionTableTest, TextsLongerThanTheirHoldersAreCut) {
  std::string owner(80, 'o'), node(40, 'n'), name(300, 'a'), parms(1100, 'p'), results(300, 'r');
  ASSERT_EQ(table_.addEntry(ZEV_ACTION_AUTOMATION, owner.c_str(), node.c_str(), name.c_str(), 1, parms.c_str()), 0);
  ActionInfo_t record = next();
  EXPECT_EQ(std::strlen(record.actionOwner), 64u);
  EXPECT_EQ(std::strlen(record.actionNode), 32u);
  EXPECT_EQ(std::strlen(record.actionName), 256u);
  EXPECT_EQ(std::strlen(record.actionParms), 1024u);
  ASSERT_EQ(table_.recordActionResults(1, 0, results.c_str()), 0);
  EXPECT_EQ(std::strlen(next().actionResults), 256u);
}

TEST_F(ActionTableTest, PutsWhileNoActionLogRunsOrTheRingIsFullAreDroppedNotFailed) {
  TraceCapture capture("*=0x90");
  for (long id = 1; id <= 12; ++id) EXPECT_EQ(table_.addEntry(ZEV_ACTION_AUTOMATION, "o", "n", "a", id, nullptr), 0);
  EXPECT_TRUE(capture.contains("action record <10> requestType <1> dropped."));
  table_.actionLogStopped();
  EXPECT_EQ(table_.recordActionResults(1, 0, nullptr), 0);
  EXPECT_TRUE(capture.contains("No action-log thread: action record <1> requestType <2> not logged."));
  table_.actionLogStarted();
}

TEST(ActionTableEntryTest, ANewEntryIsARoutedActionWaitingForItsResult) {
  actionTableEntry entry(routed(5));
  EXPECT_EQ(entry.actionStatus(), ZEV_ACTION_STATUS_UNKNOWN);
  EXPECT_EQ(entry.actionResults(), nullptr);
  EXPECT_EQ(entry.actionParms(), nullptr);
  EXPECT_EQ(entry.controlField(), 0x11);
  EXPECT_EQ(entry.getActionLogging(), 1);
  entry.actionResults("done");
  EXPECT_STREQ(entry.actionResults(), "done");
}

TEST_F(ActionTableTest, StatusOfAnActionIsItsEntrysOrUnknown) {
  EXPECT_EQ(table_.getActionStatus(3), ZEV_ACTION_STATUS_UNKNOWN);
  link(3, ZEV_ACTION_SUCCESS);
  link(4, ZEV_ACTION_DP_ERROR);
  EXPECT_EQ(table_.getActionStatus(3), ZEV_ACTION_SUCCESS);
  EXPECT_EQ(table_.getActionStatus(4), ZEV_ACTION_DP_ERROR);
  EXPECT_EQ(table_.getActionStatus(5), ZEV_ACTION_STATUS_UNKNOWN);
}

TEST_F(ActionTableTest, EntriesAreWalkedFromTheHeadOldestFirst) {
  link(1);
  link(2);
  link(3);
  EXPECT_EQ(walk(), (std::vector<long>{1, 2, 3}));
  EXPECT_EQ(table_.noOfElements(), 3);
  EXPECT_EQ(table_.list()->actionID(), 1);
}

TEST_F(ActionTableTest, RemovingEntries) {
  actionTableEntry* only = link(1);
  EXPECT_EQ(table_.removeEntry(only), 0);
  EXPECT_EQ(table_.list(), nullptr);
  EXPECT_EQ(table_.noOfElements(), 0);

  // The head goes: its next entry, the newest, becomes the head.
  actionTableEntry* head = link(2);
  link(3);
  link(4);
  EXPECT_EQ(table_.removeEntry(head), 0);
  EXPECT_EQ(table_.list()->actionID(), 4);
  EXPECT_EQ(walk(), (std::vector<long>{4, 3}));

  TraceCapture capture("*=0x80");
  actionTableEntry stranger(routed(9));
  EXPECT_EQ(table_.removeEntry(&stranger), 1);
  EXPECT_TRUE(capture.contains("not removed."));
  EXPECT_EQ(table_.noOfElements(), 2);
}

// The destructor must not free the ring under an action-log thread that waits on it.
TEST(ActionTableLifeTest, DestroyingTheTableEndsTheActionLogsWaitFirst) {
  auto* table = new actionTable;
  table->actionLogStarted();
  std::atomic<int> result{-1};
  std::thread actionLog([table, &result] {
    ActionInfo_t record;
    result = table->cb_get_data(&record);
    table->actionLogStopped();
  });
  std::this_thread::sleep_for(20ms);
  delete table;
  actionLog.join();
  EXPECT_EQ(result.load(), 1);
}

}  // namespace
