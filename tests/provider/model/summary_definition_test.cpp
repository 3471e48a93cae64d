// What a //SUMMARY group becomes: its interval, its inserted attributes, which
// attributes its rows hold and in what order, and the layout of its array.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "application_entry.h"
#include "attribute_entry.h"
#include "metafile_fixture.h"
#include "model_dump.h"
#include "parsed_application.h"
#include "source_entry.h"
#include "summary_block.h"
#include "summary_definition.h"
#include "summary_help_texts.h"
#include "table_entry.h"
#include "trace_capture.h"

namespace {

using Lines = std::vector<std::string>;

TEST(SummaryInterval, RequestedIntervalsAreNormalised) {
  struct Case {
    int32_t requested;
    int32_t interval;
    int32_t statusLimit;
  } cases[] = {
      {30, 60, 59},         {59, 60, 59},         {60, 60, 59},          {90, 90, 0},      // odd seconds kept
      {119, 119, 0},        {420, 600, 0},        {660, 720, 0},         {840, 900, 0},
      {900, 900, 0},        {1140, 1200, 0},      {1260, 1800, 0},       {3600, 3600, 23},
      {3601, 43200, 0},     {5400, 43200, 0},     {7199, 43200, 0},      {7200, 7200, 0},  // an hour and a bit: 12
      {18000, 21600, 0},    {25200, 28800, 0},    {36000, 43200, 0},     {46800, 86400, 31},
      {86400, 86400, 31},   {100000, 86400, 31},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.requested);
    SummaryManagementBlock* block = ZEVP_CreateSummaryManagementBlock(c.requested, 0);
    ASSERT_NE(block, nullptr);
    EXPECT_EQ(block->SummaryInterval, c.interval);
    EXPECT_EQ(block->IntervalStatusLimit, c.statusLimit);
    EXPECT_EQ(block->SummaryBatchMode, 0);
    ZEVP_ReleaseSummaryManagementBlock(block);
  }
  SummaryManagementBlock* batch = ZEVP_CreateSummaryManagementBlock(60, 1);
  EXPECT_EQ(batch->SummaryBatchMode, 1);
  ZEVP_ReleaseSummaryManagementBlock(batch);
}

// The names of the source's attributes in its summary (and send) order.
Lines SummaryOrder(const SourceEntry* source) {
  Lines names;
  for (const AttributeEntry* attribute = source->FirstInSequence; attribute != nullptr;
       attribute = attribute->NextInSequence)
    names.push_back(attribute->AttrName);
  return names;
}

TEST(SummaryDefinition, AKeyedGroupGetsItsAttributesOrderAndLayout) {
  MetafileFixture models;
  models.write("traffic.mdl", {"//APPL Sum", "//NAME Traffic P 60", "//SUMMARY 60", "//ATTRIBUTES ';'",
                               "Host D 16 SKEY=1", "Bytes C 999999 SKEY=SUM", "Other D 8", "Cnt G 100",
                               "Avg (Bytes / _Occurrences)", "Both (Bytes + Cnt)"});
  TraceCapture trace("*=0x90");
  MetafileFixture::Parse parse = models.parse("traffic.mdl");
  ASSERT_NE(parse.application, nullptr);
  EXPECT_EQ(parse.output, Lines{});
  EXPECT_EQ(DumpModel(parse.application),
            (Lines{"APPL Sum", "  GROUP Traffic P ttl=60 sources=1 attrs=12/9", "    SOURCE B node=dphost delim=';'",
                   std::string("      ATTR _Interval_Unit C 4/99999999 help=") + kSummaryIntervalHelp,
                   std::string("      ATTR _Interval C 4/99999999 help=") + kSummaryIntervalHelp,
                   std::string("      ATTR _Occurrences C 4/99999999 help=") + kSummaryOccurrencesHelp,
                   "      ATTR Host D 16/16 skey=1", "      ATTR Bytes C 4/999999 skey=-1", "      ATTR Other D 8/8 hidden",
                   "      ATTR Cnt G 2/100 hidden", "      ATTR Avg G 4/2147483647 formula=Bytes/_Occurrences",
                   "      ATTR Both G 4/2147483647 hidden formula=Bytes+Cnt", "      ATTR _LocalTimeStamp T 16/16",
                   std::string("      ATTR _Date_Time D 24/24 help=") + kSummaryDateTimeHelp,
                   std::string("      ATTR _Interval_Unit_Name D 24/24 help=") + kSummaryUnitNameHelp}));
  SourceEntry* source = parse.application->FirstTable->FirstSource;
  EXPECT_EQ(SummaryOrder(source), (Lines{"Host", "_Interval_Unit", "_Interval", "_Occurrences", "_LocalTimeStamp",
                                         "_Date_Time", "_Interval_Unit_Name", "Avg", "Bytes"}));
  EXPECT_TRUE(trace.contains("LocalTimeStamp not found. Auto added to definition"));
  EXPECT_TRUE(trace.contains("SummaryArrayWidth 21,SummaryTotalWidth 4, SummaryKeyDataWidth 17, Allocation unit 195"));
  ASSERT_NE(source->Summary, nullptr);
  EXPECT_NE(source->Summary, parse.application->FirstTable->Summary) << "each source has a block of its own";
  EXPECT_EQ(source->Summary->SummaryInterval, 60);
  EXPECT_EQ(source->Summary->TotalCount, 1);
}

