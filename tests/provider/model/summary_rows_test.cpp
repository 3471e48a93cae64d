// The rows of summary sources: taken into the array as they pass, sent once per
// key when their interval has ended, with the interval's attributes; the
// intervals without rows of a batch; names of intervals; growth of the array.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "application_entry.h"
#include "attribute_entry.h"
#include "batch_row_recorder.h"
#include "dch_requests.h"
#include "manual_clock.h"
#include "metafile_fixture.h"
#include "metafile_parser.h"
#include "model_release.h"
#include "parsed_application.h"
#include "record_split.h"
#include "source_entry.h"
#include "summary_block.h"
#include "summary_data.h"
#include "summary_definition.h"
#include "table_entry.h"
#include "trace_capture.h"
#include "zev0/storage.h"
#include "zev0/timestamp.h"

namespace {

using Row = std::vector<std::string>;
using Rows = std::vector<Row>;

const char kHost16[] = "Host='A               '";

class SummaryRowsTest : public ::testing::Test {
 protected:
  // Parses the group (its //SUMMARY and attributes after //NAME Grp), records rows.
  void load(const std::vector<std::string>& group) {
    std::vector<std::string> metafile = {"//APPL Sum", "//NAME Grp P 60"};
    metafile.insert(metafile.end(), group.begin(), group.end());
    parsed_ = std::make_unique<ParsedApplication>(metafile);
    ASSERT_NE(parsed_->application(), nullptr);
    source_ = parsed_->source();
    recorder_ = std::make_unique<BatchRowRecorder>(parsed_->anchor());
  }
  void TearDown() override {
    recorder_.reset();
    parsed_.reset();
  }

  // One input record split into the source and taken into its summary: whether
  // the summary is then ready to send.
  int take(const std::string& record) {
    std::string copy = record;
    ZEVP_MoveDataToAttr(source_, copy.data(), static_cast<int32_t>(copy.size()), nullptr);
    ZEVP_UpdateSummaryDataArray(source_);
    return ZEVP_CheckDataSummaryReady(source_);
  }
  Rows output() {
    ZEVP_PerformDataSummaryOutput(source_, recorder_->comm());
    EXPECT_EQ(recorder_->comm()->DCHstatus, 0);
    return recorder_->take();
  }
  // The end of the interval asked for, as the periodic task does.
  Rows endOutput() {
    SummaryManagementBlock* block = source_->Summary;
    BSV1_Time now;
    BSV1_GetTime(&now);
    EXPECT_EQ(ZEVP_SummaryIntervalEnded(source_, now.seconds + block->SummaryInterval + 1, 300), 1);
    return output();
  }
  SummaryManagementBlock* block() const { return source_->Summary; }

