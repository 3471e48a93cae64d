// The row list of one source on the manual clock: what each sample type keeps,
// replaces, expires and hands to a sampling request of the framework stand-in.
#include "data_list.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "agent_limits.h"
#include "manual_clock.h"
#include "raf_driver.h"
#include "row_collector.h"
#include "trace_capture.h"

namespace {

// A row: the origin node (32), KEY an integer (4) and NAME a text (8).
constexpr int kRowSize = 44;
constexpr int kKeyOffset = 32;
constexpr int kNameOffset = 36;
constexpr int kNameLength = 8;
constexpr int kTTL = 60;
constexpr char kApplication[] = "APL";
constexpr char kTable[] = "APL1234503";

std::shared_ptr<const rowLayout> Layout(char sampleType) {
  auto layout = std::make_shared<rowLayout>();
  layout->sampleType = sampleType;
  layout->columns = {{0, 32}, {kKeyOffset, 4}, {kNameOffset, kNameLength}};
  return layout;
}

rowBuffer Row(int32_t key, const std::string& name) {
  rowBuffer row(new char[kRowSize]);
  std::memset(row.get(), ' ', kRowSize);
  std::memcpy(row.get() + kKeyOffset, &key, sizeof key);
  std::memcpy(row.get() + kNameOffset, name.data(), std::min<size_t>(name.size(), kNameLength));
  return row;
}

// "key:name" of a row the request took (the name without its blanks).
std::string Described(const std::string& row) {
  int32_t key = 0;
  std::memcpy(&key, row.data() + kKeyOffset, sizeof key);
  std::string name = row.substr(kNameOffset, kNameLength);
  name.erase(name.find_last_not_of(' ') + 1);
  return std::to_string(key) + ":" + name;
}

class DataListTest : public ::testing::Test {
 protected:
  DataListTest() : manager_(kApplication, kTable), request_(kApplication, kTable) {}
  ~DataListTest() override { raf::Reset(); }

  std::unique_ptr<dataList> List(char sampleType) {
    auto list = std::make_unique<dataList>("APL", kTable, "HOST1", kRowSize, kTTL);
    list->userData(Layout(sampleType));
    return list;
  }

  // The rows a sample with that last sample time takes, described.
  std::vector<std::string> Emitted(dataList& list, unsigned long lastSampleTime = 0) {
    std::vector<std::string> described;
    for (const std::string& row :
         request_.sample([&](RowCollector& request) { list.emitToRAF(request, "node1", lastSampleTime); }))
      described.push_back(Described(row));
    return described;
  }
  unsigned long Now() { return static_cast<unsigned long>(rowStoreNow()); }