TEST(SummaryDefinition, GroupsWithoutKeysOrWithTheirOwnTimeStamp) {
  MetafileFixture models;
  models.write("nokey.mdl", {"//APPL Nokey", "//NAME Grp P 60", "//SUMMARY 300 BATCH", "//ATTRIBUTES ';'",
                             "LocalTimeStamp T 16", "Bytes C 999999 SKEY=SUM", "Cnt G 100 SKEY=SUM"});
  TraceCapture trace("*=0x90");
  MetafileFixture::Parse parse = models.parse("nokey.mdl");
  ASSERT_NE(parse.application, nullptr);
  EXPECT_EQ(parse.output, (Lines{"ZEVPV91W Specification Warning: Summary attribute group defined without key "
                                 "attribute. Summarize by timestamp for Grp"}));
  SourceEntry* source = parse.application->FirstTable->FirstSource;
  EXPECT_EQ(SummaryOrder(source), (Lines{"_Interval_Unit", "_Interval", "_Occurrences", "LocalTimeStamp", "_Date_Time",
                                         "_Interval_Unit_Name", "Bytes", "Cnt"}))
      << "the time stamp of the metafile keeps its place in the row";
  EXPECT_FALSE(trace.contains("LocalTimeStamp not found"));
  EXPECT_TRUE(trace.contains("Warning: No key attribute defined for Summary table"));
  EXPECT_TRUE(trace.contains("SummaryArrayWidth 25,SummaryTotalWidth 8, SummaryKeyDataWidth 17, Allocation unit 163"));
  EXPECT_EQ(source->Summary->SummaryBatchMode, 1);
  EXPECT_EQ(source->Summary->SummaryInterval, 300);
}

// Completing the group adds the same attributes to each of its sources: the
// group's counts grow once, by what one source got.
TEST(SummaryDefinition, AGroupOfTwoSourcesCountsItsAddedAttributesOnce) {
  MetafileFixture models;
  models.write("two.mdl", {"//APPL Two", "//NAME Grp P 60", "//SOURCE BASE one", "//SOURCE BASE two", "//SUMMARY 60",
                           "//ATTRIBUTES ';'", "Host D 16 SKEY=1", "Other D 8"});
  MetafileFixture::Parse parse = models.parse("two.mdl");
  ASSERT_NE(parse.application, nullptr);
  TableEntry* table = parse.application->FirstTable;
  // 3 leading, Host, Other; then the time stamp and the two display attributes.
  EXPECT_EQ(table->AttributesDefined, 8);
  EXPECT_EQ(table->AttributesPerRow, 7) << "Other is not in the row";
  SourceEntry* one = table->FirstSource;
  SourceEntry* two = one->next;
  ASSERT_NE(two, nullptr);
  EXPECT_EQ(DumpAttributes(one), DumpAttributes(two));
  EXPECT_EQ(SummaryOrder(one), SummaryOrder(two));
  EXPECT_NE(one->Summary, two->Summary);
  // The help texts are placed once in the group's buffer.
  EXPECT_EQ(AttributeNamed(one, "_Date_Time")->HelpText, AttributeNamed(two, "_Date_Time")->HelpText);
}

TEST(SummaryDefinition, ASummaryAfterTheAttributesIsIgnored) {
  MetafileFixture models;
  models.write("late.mdl", {"//APPL Late", "//NAME Grp P 60", "//ATTRIBUTES ';'", "Host D 16", "//SUMMARY 60"});
  TraceCapture trace("*=0x80");
  MetafileFixture::Parse parse = models.parse("late.mdl");
  ASSERT_NE(parse.application, nullptr);
  EXPECT_EQ(parse.application->FirstTable->Summary, nullptr);
  EXPECT_EQ(parse.application->FirstTable->FirstSource->Summary, nullptr);
  EXPECT_TRUE(trace.contains("*****Error: SUMMARY statement after the ATTRIBUTES of group <Grp> ignored"));
}

}  // namespace