  ManualClock clock_;
  std::unique_ptr<ParsedApplication> parsed_;
  std::unique_ptr<BatchRowRecorder> recorder_;
  SourceEntry* source_ = nullptr;
};

const std::vector<std::string> kTraffic = {"//SUMMARY 60", "//ATTRIBUTES ';'", "Host D 16 SKEY=1",
                                           "Bytes C 999999 SKEY=SUM", "LocalTimeStamp T 16"};

TEST_F(SummaryRowsTest, RowsOfAMinuteGoOutOncePerKeyWhenARowOfTheNextComes) {
  load(kTraffic);
  EXPECT_EQ(take("A;100;1021210100500000"), 0);
  EXPECT_EQ(take("B;7;1021210100510000"), 0);
  EXPECT_EQ(take("A;200;1021210100520000"), 0);
  EXPECT_EQ(take("B;1;1021210100600000"), 0) << "10:06:00 is still within the minute from 10:05:00";
  EXPECT_EQ(take("A;5;1021210100601000"), 1);
  EXPECT_EQ(output(), (Rows{{kHost16, "_Interval_Unit=5", "_Interval=60", "_Occurrences=2",
                             "LocalTimeStamp='1021210100500000'", "_Date_Time='2002/12/10 10:05:00 000'",
                             "_Interval_Unit_Name='1 Minute(s)'", "Bytes=300"},
                            {"Host='B               '", "_Interval_Unit=5", "_Interval=60", "_Occurrences=2",
                             "LocalTimeStamp='1021210100500000'", "_Date_Time='2002/12/10 10:05:00 000'",
                             "_Interval_Unit_Name='1 Minute(s)'", "Bytes=8"}}));
  // The row that ended the interval opened the next one.
  EXPECT_EQ(block()->UsedEntries, 1);
  EXPECT_STREQ(block()->IntervalStartStamp, "1021210100601000");
  EXPECT_EQ(ZEVP_CheckDataSummaryReady(source_), 0);
  EXPECT_EQ(output(), Rows{}) << "an interval still open sends nothing";

  // The rows stop: the periodic task ends the interval, its minutes no longer in the stamp.
  EXPECT_EQ(endOutput(), (Rows{{kHost16, "_Interval_Unit=6", "_Interval=60", "_Occurrences=1",
                                "LocalTimeStamp='1021210100000000'", "_Date_Time='2002/12/10 10:00:00 000'",
                                "_Interval_Unit_Name='1 Minute(s)'", "Bytes=5"}}));
  EXPECT_EQ(block()->UsedEntries, 0);
  EXPECT_EQ(block()->Capacity, 0);
  EXPECT_EQ(block()->Array, nullptr);
  EXPECT_EQ(source_->EndBatchSummary, 0);
  EXPECT_EQ(take("C;1;1021210110000000"), 0) << "the next row begins an interval";
  EXPECT_STREQ(block()->IntervalStartStamp, "1021210110000000");
}

TEST_F(SummaryRowsTest, TheEndOfAnIntervalIsAskedOnlyOnceForRowsHeldLongEnough) {
  load(kTraffic);
  SummaryManagementBlock* summary = block();
  EXPECT_EQ(ZEVP_SummaryIntervalEnded(source_, 2000000, 300), 0) << "no rows";
  take("A;1;1021210100500000");
  int64_t begun = summary->IntervalStartTime;
  EXPECT_EQ(begun, 1000000) << "the clock's time when the interval began";
  EXPECT_EQ(ZEVP_SummaryIntervalEnded(source_, begun + 60, 300), 0) << "not longer than the interval";
  EXPECT_EQ(ZEVP_SummaryIntervalEnded(source_, begun + 61, 300), 1);
  EXPECT_EQ(source_->EndBatchSummary, 1);
  EXPECT_EQ(ZEVP_CheckDataSummaryReady(source_), 1);
  EXPECT_EQ(ZEVP_SummaryIntervalEnded(source_, begun + 61, 300), 0) << "asked already";
  // In batch mode the age limit ends an interval sooner.
  summary->SummaryInterval = 3600;
  summary->SummaryBatchMode = 1;
  source_->EndBatchSummary = 0;
  EXPECT_EQ(ZEVP_SummaryIntervalEnded(source_, begun + 29, 30), 0);
  EXPECT_EQ(ZEVP_SummaryIntervalEnded(source_, begun + 30, 30), 1);
}

TEST_F(SummaryRowsTest, AnIntervalEndsPastItsEndOrOnAnotherDay) {
  struct Case {
    int32_t interval;
    const char* first;
    const char* next;
    int ready;
  } cases[] = {
      {60, "1021210100500000", "1021210100559000", 0},   {60, "1021210100500000", "1021210100600000", 0},
      {60, "1021210100500000", "1021210100601000", 1},   {60, "1021210105930000", "1021210110000000", 1},  // its hour's end
      {3600, "1021210102000000", "1021210105959000", 0}, {3600, "1021210102000000", "1021210110000000", 1},
      {86400, "1021210000000000", "1021210235959000", 0}, {86400, "1021210000000000", "1021211000001000", 1},
      {300, "1021210235800000", "1021211000030000", 1},  // another day
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.interval) + " " + c.first + " " + c.next);
    load({"//SUMMARY " + std::to_string(c.interval), "//ATTRIBUTES ';'", "Host D 16 SKEY=1", "LocalTimeStamp T 16"});
    EXPECT_EQ(take(std::string("A;") + c.first), 0);
    EXPECT_EQ(take(std::string("A;") + c.next), c.ready);
    TearDown();
  }
}