  ManualClock clock_;
  CollectorManager manager_;
  OpenedRequest request_;
};

using Rows = std::vector<std::string>;

TEST_F(DataListTest, APeriodicTableKeepsOnlyTheLatestRowOrSet) {
  auto list = List('P');
  ASSERT_EQ(list->addEntry(kSingleRow, Row(1, "first"), 0), 0);
  ASSERT_EQ(list->addEntry(kSingleRow, Row(2, "second"), 0), 0);
  EXPECT_EQ(Emitted(*list), Rows{"2:second"});

  for (int32_t pass : {10, 20}) {
    ASSERT_EQ(list->addEntry(kSetBegin, Row(pass, "begin"), 0), 0);
    ASSERT_EQ(list->addEntry(kSetRecord, Row(pass + 1, "row"), 0), 0);
    ASSERT_EQ(list->addEntry(kSetEnd, nullptr, 0), 0);
  }
  EXPECT_EQ(Emitted(*list), (Rows{"20:begin", "21:row"}));
  EXPECT_EQ(list->noOfElements(), 2) << "the single row stays hidden beside the set";
}

TEST_F(DataListTest, ASampledTableExpiresRowsAtTheirTimeToLive) {
  auto list = List('S');
  unsigned long stored = Now();
  ASSERT_EQ(list->addEntry(kSingleRow, Row(1, "old"), 0), 0);
  clock_.advance(kTTL);
  EXPECT_EQ(Emitted(*list, stored), Rows{"1:old"}) << "age equal to the TTL: still emitted without an expiry pass";
  clock_.advance(1);
  EXPECT_EQ(Emitted(*list, stored), Rows{}) << "older than the TTL: ignored";
  EXPECT_EQ(list->noOfElements(), 1);
  clock_.advance(-1);
  list->cleanupEntries('S', 1);
  EXPECT_EQ(list->noOfElements(), 0) << "age equal to the TTL: removed by the expiry pass";

  ASSERT_EQ(list->addEntry(kSingleRow, Row(2, "new"), 0), 0);
  clock_.advance(kTTL);
  EXPECT_EQ(Emitted(*list), Rows{}) << "a sample without last sample time expires first";
}

TEST_F(DataListTest, EveryTenthAdditionToASampledTableRunsAnExpiryPass) {
  auto list = List('S');
  for (int32_t key = 1; key < cleanUpTrigger(); ++key) ASSERT_EQ(list->addEntry(kSingleRow, Row(key, "r"), 0), 0);
  clock_.advance(kTTL);
  EXPECT_EQ(list->noOfElements(), cleanUpTrigger() - 1);
  ASSERT_EQ(list->addEntry(kSingleRow, Row(99, "last"), 0), 0);
  EXPECT_EQ(list->noOfElements(), 1);
  EXPECT_EQ(Emitted(*list, Now()), Rows{"99:last"});
}

TEST_F(DataListTest, ALastSampleTimeSkipsRowsStoredBeforeItsSecond) {
  auto list = List('S');
  ASSERT_EQ(list->addEntry(kSingleRow, Row(1, "before"), 0), 0);
  clock_.advance(5);
  unsigned long lastSample = Now();
  ASSERT_EQ(list->addEntry(kSingleRow, Row(2, "same"), 0), 0);
  clock_.advance(1);
  ASSERT_EQ(list->addEntry(kSingleRow, Row(3, "after"), 0), 0);
  EXPECT_EQ(Emitted(*list, lastSample), (Rows{"2:same", "3:after"}));
  EXPECT_EQ(Emitted(*list), (Rows{"1:before", "2:same", "3:after"}));
}

TEST_F(DataListTest, AKeyTableReplacesTheRowWithEqualKeysAndDeletesOnRequest) {
  auto list = List('K');
  list->addKey(1, 1, kKeyOffset, 4);
  ASSERT_EQ(list->addEntry(kSingleRow, Row(1, "one"), 0), 0);
  ASSERT_EQ(list->addEntry(kSingleRow, Row(2, "two"), 0), 0);
  ASSERT_EQ(list->addEntry(kSingleRow, Row(1, "uno"), 0), 0);
  EXPECT_EQ(Emitted(*list), (Rows{"1:uno", "2:two"}));

  // A missing value keeps the stored one; the flag is what tells.
  rowBuffer missing = Row(2, "^");
  ASSERT_EQ(list->addEntry(kSingleRow, std::move(missing), 1), 0);
  EXPECT_EQ(Emitted(*list), (Rows{"1:uno", "2:two"}));
  ASSERT_EQ(list->addEntry(kSingleRow, Row(2, "^"), 0), 0);
  EXPECT_EQ(Emitted(*list), (Rows{"1:uno", "2:^"}));

  ASSERT_EQ(list->addEntry(kDeleteKeyRecord, Row(1, ""), 0), 0);
  ASSERT_EQ(list->addEntry(kDeleteKeyRecord, Row(7, ""), 0), 0) << "no such key: nothing to delete";
  EXPECT_EQ(Emitted(*list), Rows{"2:^"});
}

// A sampled table's rows stand oldest first, so its pass ends at the first row that stays;
// a replaced row of a key table is younger than the rows behind it, which still expire.
TEST_F(DataListTest, AKeyTablesExpiryPassLooksBehindAReplacedRow) {
  auto list = List('K');
  list->addKey(1, 1, kKeyOffset, 4);
  ASSERT_EQ(list->addEntry(kSingleRow, Row(1, "one"), 0), 0);
  ASSERT_EQ(list->addEntry(kSingleRow, Row(2, "two"), 0), 0);
  clock_.advance(kTTL - 1);
  ASSERT_EQ(list->addEntry(kSingleRow, Row(1, "uno"), 0), 0);
  clock_.advance(1);
  list->cleanupEntries('S', 1);
  EXPECT_EQ(Emitted(*list), Rows{"1:uno"});
}

TEST_F(DataListTest, AKeyTableWithoutKeyColumnsKeepsEveryRow) {
  auto list = List('K');
  ASSERT_EQ(list->addEntry(kSingleRow, Row(1, "one"), 0), 0);
  ASSERT_EQ(list->addEntry(kSingleRow, Row(1, "one"), 0), 0);
  ASSERT_EQ(list->addEntry(kDeleteKeyRecord, Row(1, "one"), 0), 0);
  EXPECT_EQ(Emitted(*list), (Rows{"1:one", "1:one"}));
}

TEST_F(DataListTest, RefusedRecordsAreTracedAndStoreNothing) {
  const struct {
    const char* what;
    char sampleType;
    int16_t controlField;
    const char* trace;
  } cases[] = {
      {"delete on a sampled table", 'S', kDeleteKeyRecord,
       "Error: control field DCH_DeleteKeyRecord only valid for key data."},
      {"unknown control field", 'S', 5, "Error: unsupported control field <5>"},
      {"clear without a set", 'S', kSetEnd, "Warning: _last_BE_Entry not set for tableName <APL1234503>"},
      {"set record without a set", 'P', kSetRecord, "Warning: _last_BE_Entry not set for tableName <APL1234503>"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    TraceCapture capture("*=0x80");
    auto list = List(c.sampleType);
    ASSERT_EQ(list->addEntry(kSingleRow, Row(1, "kept"), 0), 0);
    EXPECT_EQ(list->addEntry(c.controlField, Row(2, "refused"), 0), 1);
    EXPECT_TRUE(capture.contains(c.trace));
    EXPECT_EQ(list->sampleSetType(), 0) << "the single rows keep showing";
    EXPECT_EQ(Emitted(*list), Rows{"1:kept"});
  }
}

TEST_F(DataListTest, OnlyTheFirstFiveKeyColumnsCount) {
  TraceCapture capture("*=0x80");
  auto list = List('K');
  for (int column = 0; column < 6; ++column) list->addKey(column + 1, 2, kNameOffset + column, 1);
  EXPECT_TRUE(capture.contains("Warning: Maximum number of attribute keys allowed is 5."));
  ASSERT_EQ(list->addEntry(kSingleRow, Row(1, "abcdeX"), 0), 0);
  ASSERT_EQ(list->addEntry(kSingleRow, Row(2, "abcdeY"), 0), 0) << "differs only in the sixth key";
  ASSERT_EQ(list->addEntry(kSingleRow, Row(3, "abcdfX"), 0), 0);
  EXPECT_EQ(Emitted(*list), (Rows{"2:abcdeY", "3:abcdfX"}));
}

TEST_F(DataListTest, ASetIsEmittedOnlyOnceCompleteAndItsEndRecordAddsNoRow) {
  auto list = List('S');
  ASSERT_EQ(list->addEntry(kSingleRow, Row(1, "single"), 0), 0);
  ASSERT_EQ(list->addEntry(kSetBegin, Row(10, "begin"), 0), 0);
  ASSERT_EQ(list->addEntry(kSetRecord, Row(11, "row"), 0), 0);
  EXPECT_EQ(list->sampleSetType(), 1);
  EXPECT_EQ(Emitted(*list), Rows{}) << "open";
  ASSERT_EQ(list->addEntry(kSetEnd, nullptr, 0), 0);
  EXPECT_EQ(Emitted(*list), (Rows{"10:begin", "11:row"}));
  EXPECT_EQ(list->addEntry(kSetRecord, Row(12, "late"), 0), 1) << "a complete set takes no more records";
  EXPECT_EQ(Emitted(*list), (Rows{"10:begin", "11:row"}));

  ASSERT_EQ(list->addEntry(kSingleRow, Row(2, "single"), 0), 0);
  EXPECT_EQ(list->sampleSetType(), 0);
  EXPECT_EQ(Emitted(*list), (Rows{"1:single", "2:single"}));
}

TEST_F(DataListTest, ASetAgesFromItsCompletion) {
  auto list = List('S');
  ASSERT_EQ(list->addEntry(kSetBegin, Row(1, "begin"), 0), 0);
  clock_.advance(kTTL);
  ASSERT_EQ(list->addEntry(kSetEnd, Row(2, "end"), 0), 0);
  clock_.advance(kTTL);
  EXPECT_EQ(Emitted(*list, 1), (Rows{"1:begin", "2:end"}));
  clock_.advance(1);
  EXPECT_EQ(Emitted(*list, 1), Rows{}) << "older than the TTL";
  EXPECT_EQ(Emitted(*list), Rows{});
  EXPECT_EQ(list->noOfElements(), 0) << "expired by the sample's expiry pass";
}

TEST_F(DataListTest, AnEventTableDropsItsOldestRowAtTheCap) {
  auto list = List('E');
  for (int32_t key = 0; key <= Max_Event_Entries(); ++key) ASSERT_EQ(list->addEntry(kSingleRow, Row(key, "e"), 0), 0);
  EXPECT_EQ(list->noOfElements(), Max_Event_Entries());
  Rows emitted = Emitted(*list);
  ASSERT_EQ(static_cast<int>(emitted.size()), Max_Event_Entries());
  EXPECT_EQ(emitted.front(), "1:e");
  EXPECT_EQ(emitted.back(), std::to_string(Max_Event_Entries()) + ":e");
}

// The faults: at the cap with no single row stored, the oldest row was removed from an
// empty ring; and every record of a set dropped a row or set, although it adds none.
TEST_F(DataListTest, RegressionAtTheCapAnEventTableDropsItsOldestSetWhenItHoldsNoRow) {
  auto list = List('E');
  for (int32_t set = 0; set < Max_Event_Entries(); ++set) {
    ASSERT_EQ(list->addEntry(kSetBegin, Row(set, "set"), 0), 0);
    ASSERT_EQ(list->addEntry(kSetRecord, Row(set, "row"), 0), 0);
    ASSERT_EQ(list->addEntry(kSetEnd, nullptr, 0), 0);
  }
  EXPECT_EQ(list->noOfElements(), Max_Event_Entries());
  Rows sets = Emitted(*list);
  ASSERT_EQ(static_cast<int>(sets.size()), 2 * Max_Event_Entries());
  EXPECT_EQ(sets.front(), "0:set");

  ASSERT_EQ(list->addEntry(kSingleRow, Row(-1, "single"), 0), 0);
  EXPECT_EQ(list->noOfElements(), Max_Event_Entries());
  EXPECT_EQ(Emitted(*list), Rows{"-1:single"});
  ASSERT_EQ(list->addEntry(kSetBegin, Row(100, "set"), 0), 0);
  ASSERT_EQ(list->addEntry(kSetEnd, nullptr, 0), 0);
  sets = Emitted(*list);
  ASSERT_EQ(static_cast<int>(sets.size()), 2 * Max_Event_Entries() - 1) << "sets 1 to 100; the row went";
  EXPECT_EQ(sets.front(), "1:set");
  EXPECT_EQ(sets.back(), "100:set");
}

TEST_F(DataListTest, EmptyListDeletesEveryRowEvenASingleOne) {
  auto list = List('S');
  ASSERT_EQ(list->addEntry(kSingleRow, Row(1, "only"), 0), 0);
  EXPECT_EQ(list->emptyList(), 0);
  EXPECT_EQ(list->noOfElements(), 0);
  EXPECT_EQ(Emitted(*list), Rows{});
}

TEST_F(DataListTest, TheListsOwnWalkHandsOutItsRowsAsTheyStandThen) {
  auto list = List('K');
  list->addKey(1, 1, kKeyOffset, 4);
  auto walk = [&list](int16_t first) {
    std::optional<dataList::rowEntry> entry = list->getEntry(first);
    return entry ? Described(entry->row) : std::string("end");
  };
  EXPECT_EQ(walk(1), "end") << "an empty list";
  for (int32_t key : {1, 2, 3}) ASSERT_EQ(list->addEntry(kSingleRow, Row(key, "r"), 0), 0);
  EXPECT_EQ(walk(0), "end") << "no walk open";
  EXPECT_EQ(walk(1), "1:r");
  EXPECT_EQ(walk(0), "2:r");
  EXPECT_EQ(walk(1), "1:r") << "a new walk starts at the head";
  ASSERT_EQ(list->addEntry(kDeleteKeyRecord, Row(1, ""), 0), 0);
  EXPECT_EQ(walk(0), "2:r") << "the head the walk stood at went";
  ASSERT_EQ(list->addEntry(kDeleteKeyRecord, Row(2, ""), 0), 0);
  EXPECT_EQ(walk(0), "3:r") << "the row the walk stood at went";
  ASSERT_EQ(list->addEntry(kSingleRow, Row(4, "new"), 0), 0);
  EXPECT_EQ(walk(0), "4:new");
  EXPECT_EQ(walk(0), "end");
  EXPECT_EQ(walk(0), "end") << "the walk ended";
  std::optional<dataList::rowEntry> first = list->getEntry(1);
  ASSERT_TRUE(first);
  EXPECT_EQ(first->timeStamp, rowStoreNow());
  EXPECT_EQ(first->row.size(), static_cast<size_t>(kRowSize));
  list->emptyList();
  EXPECT_EQ(walk(0), "end");
}

TEST_F(DataListTest, EmittedRowsCarryTheOriginNodeBlankPaddedAndAFailedInsertEndsTheWalk) {
  auto list = List('S');
  ASSERT_EQ(list->addEntry(kSingleRow, Row(1, "one"), 0), 0);
  ASSERT_EQ(list->addEntry(kSingleRow, Row(2, "two"), 0), 0);
  const std::string longNode(40, 'n');
  const struct {
    const char* node;
    std::string column;
  } nodes[] = {{"node1", "node1" + std::string(27, ' ')}, {longNode.c_str(), std::string(32, 'n')}};
  for (const auto& n : nodes) {
    int taken = 0;
    Rows rows = request_.sample([&](RowCollector& r) { taken = list->emitToRAF(r, n.node, 0); });
    EXPECT_EQ(taken, 2);
    ASSERT_EQ(rows.size(), 2u);
    for (const std::string& row : rows) EXPECT_EQ(row.substr(0, 32), n.column);
  }

  raf::InjectFailure(raf::Failure::InsertRow);
  int taken = -1;
  Rows rows = request_.sample([&](RowCollector& r) { taken = list->emitToRAF(r, "node1", 0); });
  EXPECT_EQ(taken, 0);
  EXPECT_EQ(rows, Rows{}) << "the walk ends at the failed insert";
}

}  // namespace
