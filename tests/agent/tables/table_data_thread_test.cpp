// The tables' data threads end to end: a data provider (a raw peer) registers an
// application with the DCH server in its host program and sends rows; the
// application's definition is built in this process, and each table's data thread
// files the rows it receives into the row lists of the sample registry, which a
// sampling request of the framework stand-in then takes.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <future>
#include <thread>

#include "agent_limits.h"
#include "dch/dch_api.h"
#include "data_thread_fixture.h"
#include "dch_messages.h"
#include "gated_clock.h"
#include "manual_clock.h"
#include "user_data_info.h"
#include "user_data_list.h"
#include "user_data_list_entry.h"
#include "wait_on_dp.h"

namespace {

// Few event rows per list, so that the cap is reached by a handful of rows.
const bool kSmallEventCap = setenv("ZEVA_MAX_EVENT_ENTRIES", "3", 1) == 0;

constexpr int kPromptlyMs = 5000;
constexpr char kNameAndCounter[] = "NAME,D,8, ,the name;CNT,C,4, ,a count;";

// A row of NAME (8) and CNT (4), "origin|name|count" (the name without its blanks).
std::string Described(const std::string& row) {
  if (row.size() != 44) return "<" + std::to_string(row.size()) + " bytes>";
  int32_t count = 0;
  std::memcpy(&count, row.data() + 40, sizeof count);
  std::string origin = row.substr(0, 32);
  std::string name = row.substr(32, 8);
  origin.erase(origin.find_last_not_of(' ') + 1);
  name.erase(name.find_last_not_of(' ') + 1);
  return origin + "|" + name + "|" + std::to_string(count);
}

std::vector<std::string> Described(const std::vector<std::string>& rows) {
  std::vector<std::string> described;
  for (const std::string& row : rows) described.push_back(Described(row));
  return described;
}

using Rows = std::vector<std::string>;

class TableDataThreadTest : public DataThreadTest {};

TEST_F(TableDataThreadTest, RowsOfPeriodicAndSampledTablesAreFiledBySampleTypeAndEmittedWithTheirOriginNode) {
  ASSERT_TRUE(kSmallEventCap);
  ASSERT_NO_FATAL_FAILURE(registerApplication(
      "ROWS", {{"GP", "periodic", 'P', 300, kNameAndCounter}, {"GS", "sampled", 'S', 60, kNameAndCounter}}));
  auto definition = Build("ROWS");
  uint32_t periodic = Online(*definition, "GP", "HOST1");
  uint32_t sampled = Online(*definition, "GS", "HOST1");

  ASSERT_EQ(Send(periodic, 17, {{"NAME", "alpha"}, {"CNT", nullptr, 1}}), 0);
  ASSERT_EQ(Send(periodic, 17, {{"NAME", "beta"}, {"CNT", nullptr, 2}}), 0);
  ASSERT_TRUE(Filed(*definition, "GP", "HOST1", 2));
  auto latest = ListOf(*definition, "GP", "HOST1");
  ASSERT_NE(latest, nullptr);
  EXPECT_EQ(Described(Emitted(*latest, "HOST1:ROWS00")), Rows{"HOST1:ROWS00|beta|2"});

  ASSERT_EQ(Send(sampled, 17, {{"NAME", "single"}, {"CNT", nullptr, 3}}), 0);
  ASSERT_EQ(Send(sampled, 1, {{"NAME", "first"}, {"CNT", nullptr, 10}}), 0);
  ASSERT_EQ(Send(sampled, 0, {{"NAME", "second"}, {"CNT", nullptr, 11}}), 0);
  ASSERT_TRUE(Filed(*definition, "GS", "HOST1", 3));
  auto sets = ListOf(*definition, "GS", "HOST1");
  ASSERT_NE(sets, nullptr);
  EXPECT_EQ(Emitted(*sets), Rows{}) << "the set is open";
  ASSERT_EQ(Send(sampled, 16, {}), 0) << "an empty end: the server's clear";
  ASSERT_TRUE(Filed(*definition, "GS", "HOST1", 4));
  EXPECT_EQ(Described(Emitted(*sets)), (Rows{"ORIGIN|first|10", "ORIGIN|second|11"}));
  ASSERT_EQ(Send(sampled, 17, {{"NAME", "again"}, {"CNT", nullptr, 4}}), 0);
  ASSERT_TRUE(Filed(*definition, "GS", "HOST1", 5));
  EXPECT_EQ(Described(Emitted(*sets)), (Rows{"ORIGIN|single|3", "ORIGIN|again|4"}));
}

TEST_F(TableDataThreadTest, KeyRowsReplaceByKeyKeepMissingValuesAndGoOnDelete) {
  ASSERT_NO_FATAL_FAILURE(
      registerApplication("KEYS", {{"GK", "keyed", 'K', 300, "@KEY,D,4, ,the key;NAME,D,8, ,a name;CNT,C,4, ,n;"}}));
  auto definition = Build("KEYS");
  uint32_t keyed = Online(*definition, "GK", "HOST1");
  const std::vector<std::vector<Value>> rows = {
      {{"KEY", "k1"}, {"NAME", "one"}, {"CNT", nullptr, 1}},
      {{"KEY", "k2"}, {"NAME", "two"}, {"CNT", nullptr, 2}},
      {{"KEY", "k1"}, {"NAME", "uno"}, {"CNT", nullptr, 3}},
      {{"KEY", "k2"}, {"CNT", nullptr, 5}},  // no NAME: the server sends it empty
  };
  for (const auto& row : rows) ASSERT_EQ(Send(keyed, 17, row), 0);
  ASSERT_TRUE(Filed(*definition, "GK", "HOST1", 4));
  auto list = ListOf(*definition, "GK", "HOST1");
  ASSERT_NE(list, nullptr);
  // KEY (4), NAME (8), CNT (4) after the origin node.
  auto describe = [](const Rows& emitted) {
    Rows described;
    for (const std::string& row : emitted) {
      int32_t count = 0;
      std::memcpy(&count, row.data() + 44, sizeof count);
      described.push_back(row.substr(32, 4) + "|" + row.substr(36, 8) + "|" + std::to_string(count));
    }
    return described;
  };
  EXPECT_EQ(describe(Emitted(*list)), (Rows{"k1  |uno     |3", "k2  |two     |5"}));

  ASSERT_EQ(Send(keyed, 221, {{"KEY", "k1"}}), 0);
  ASSERT_TRUE(Filed(*definition, "GK", "HOST1", 5));
  EXPECT_EQ(describe(Emitted(*list)), Rows{"k2  |two     |5"});
}

TEST_F(TableDataThreadTest, EventRowsReachTheManagerWithTheirOriginNodeAndTheOldestGoAtTheCap) {
  ASSERT_NO_FATAL_FAILURE(registerApplication("EVTS", {{"GE", "events", 'E', 300, kNameAndCounter}}));
  auto definition = Build("EVTS");
  uint32_t events = Online(*definition, "GE", "HOST1");
  for (uint32_t i = 1; i <= 4; ++i) ASSERT_EQ(Send(events, 17, {{"NAME", "event"}, {"CNT", nullptr, i}}), 0);
  ASSERT_EQ(Send(events, 1, {{"NAME", "set"}, {"CNT", nullptr, 9}}), 0);
  ASSERT_TRUE(Filed(*definition, "GE", "HOST1", 5));
  std::string table = TableOf(*definition, "GE");
  EXPECT_EQ(trace().count("Event row of 44 bytes for <EVTS00/" + table + "> from origin node <HOST1:EVTS00" +
                          std::string(20, ' ') + ">"),
            4)
      << "one per new row; the set record pushes none";
  auto list = ListOf(*definition, "GE", "HOST1");
  ASSERT_NE(list, nullptr);
  EXPECT_EQ(list->noOfElements(), Max_Event_Entries());
  ASSERT_EQ(Send(events, 17, {{"NAME", "last"}, {"CNT", nullptr, 5}}), 0);
  ASSERT_TRUE(Filed(*definition, "GE", "HOST1", 6));
  EXPECT_EQ(Described(Emitted(*list)), (Rows{"ORIGIN|event|4", "ORIGIN|last|5"}))
      << "the oldest rows went, then the set";
}

// The fault: a source that came online without a name is named by the sender's dotted
// address, which the data thread cut at its first '.', so its rows never found their entry.
TEST_F(TableDataThreadTest, RegressionASourceNamedByItsAddressIsFiledUnderTheWholeAddress) {
  ManualClock clock;
  ASSERT_NO_FATAL_FAILURE(registerApplication("ADDR", {{"GS", "sampled", 'S', 60, kNameAndCounter}}));
  auto definition = Build("ADDR");
  rawdch::StatusReply reply = provider().exchange(rawdch::OnlineRequestWithoutSource("ADDR", "GS"), kAnswerWaitMs);
  ASSERT_TRUE(reply.valid && reply.hasHandle);
  Record(*definition, "GS", "127.0.0.1");
  ASSERT_EQ(Send(reply.handle, 17, {{"NAME", "addr"}, {"CNT", nullptr, 1}}), 0);
  ASSERT_TRUE(Filed(*definition, "GS", "127.0.0.1", 1));
  auto list = ListOf(*definition, "GS", "127.0.0.1");
  ASSERT_NE(list, nullptr);
  EXPECT_EQ(Described(Emitted(*list)), Rows{"ORIGIN|addr|1"});
}

// The fault: the status monitor learns of a source's offline and next online only after
// the row that the source sent once back online has reached the table's data thread, which
// files it into the entry of the earlier online; the offline then deleted the row with it.
TEST_F(TableDataThreadTest, RegressionARowOfTheNextOnlineFiledBeforeTheMonitorLearnsOfTheOfflineIsSampled) {
  ManualClock clock;
  ASSERT_NO_FATAL_FAILURE(registerApplication("BACK", {{"GS", "sampled", 'S', 60, kNameAndCounter}}));
  auto definition = Build("BACK");
  std::string table = TableOf(*definition, "GS");
  uint32_t first = Online(*definition, "GS", "HOST1");
  ASSERT_EQ(Send(first, 17, {{"NAME", "first"}, {"CNT", nullptr, 1}}), 0);
  ASSERT_TRUE(Filed(*definition, "GS", "HOST1", 1));

  ASSERT_EQ(provider().exchange(rawdch::OfflineRequest(first), kAnswerWaitMs).status, 0);
  uint32_t again = Online(*definition, "GS", "HOST1", false);
  ASSERT_EQ(Send(again, 17, {{"NAME", "again"}, {"CNT", nullptr, 2}}), 0);
  ASSERT_TRUE(Filed(*definition, "GS", "HOST1", 2));
  // The monitor catches up: the offline, then the online.
  registry().removeEntry("BAC", table.c_str(), "HOST1");
  Record(*definition, "GS", "HOST1");

  auto list = registry().dataListPtr("BAC", table.c_str(), "HOST1");
  ASSERT_NE(list, nullptr) << "the row went with the earlier online";
  Rows emitted = Described(Emitted(*list));
  EXPECT_NE(std::find(emitted.begin(), emitted.end(), "ORIGIN|again|2"), emitted.end());
}

// A wait that, with a row in hand, holds it until the table's thread is asked to stop.
std::atomic<userDataInfo*> stoppingTable{nullptr};
std::atomic<bool> rowInHand{false};

int RowHandedOverAfterTheStop(DCHclient* handle, char* buffer, short length) {
  int result = dc_waitOnData(handle, buffer, length);
  userDataInfo* table = stoppingTable.load();
  if (result == 0 && table != nullptr) {
    rowInHand = true;
    Eventually([table] { return table->stopRequested(); }, kMustHappenMs);
  }
  return result;
}

// The fault: a row that the wait handed over as the table's thread was asked to stop was
// dropped, though it may be the first of the source's next online, for which the
// application's tables are being built anew.
TEST_F(TableDataThreadTest, RegressionARowInHandAsTheThreadStopsGoesToTheSourcesNextOnline) {
  ManualClock clock;
  ASSERT_NO_FATAL_FAILURE(registerApplication("HAND", {{"GS", "sampled", 'S', 60, kNameAndCounter}}));
  DataRecordWait real = setDataRecordWait(RowHandedOverAfterTheStop);  // before the thread's first wait
  auto definition = Build("HAND");
  const std::string table = TableOf(*definition, "GS");
  const std::string release = definition->RR();
  userDataListIterator walk(definition->entries());
  stoppingTable = walk.Next()->udi();
  uint32_t source = Online(*definition, "GS", "HOST1", false);
  ASSERT_EQ(Send(source, 17, {{"NAME", "inhand"}, {"CNT", nullptr, 1}}), 0);
  ASSERT_TRUE(Eventually([] { return rowInHand.load(); }, kMustHappenMs));
  definition.reset();
  setDataRecordWait(real);
  stoppingTable = nullptr;

  samplesList::SubnodeName subnode;
  ASSERT_NE(registry().onlineEntry("HAND", table.c_str(), "GS", release.c_str(), "HOST1", subnode), nullptr);
  auto list = registry().dataListPtr("HAN", table.c_str(), "HOST1");
  ASSERT_NE(list, nullptr) << "the row went with the thread";
  EXPECT_EQ(Described(Emitted(*list)), Rows{"ORIGIN|inhand|1"});
}

// The fault: the server sends a table's rows to the first thread parked for them, which
// was the stopping thread of the table's earlier definition while it filed the row in hand:
// the rows that reached its socket meanwhile were never read. They are filed into the
// source's entry when the source's next online has come, else left for it with the first.
TEST_F(TableDataThreadTest, RegressionRowsThatReachAThreadAsItStopsWithARowInHandAreFiled) {
  ManualClock clock;
  const struct {
    const char* applName;
    bool nextOnlineRecorded;
  } cases[] = {{"NEXT", true}, {"LEFT", false}};
  for (const auto& [applName, nextOnlineRecorded] : cases) {
    SCOPED_TRACE(applName);
    ASSERT_NO_FATAL_FAILURE(registerApplication(applName, {{"GS", "sampled", 'S', 60, kNameAndCounter}}));
    DataRecordWait real = setDataRecordWait(RowHandedOverAfterTheStop);
    rowInHand = false;
    auto definition = Build(applName);
    const std::string table = TableOf(*definition, "GS");
    const std::string release = definition->RR();
    const std::string applKey = std::string(applName, 3);
    userDataListIterator walk(definition->entries());
    stoppingTable = walk.Next()->udi();
    uint32_t source = Online(*definition, "GS", "HOST1", false);
    ASSERT_EQ(Send(source, 17, {{"NAME", "inhand"}, {"CNT", nullptr, 1}}), 0);
    ASSERT_TRUE(Eventually([] { return rowInHand.load(); }, kMustHappenMs));
    // Accepted by the server, so sent to the thread's socket.
    ASSERT_EQ(Send(source, 17, {{"NAME", "socket"}, {"CNT", nullptr, 2}}), 0);
    if (nextOnlineRecorded) Record(*definition, "GS", "HOST1");
    definition.reset();
    setDataRecordWait(real);
    stoppingTable = nullptr;

    samplesList::SubnodeName subnode;
    if (!nextOnlineRecorded) {
      ASSERT_NE(registry().onlineEntry(applName, table.c_str(), "GS", release.c_str(), "HOST1", subnode), nullptr);
    }
    auto list = registry().dataListPtr(applKey.c_str(), table.c_str(), "HOST1");
    ASSERT_NE(list, nullptr);
    Rows emitted = Described(Emitted(*list));
    EXPECT_NE(std::find(emitted.begin(), emitted.end(), "ORIGIN|inhand|1"), emitted.end());
    EXPECT_NE(std::find(emitted.begin(), emitted.end(), "ORIGIN|socket|2"), emitted.end()) << "lost with the socket";
  }
}

// The fault: a record whose source the registry never learnt of was tried again every 3
// seconds without end, and held up the description's destructor with it.
TEST_F(TableDataThreadTest, RegressionARecordAheadOfItsSourceIsTriedAgainUntilRecordedOrTheBoundOrTheStop) {
  ASSERT_NO_FATAL_FAILURE(registerApplication("LATE", {{"GS", "sampled", 'S', 60, kNameAndCounter}}));
  auto definition = Build("LATE");
  GatedClock clock;  // goes first: a thread asleep in it lets the definition go
  std::string table = TableOf(*definition, "GS");

  uint32_t late = Online(*definition, "GS", "HOST1", false);
  ASSERT_EQ(Send(late, 17, {{"NAME", "late"}, {"CNT", nullptr, 1}}), 0);
  ASSERT_TRUE(clock.waitForSleeper(kMustHappenMs));
  Record(*definition, "GS", "HOST1");
  clock.release();
  ASSERT_TRUE(Filed(*definition, "GS", "HOST1", 1));
  EXPECT_TRUE(trace().contains("recorded in samplesList after 2 attempt(s)."));
  EXPECT_EQ(clock.sleeps(), 1);

  uint32_t never = Online(*definition, "GS", "HOST2", false);
  ASSERT_EQ(Send(never, 17, {{"NAME", "never"}, {"CNT", nullptr, 2}}), 0);
  ASSERT_TRUE(clock.waitForSleeper(kMustHappenMs));
  clock.open();
  std::string dropped = "Error: no samplesList entry for <LAT/" + table + "/HOST2> after 26 attempt(s): record dropped.";
  ASSERT_TRUE(Eventually([&] { return trace().contains(dropped); }, kMustHappenMs));
  EXPECT_EQ(clock.sleeps(), 1 + (10 + Max_Wait_UDL() * 13) / 3) << "as long as the definition wait";
  ASSERT_EQ(Send(late, 17, {{"NAME", "later"}, {"CNT", nullptr, 3}}), 0);
  ASSERT_TRUE(Filed(*definition, "GS", "HOST1", 2)) << "the thread waits on";
}

TEST_F(TableDataThreadTest, RegressionADestructorDuringTheRetryReturnsWithinOneRetry) {
  ASSERT_NO_FATAL_FAILURE(registerApplication("STOP", {{"GS", "sampled", 'S', 60, kNameAndCounter}}));
  auto definition = Build("STOP");
  GatedClock clock;
  uint32_t unknown = Online(*definition, "GS", "HOST1", false);
  ASSERT_EQ(Send(unknown, 17, {{"NAME", "never"}, {"CNT", nullptr, 1}}), 0);
  ASSERT_TRUE(clock.waitForSleeper(kMustHappenMs));

  auto deleted = std::async(std::launch::async, [&definition] { definition.reset(); });
  bool stopping = Eventually(
      [&] { return trace().contains("Waiting for waitOnDP thread to process terminate signal."); }, kMustHappenMs);
  clock.release();
  bool prompt = deleted.wait_for(std::chrono::milliseconds(kPromptlyMs)) == std::future_status::ready;
  clock.open();
  deleted.wait();
  EXPECT_TRUE(stopping);
  EXPECT_TRUE(prompt) << "more than one retry";
  EXPECT_EQ(clock.sleeps(), 1);
  EXPECT_TRUE(trace().contains("Record of source <HOST1> left for its next online: the data thread of table"));
}

// A record laid out as the server sends one, but without its source name.
int RecordWithoutSourceName(DCHclient*, char* buffer, short length) {
  DCHmessageBuilder record(buffer, static_cast<size_t>(length));
  uint16_t control = 17;
  return DCH_AddRowValue(record, "x", 1) && DCH_AddRowValue(record, &control, 2) ? 0 : 1;
}

TEST_F(TableDataThreadTest, ARecordWithoutSourceNameEndsTheThreadAndFilesNothing) {
  ManualClock clock;
  ASSERT_NO_FATAL_FAILURE(registerApplication("BADR", {{"GS", "sampled", 'S', 60, kNameAndCounter}}));
  DataRecordWait real = setDataRecordWait(RecordWithoutSourceName);
  auto definition = std::make_unique<userDataList>("BADR");
  ASSERT_TRUE(
      Eventually([&] { return trace().contains("Error: dataType of DCH_sourceName missing: 82"); }, kMustHappenMs));
  setDataRecordWait(real);
  auto start = std::chrono::steady_clock::now();
  definition.reset();
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(kPromptlyMs)) << "the thread has ended";
  EXPECT_EQ(registry().noOfElements(), 0);
}

