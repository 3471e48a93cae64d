#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "framework_fixture.h"
#include "pxraf.h"
#include "table_manager.h"

namespace {

using rafdemo::DemoRequest;
using rafdemo::Row;

// The open request's object, for a look at what it saw (the test holds no pin: it
// ends the request itself).
DemoRequest* requestOf(uint32_t handle) {
  Pxraf* request = Pxraf::UseHandle(handle);
  if (request != nullptr) request->Drop();
  return static_cast<DemoRequest*>(request);
}

TEST_F(FrameworkTest, ASampleGivesTheRowsOfTheRequestedSubnodesByteForByte) {
  std::string first = Row("host1", "backup", 42, -7);
  std::string second = Row("host1", "restore", -1, 300);
  std::string other = Row("host2", "copy", 5, 5);
  manager_->SetRows("host1", {first, second});
  manager_->SetRows("host2", {other});
  uint32_t handle = raf::OpenRequest(demoSpec({"host2", "host1"}));
  ASSERT_NE(handle, 0u);
  std::vector<std::string> rows;
  ASSERT_TRUE(raf::Sample(handle, &rows));
  EXPECT_EQ(rows, (std::vector<std::string>{other, first, second}));
  ASSERT_TRUE(raf::Sample(handle, &rows));
  EXPECT_EQ(rows.size(), 3u) << "each sample answers afresh: the rows of the last are not sent again";
  EXPECT_TRUE(raf::CloseRequest(handle));
  EXPECT_FALSE(raf::Sample(handle, &rows));
}

TEST_F(FrameworkTest, TheRequestCarriesWhatTheServerAskedFor) {
  raf::RequestSpec spec = demoSpec({"host1", std::string(40, 's'), ""});
  spec.situation = "Disk_Full";
  spec.sampleType = IntfSampleType_exception;
  spec.interval = 60;
  spec.instructions = "HIST(1)";
  uint32_t handle = raf::OpenRequest(spec);
  DemoRequest* request = requestOf(handle);
  ASSERT_NE(request, nullptr);
  EXPECT_STREQ(request->ApplicationName(), rafdemo::kApplication);
  EXPECT_STREQ(request->TableName(), rafdemo::kTable);
  EXPECT_STREQ(request->SituationName(), "Disk_Full");
  EXPECT_EQ(request->Interval(), 60);
  EXPECT_EQ(request->_get_sampletype(), IntfSampleType_exception);
  EXPECT_STREQ(request->_get_instructions(), "HIST(1)");
  EXPECT_EQ(request->Handle(), handle);
  EXPECT_EQ(request->IsAutomationRequest(), 0);
  // Subnode names are cut to 32 characters; an empty one ends the walk.
  EXPECT_EQ(request->subnodes, (std::vector<std::string>{"host1", std::string(32, 's')}));
  request->ResetGetSubnode();
  EXPECT_STREQ(request->GetSubnode(), "host1");
}

TEST_F(FrameworkTest, GetFilterInfoGivesEveryPredicateThen63AndStartsOver) {
  raf::RequestSpec spec = demoSpec();
  spec.predicates = {{"DV2", IntfOper_GT, "5"}, {"DV1", IntfOper_EQ, "backup", 1, 2}};
  uint32_t handle = raf::OpenRequest(spec);
  DemoRequest* request = requestOf(handle);
  ASSERT_NE(request, nullptr);
  ASSERT_EQ(request->filters.size(), 2u);
  EXPECT_EQ(request->filterEnd, FLT1_NO_MORE_FILTERS);
  EXPECT_STREQ(request->filters[0].columnName, "DV2");
  EXPECT_EQ(request->filters[0].comparisonOperator, IntfOper_GT);
  EXPECT_EQ(request->filterValues[0], "5");
  EXPECT_EQ(request->filters[1].logicalOperator, 1);
  EXPECT_EQ(request->filters[1].functionType, 2);
  EXPECT_EQ(request->filters[1].valueLength, 6);
  FLT1_FILTERINFO again;
  ASSERT_EQ(request->GetFilterInfo(&again), 0);
  EXPECT_STREQ(again.columnName, "DV2");
  EXPECT_STREQ(request->GetFirstThreshold("dv1"), "backup");
  EXPECT_EQ(request->GetFirstOperator("DV1"), IntfOper_EQ);
  EXPECT_EQ(request->GetFirstThreshold("DV3"), nullptr);
  EXPECT_EQ(request->GetFirstOperator("DV3"), IntfOper_None);
}

// Rows reach a request only when they meet every predicate; no predicate passes all.
TEST_F(FrameworkTest, CheckForExceptionPassesRowsThatMeetEveryPredicate) {
  std::string big = Row("host1", "backup", 42, 2);
  std::string small = Row("host1", "backup", 3, 2);
  std::string other = Row("host1", "restore", 42, 2);
  manager_->SetRows("host1", {big, small, other});
  struct Case {
    const char* name;
    std::vector<raf::Predicate> predicates;
    std::vector<std::string> expected;
  } cases[] = {
      {"no predicate", {}, {big, small, other}},
      {"count over 5", {{"DV2", IntfOper_GT, "5"}}, {big, other}},
      {"count over 5 and job backup", {{"DV2", IntfOper_GT, "5"}, {"dv1", IntfOper_EQ, "backup"}}, {big}},
      {"level of two bytes", {{"DV3", IntfOper_LE, "1"}}, {}},
      {"a function is not evaluated", {{"DV2", IntfOper_GT, "500", 0, 3}}, {big, small, other}},
      {"an unknown column holds for no row", {{"DV9", IntfOper_EQ, "x"}}, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    raf::RequestSpec spec = demoSpec();
    spec.predicates = c.predicates;
    uint32_t handle = raf::OpenRequest(spec);
    std::vector<std::string> rows;
    ASSERT_TRUE(raf::Sample(handle, &rows));
    EXPECT_EQ(rows, c.expected);
  }
}

TEST(ExceptionTestsTest, EachOperatorComparesTextAndIntegersOfTheirWidths) {
  int16_t two = -3;
  int32_t four = 70000;
  char twoBytes[2], fourBytes[4];
  std::memcpy(twoBytes, &two, 2);
  std::memcpy(fourBytes, &four, 4);
  const char text[8] = {'a', 'b', 'c', ' ', ' ', 'x', 'x', 'x'};  // "abc" in a 5-byte field
  struct Case {
    _IntfOper oper;
    int text;    // "abc" against "abd"
    int twoInt;  // -3 against -3
    int four;    // 70000 against 69999
  } cases[] = {
      {IntfOper_EQ, 0, 1, 0}, {IntfOper_NE, 1, 0, 1}, {IntfOper_GE, 0, 1, 1}, {IntfOper_LE, 1, 1, 0},
      {IntfOper_LT, 1, 0, 0}, {IntfOper_GT, 0, 0, 1}, {IntfOper_None, 0, 0, 0}, {static_cast<_IntfOper>(7), 0, 0, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.oper);
    EXPECT_EQ(Pxraf::IsException(c.oper, text, "abd", 5), c.text);
    EXPECT_EQ(Pxraf::IsException(c.oper, twoBytes, IntfInteger_2, "-3"), c.twoInt);
    EXPECT_EQ(Pxraf::IsException(c.oper, fourBytes, IntfInteger_4, " 69999"), c.four);
    EXPECT_EQ(Pxraf::IsException(c.oper, fourBytes, "69999"), c.four);
    EXPECT_EQ(Pxraf::IsException(c.oper, 70000L, "69999"), c.four);
  }
  EXPECT_EQ(Pxraf::IsException(IntfOper_EQ, text, "abc  ", 5), 1) << "trailing blanks do not count";
  EXPECT_EQ(Pxraf::IsException(IntfOper_LT, text, "abcd", 5), 1) << "a prefix is the smaller";
  EXPECT_EQ(Pxraf::IsException(IntfOper_GT, 1L, "99999999999999999999999"), 0) << "held to the range of long";
  EXPECT_EQ(Pxraf::IsException(IntfOper_EQ, text, nullptr, 5), 0);
}

TEST_F(FrameworkTest, GetColumnInfoByNameWalksEveryColumnWithoutRegardToCase) {
  uint32_t handle = raf::OpenRequest(demoSpec());
  DemoRequest* request = requestOf(handle);
  ASSERT_NE(request, nullptr);
  ColumnInfo info;
  ASSERT_EQ(request->GetColumnInfoByName(&info, "dv3"), 0) << "the last column is NumColumns()";
  EXPECT_EQ(info.offset, 52);
  EXPECT_EQ(info.type, RAF_COLUMN_INTEGER_2);
  ASSERT_EQ(request->GetColumnInfoByName(&info, "ORIGINNODE"), 0);
  EXPECT_STREQ(info.attributeName, "Node_Name");
  EXPECT_EQ(request->GetColumnInfoByName(&info, "DV4"), RAF_STATUS_BAD_COLUMN);
}

TEST_F(FrameworkTest, RowsFollowTheRowSizeAndTheAllocationDefault) {
  uint32_t handle = raf::OpenRequest(demoSpec());
  DemoRequest* request = requestOf(handle);
  ASSERT_NE(request, nullptr);
  std::string row = Row("host1", "backup", 1, 2);
  for (int i = 0; i < 3; ++i) ASSERT_EQ(request->InsertRow(row.data()), 0);
  EXPECT_EQ(request->NumDataItems(), 3);
  EXPECT_EQ(request->RowsAllocated(), 4) << "two at a time";
  EXPECT_EQ(std::string(request->Data(2), request->DataSize()), row);
  EXPECT_EQ(request->Data(3), nullptr);
  EXPECT_EQ(request->Data(-1), nullptr);
  request->SetRowSize(10);
  EXPECT_EQ(std::string(request->Data(0), 10), row.substr(0, 10));
  request->SetRowSize(60);
  EXPECT_EQ(std::string(request->Data(0), 60), row.substr(0, 10) + std::string(50, '\0'));
  request->ClearCount();
  EXPECT_EQ(request->NumDataItems(), 0);
  request->SetRowSize(0);
  EXPECT_EQ(request->InsertRow(row.data()), 1) << "no row size";
}

TEST_F(FrameworkTest, InjectedInsertRowFailuresLoseTheRowsAndTheNextSucceeds) {
  manager_->SetRows("host1", {Row("host1", "a", 1, 1), Row("host1", "b", 2, 2)});
  uint32_t handle = raf::OpenRequest(demoSpec());
  raf::InjectFailure(raf::Failure::InsertRow);
  std::vector<std::string> rows;
  ASSERT_TRUE(raf::Sample(handle, &rows));
  EXPECT_TRUE(rows.empty()) << "AddData stops at the first failed insertion";
  ASSERT_TRUE(raf::Sample(handle, &rows));
  EXPECT_EQ(rows.size(), 2u);
}

}  // namespace