TEST_F(SummaryRowsTest, RowsWithoutAValueForAKeyAreNotTaken) {
  load(kTraffic);
  TraceCapture trace("*=0x90");
  take(";50;1021210100500000");
  EXPECT_EQ(block()->UsedEntries, 0);
  EXPECT_TRUE(trace.contains("KeyCount 1 > ValidKeyValueCount 0, Record bypassed for summarization"));
  take("A;1;1021210100500000");
  take(";50;1021210100510000");
  EXPECT_EQ(endOutput(), (Rows{{kHost16, "_Interval_Unit=5", "_Interval=60", "_Occurrences=1",
                                "LocalTimeStamp='1021210100000000'", "_Date_Time='2002/12/10 10:00:00 000'",
                                "_Interval_Unit_Name='1 Minute(s)'", "Bytes=1"}}));
}

TEST_F(SummaryRowsTest, TotalsAreHeldWithinTheirSize) {
  load({"//SUMMARY 60", "//ATTRIBUTES ';'", "Host D 16 SKEY=1", "Bytes C 2000000000 SKEY=SUM",
        "Small G 30000 SKEY=SUM", "Neg G 2000000000 SKEY=SUM", "LocalTimeStamp T 16"});
  TraceCapture trace("*=0x80");
  take("A;2000000000;30000;-2000000000;1021210100500000");
  take("A;2000000000;30000;-2000000000;1021210100510000");
  Rows rows = endOutput();
  ASSERT_EQ(rows.size(), 1u);
  EXPECT_EQ(Row(rows[0].end() - 3, rows[0].end()),
            (Row{"Bytes=2147483647", "Small=32767", "Neg=-2147483648"}));
  EXPECT_TRUE(trace.contains("Summary attribute Bytes total value overflow 4000000000.000000 truncated to max "
                             "2147483647"));
  EXPECT_TRUE(trace.contains("Summary attribute Small output value overflow 60000 truncated to max 32767"));
}

TEST_F(SummaryRowsTest, AGroupWithoutKeysSummarisesByTime) {
  load({"//SUMMARY 60", "//ATTRIBUTES ';'", "LocalTimeStamp T 16", "Bytes C 999999 SKEY=SUM"});
  take("1021210100500000;3");
  take("1021210100510000;4");
  ASSERT_NE(block()->Array, nullptr);
  EXPECT_EQ(std::string(block()->Array, 17), std::string("9999999999999999") + '\0');
  EXPECT_EQ(endOutput(), (Rows{{"_Interval_Unit=5", "_Interval=60", "_Occurrences=2",
                                "LocalTimeStamp='1021210100000000'", "_Date_Time='2002/12/10 10:00:00 000'",
                                "_Interval_Unit_Name='1 Minute(s)'", "Bytes=7"}}));
}

// In batch mode a group without keys reports the hours of the day without rows.
TEST_F(SummaryRowsTest, ABatchOfHoursSendsTheHoursWithoutRows) {
  load({"//SUMMARY 3600 BATCH", "//ATTRIBUTES ';'", "LocalTimeStamp T 16", "Bytes C 999999 SKEY=SUM"});
  take("1021210013000000;3");
  EXPECT_EQ(take("1021210031000000;4"), 1);
  EXPECT_EQ(output(), (Rows{{"_Interval_Unit=1", "_Interval=3600", "_Occurrences=1",
                             "LocalTimeStamp='1021210010000000'", "_Date_Time='2002/12/10 01:00:00 000'",
                             "_Interval_Unit_Name='1 AM'", "Bytes=3"}}))
      << "the same day: no hour is missing yet";
  Rows rows = endOutput();
  ASSERT_EQ(rows.size(), 22u);
  EXPECT_EQ(rows[0], (Row{"_Interval_Unit=3", "_Interval=3600", "_Occurrences=1", "LocalTimeStamp='1021210030000000'",
                          "_Date_Time='2002/12/10 03:00:00 000'", "_Interval_Unit_Name='3 AM'", "Bytes=4"}));
  EXPECT_EQ(rows[1], (Row{"_Interval_Unit=2", "_Interval=3600", "_Occurrences=0", "LocalTimeStamp='1021210020000000'",
                          "_Date_Time='2002/12/10 02:00:00 000'", "_Interval_Unit_Name='2 AM'", "Bytes=0"}));
  std::vector<std::string> units;
  for (const Row& row : rows) units.push_back(row[0]);
  std::vector<std::string> expected = {"_Interval_Unit=3", "_Interval_Unit=2"};
  for (int hour = 4; hour <= 23; ++hour) expected.push_back("_Interval_Unit=" + std::to_string(hour));
  EXPECT_EQ(units, expected) << "hour 0 is never missing";
  EXPECT_EQ(rows[10][5], "_Interval_Unit_Name='12 PM'");
  EXPECT_EQ(rows[21][5], "_Interval_Unit_Name='11 PM'");
  for (uint8_t flag : block()->IntervalStatus) EXPECT_EQ(flag, 0);
}