// The wait takes its buffer's length in 16 bits: a table whose records need more is
// refused when its thread starts, and the thread ends at once.
TEST_F(TableDataThreadTest, ATableWhoseRecordsExceedTheWaitsBufferIsRefusedAtThreadStart) {
  const struct {
    const char* group;
    const char* attrText;  // the origin node and this: 4 x 3 + 32 + length + 352 bytes
    bool refused;
  } cases[] = {{"FITS", "BIG,D,32371:", false}, {"EXCEEDS", "BIG,D,32372:", true}};
  for (const auto& [group, attrText, refused] : cases) {
    SCOPED_TRACE(attrText);
    auto entry = std::make_unique<userDataListEntry>("HUGE00", std::string(group) + ",S,60", "03.00.00", "03.00.00");
    ASSERT_EQ(entry->addAttrInfo(attrText, std::nullopt), 0);
    const std::string table = entry->udi()->tableNameRR();
    std::string parked = "waitOnDP thread parked for applName<HUGE> attrGroup<" + std::string(group) + ">";
    std::string error = "Error: records of table <" + table + "> need 32768 bytes, more than the 32767";
    ASSERT_TRUE(Eventually([&] { return trace().contains(refused ? error : parked); }, kMustHappenMs));
    auto start = std::chrono::steady_clock::now();
    entry.reset();
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(kPromptlyMs));
    EXPECT_EQ(trace().contains(parked), !refused);
  }
}