TEST_F(SummaryRowsTest, NoRowsLeaveTheBlockAloneAndTheStatusZero) {
  load(kTraffic);
  recorder_->comm()->DCHstatus = -1;
  EXPECT_EQ(output(), Rows{});
  EXPECT_EQ(block()->Capacity, 0);
  EXPECT_EQ(block()->Array, nullptr);
  source_->EndBatchSummary = 1;
  EXPECT_EQ(output(), Rows{});
  EXPECT_EQ(source_->EndBatchSummary, 0) << "there was nothing to end";
}

// An offline drops what the source holds for the agent, without sending it.
TEST_F(SummaryRowsTest, ASourceTakenOfflineKeepsNoSummaryRows) {
  load(kTraffic);
  take("A;1;1021210100500000");
  take("B;2;1021210100510000");
  ASSERT_EQ(block()->UsedEntries, 2);
  ZEVP_DoDPoffline(source_, recorder_->comm());
  EXPECT_EQ(block()->UsedEntries, 0);
  EXPECT_EQ(block()->Capacity, 0);
  EXPECT_EQ(block()->LastUpdateTime, 0);
  EXPECT_EQ(block()->Array, nullptr);
  EXPECT_EQ(recorder_->take(), Rows{});
  EXPECT_EQ(take("C;3;1021210110000000"), 0) << "the next row begins an interval";
  EXPECT_STREQ(block()->IntervalStartStamp, "1021210110000000");
}

// A time stamp that is no valid agent time stamp counts as none: the row takes the
// current time.
TEST_F(SummaryRowsTest, AnInvalidTimeStampTakesTheCurrentTime) {
  for (const char* stamp : {"xyz", "1020010100500000", "1021210250000000", "1021210106000000", "10212101005"}) {
    SCOPED_TRACE(stamp);
    load({"//SUMMARY 60", "//ATTRIBUTES ';'", "Host D 16 SKEY=1", "LocalTimeStamp D 16"});
    TraceCapture trace("*=0x90");
    take(std::string("A;") + stamp);
    char now[ZEV0_PLOVEN_TIME_BLOCK_SIZE];
    ZEV0_GetPlovenTime(now);
    EXPECT_EQ(std::string(block()->IntervalStartStamp, 13), std::string(now, 13));
    EXPECT_TRUE(trace.contains("No value provided in LocalTimeStamp attribute. Obtaining current time"));
    EXPECT_EQ(endOutput().size(), 1u);
    TearDown();
  }
}

struct NameCase {
  int32_t interval;
  const char* stamp;
  const char* name;
};

TEST(SummaryIntervalName, NamesByIntervalLength) {
  const NameCase cases[] = {
      {3600, "1021210000000000", "0 AM"},     {3600, "1021210110000000", "11 AM"},
      {3600, "1021210120000000", "12 PM"},    {3600, "1021210150000000", "3 PM"},
      {3600, "1021210230000000", "11 PM"},    {86400, "1021210000000000", "Tuesday"},
      {60, "1021210000000000", "1 Minute(s)"}, {300, "1021210000000000", "5 Minute(s)"},
      {1800, "1021210000000000", "30 Minute(s)"},
      {7200, "1021210000000000", nullptr},  // blanks
      {30, "1021210000000000", "30 Seconds"},
  };
  auto* name = static_cast<AttributeEntry*>(ZEV0_GetStorage(ZEVP_AttributeEntrySize(24)));
  auto* stamp = static_cast<AttributeEntry*>(ZEV0_GetStorage(ZEVP_AttributeEntrySize(16)));
  name->MaxValSize = 24;
  stamp->MaxValSize = 16;
  for (const NameCase& c : cases) {
    SCOPED_TRACE(std::to_string(c.interval) + " " + c.stamp);
    SummaryManagementBlock* block = ZEVP_CreateSummaryManagementBlock(60, 0);
    block->SummaryInterval = c.interval;
    std::memcpy(stamp->Value(), c.stamp, 16);
    stamp->ActualValSize = 16;
    ZEVP_LoadIntervalNameToAttr(block, name, stamp);
    EXPECT_EQ(std::string(name->Value(), name->ActualValSize), c.name != nullptr ? c.name : std::string(24, ' '));
    ZEVP_ReleaseSummaryManagementBlock(block);
  }
  ZEV0_FreeStorage(&name);
  ZEV0_FreeStorage(&stamp);
}

// A group made without the parser's checks, whose keys take more than a page.
class WideSummaryTest : public ::testing::Test {
 protected:
  void make(const char* keySize) {
    application_ = ZEVP_InitializeApplicationEntry(models_.anchor(), "Wide", 0, nullptr);
    TableEntry* table = ZEVP_InitializeTableEntry(application_, "Grp", "P", "60", nullptr);
    source_ = ZEVP_InitializeSourceEntry(models_.anchor(), table, "BASE", nullptr, nullptr, nullptr);
    source_->AttrDelimiter = ZEVP_CheckAttributeDelimiter(nullptr);  // one blank
    table->Summary = ZEVP_CreateSummaryManagementBlock(60, 0);
    for (const char* head : ZEVP_SUMMARY_HEAD)
      ZEVP_InitializeAttrEntry(source_, head, "C", ZEVP_SUMMARY_HEAD_MAXIMUM, 0, 0, nullptr, nullptr);
    for (const char* name : {"K1", "K2"})
      ZEVP_InitializeAttrEntry(source_, name, "D", keySize, 0, 0, nullptr, nullptr)->AttrSortKey = name[1] - '0';
    ZEVP_CompleteSummaryTableDefinition(table, 0);
    ASSERT_NE(source_->Summary, nullptr);
  }
  void TearDown() override {
    if (application_ != nullptr) ZEVP_ReleaseApplResources(models_.anchor(), application_, 1);
  }
  void addRows(int count) {
    for (int i = 0; i < count; ++i) {
      std::string record = "k" + std::to_string(i) + " x";
      ZEVP_MoveDataToAttr(source_, record.data(), static_cast<int32_t>(record.size()), nullptr);
      ZEVP_UpdateSummaryDataArray(source_);
    }
  }

  ManualClock clock_;
  MetafileFixture models_;
  ApplicationEntry* application_ = nullptr;
  SourceEntry* source_ = nullptr;
};

TEST_F(WideSummaryTest, EntriesUseTheRestOfTheirLastPage) {
  make("1050");  // values of 1052 bytes: entries of 2105
  TraceCapture trace("*=0x90");
  addRows(5);
  EXPECT_EQ(source_->Summary->AllocationUnit, 1);
  EXPECT_TRUE(trace.contains("Increasing summary array from 0 to 1. Total storage 2105"));
  EXPECT_TRUE(trace.contains("Increasing summary array from 1 to 3. Total storage 6315"));
  EXPECT_TRUE(trace.contains("Increasing summary array from 3 to 5. Total storage 10525"));
  EXPECT_EQ(source_->Summary->UsedEntries, 5);
}

TEST_F(WideSummaryTest, AnEntryWiderThanAPageStillGrowsTheArray) {
  make("2500");  // entries of 5001 bytes
  TraceCapture trace("*=0x90");
  addRows(3);
  EXPECT_EQ(source_->Summary->AllocationUnit, 1);
  EXPECT_TRUE(trace.contains("Increasing summary array from 0 to 1. Total storage 5001"));
  EXPECT_TRUE(trace.contains("Increasing summary array from 1 to 2. Total storage 10002"));
  EXPECT_TRUE(trace.contains("Increasing summary array from 2 to 3. Total storage 15003"));
  EXPECT_EQ(source_->Summary->UsedEntries, 3);
  EXPECT_EQ(std::string(source_->Summary->Array + 5001, 2), "k1");
}

}  // namespace