// Rows flow while a source leaves and comes back in the registry, samples emit from its
// row list, and the definition goes: every thread ends, nothing is lost to a freed list.
TEST_F(TableDataThreadTest, TheDefinitionGoesWhileRowsFlowAndTheSourceComesAndGoes) {
  ManualClock clock;
  ASSERT_NO_FATAL_FAILURE(registerApplication(
      "FLOW", {{"GS", "sampled", 'S', 60, kNameAndCounter}, {"GE", "events", 'E', 60, kNameAndCounter}}));
  auto definition = Build("FLOW");
  uint32_t sampled = Online(*definition, "GS", "HOST1");
  uint32_t events = Online(*definition, "GE", "HOST1");
  std::string table = TableOf(*definition, "GS");

  std::atomic<bool> done{false};
  std::thread sender([&] {
    for (uint32_t i = 0; !done; ++i) {
      Send(sampled, 17, {{"NAME", "s"}, {"CNT", nullptr, i}});
      Send(events, 17, {{"NAME", "e"}, {"CNT", nullptr, i}});
    }
  });
  std::thread sampler([&] {
    while (!done)
      if (auto list = registry().dataListPtr("FLO", table.c_str(), "HOST1")) Emitted(*list);
  });
  // Each time the source comes back, its entry has a row list again and rows are filed.
  const std::string filed = "Record for table <" + table + "> of source <HOST1> filed";
  for (int i = 0; i < 10; ++i) {
    registry().removeEntry("FLO", table.c_str(), "HOST1");
    Record(*definition, "GS", "HOST1");
    int before = trace().count(filed);
    ASSERT_TRUE(Eventually(
        [&] {
          return registry().dataListPtr("FLO", table.c_str(), "HOST1") != nullptr && trace().count(filed) > before;
        },
        kMustHappenMs))
        << i;
  }
  auto start = std::chrono::steady_clock::now();
  definition.reset();
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(kPromptlyMs));
  done = true;
  sender.join();
  sampler.join();
}

}  // namespace
