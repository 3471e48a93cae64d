// The user-table agent in this process: the table's manager with columns of its own,
// a sample registry with row lists filled by the test, and requests opened, sampled and
// closed through the framework stand-in's driver.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "action_table_subnode.h"
#include "agent_limits.h"
#include "attribute_column.h"
#include "data_list.h"
#include "pxraf.h"
#include "raf_driver.h"
#include "request_kind.h"
#include "samples_list.h"
#include "situation_rule.h"
#include "trace_capture.h"
#include "user_table_fixture.h"
#include "zev_dorvan_agent.h"
#include "zev_dorvan_manager.h"

namespace {

class UserTableAgentTest : public ::testing::Test, public UserTable {};

TEST(RequestKindTest, SituationSampleTypeAndInstructionsChooseTheKind) {
  struct Case {
    const char* situation;
    int sampleType;
    const char* instructions;
    requestKind kind;
  } cases[] = {
      {"SIT", 1, "", kPolledSituation},   {"SIT", 4, "", kEventSituation},   {"SIT", 3, "HIST(x)", kSituationCurrent},
      {"SIT", 2, "", kUnrecognised},      {"", 3, "", kReport},             {nullptr, 3, nullptr, kReport},
      {"", 1, "", kPeriodicReport},       {"", 3, "HIST(1)", kHistory},     {"", 4, "HIST(1)", kHistory},
      {"", 4, "", kUnrecognised},         {"", 0, "", kUnrecognised},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.situation ? c.situation : "null") + "/" + std::to_string(c.sampleType) + "/" +
                 (c.instructions ? c.instructions : "null"));
    EXPECT_EQ(requestKindOf(c.situation, c.sampleType, c.instructions), c.kind);
  }
}

TEST(ActionTableSubnodeTest, TheLogSubnodeOfADataProviderIsServedAsItsActionSubnode) {
  struct Case {
    const char* requested;
    const char* served;
  } cases[] = {
      {"hostASFSdp:DVAGENT00", "hostACT:DVAGENT00"},
      {"ASFSdp:DVAGENT03", "ACT:DVAGENT03"},
      {"SFSdp:DVAGENT00", "SFSdp:DVAGENT00"},  // fewer than four characters before the mark
      {"host:MYAPP00", "host:MYAPP00"},
      {"hostFILEdp:DVAGENT00XY", "hostACT:DVAGENTXY"},
  };
  for (const Case& c : cases) EXPECT_EQ(actionTableSubnode(c.requested), c.served) << c.requested;
}

TEST(SituationRuleTest, PredicatesOnAttributeColumnsBecomeTheRulesAttributeList) {
  userTableColumnsPtr table = Columns();
  struct Case {
    const char* what;
    std::vector<rulePredicate> predicates;
    int result;
    std::string attributes;
  } cases[] = {
      {"integer and text", {{"DV3", 6, 0, "5", 1}, {"DV1", 1, 0, "abc", 3}}, 0, "(Count GT 5) (Name EQ abc) "},
      {"every operator", {{"DV2", 1, 0, "1", 1}, {"DV2", 2, 0, "2", 1}, {"DV2", 3, 0, "3", 1}, {"DV2", 4, 0, "4", 1},
        {"DV2", 5, 0, "5", 1}}, 0, "(Small EQ 1) (Small NE 2) (Small GE 3) (Small LE 4) (Small LT 5) "},
      {"another column, a function", {{"ORIGINNODE", 1, 0, "h", 1}, {"DV1", 1, 3, "x", 1}}, 0, ""},
      {"no such attribute column", {{"DV0", 1, 0, "x", 1}, {"DV5", 1, 0, "x", 1}, {"DVx", 1, 0, "x", 1}}, 0, ""},
      {"a text padded to its length", {{"DV4", 1, 0, "up", 4}}, 0, "(State EQ up  ) "},
      {"an unknown operator", {{"DV1", 7, 0, "x", 1}}, 1, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    std::string attributes;
    EXPECT_EQ(formatRuleAttributes(*table, c.predicates, &attributes), c.result);
    EXPECT_EQ(attributes, c.attributes);
  }

  FLT1_FILTERINFO filter{};
  std::strcpy(filter.columnName, "DV1");
  filter.comparisonOperator = 1;
  filter.valueLength = 2;
  filter.value = "abcdef";
  EXPECT_EQ(rulePredicateOf(filter).value, "ab") << "no more value than the record holds";

  std::string parameters;
  EXPECT_TRUE(formatRuleStartParameters(30, *table, "(Name EQ a) ", 100, 1024, &parameters));
  EXPECT_EQ(parameters, "INTERVAL=30 APPLNAME=MYAPP ATTRGROUP=PGRP ATTRIBUTES=(Name EQ a)");
  EXPECT_TRUE(formatRuleStartParameters(30, *table, "", 100, 1024, &parameters));
  EXPECT_EQ(parameters, "INTERVAL=30 APPLNAME=MYAPP ATTRGROUP=PGRP ATTRIBUTES=");
  EXPECT_FALSE(formatRuleStartParameters(30, *table, std::string(101, 'x'), 100, 1024, &parameters));
  EXPECT_FALSE(formatRuleStartParameters(30, *table, std::string(990, 'x'), 2000, 1024, &parameters))
      << "past the DCH's parameter characters";
}

TEST_F(UserTableAgentTest, ColumnsComeFromTheManagersDescription) {
  uint32_t handle = Open(Spec({}));
  WithAgent(handle, [](zev_dorvan_agent& agent) {
    EXPECT_EQ(agent.NumColumns(), 4);
    EXPECT_EQ(agent.DataSize(), kRowSize);
    struct Expected {
      const char* name;
      const char* attributeName;
      int type;
      int length;
      int offset;
    } expected[] = {{"ORIGINNODE", "ORIGINNODE", RAF_COLUMN_TEXT, 32, 0},
                    {"DV1", "Name", RAF_COLUMN_TEXT, 8, 32},
                    {"DV2", "Small", RAF_COLUMN_INTEGER_2, 2, 40},
                    {"DV3", "Count", RAF_COLUMN_INTEGER_4, 4, 42},
                    {"DV4", "State", RAF_COLUMN_TEXT, 4, 46}};
    for (int column = 0; column <= 4; ++column) {
      SCOPED_TRACE(column);
      ColumnInfo info{};
      ASSERT_EQ(agent.GetColumnInfo(&info, column), 0);
      EXPECT_STREQ(info.name, expected[column].name);
      EXPECT_STREQ(info.attributeName, expected[column].attributeName);
      EXPECT_EQ(info.type, expected[column].type);
      EXPECT_EQ(info.length, expected[column].length);
      EXPECT_EQ(info.offset, expected[column].offset);
    }
    ColumnInfo info{};
    EXPECT_EQ(agent.GetColumnInfo(&info, 5), RAF_STATUS_BAD_COLUMN);
    EXPECT_EQ(agent.GetColumnInfo(&info, -1), RAF_STATUS_BAD_COLUMN);
  });

  manager().clearUserDataPtr(nullptr);
  WithAgent(handle, [](zev_dorvan_agent& agent) {
    ColumnInfo info{};
    EXPECT_EQ(agent.NumColumns(), 0);
    EXPECT_EQ(agent.GetColumnInfo(&info, 0), RAF_STATUS_BAD_COLUMN);
    std::string row = Row("abc", 1, 1);
    EXPECT_EQ(agent.ColumnIsException(row.data(), const_cast<char*>("DV1"), IntfOper_EQ, const_cast<char*>("abc")), 0);
  });
}

// The fault: an integer column was tested as four bytes whatever its width, so a two-byte
// column took its neighbour's bytes into its value.
TEST_F(UserTableAgentTest, RegressionIntegersAreTestedAtTheirColumnsWidth) {
  uint32_t handle = Open(Spec({}));
  std::string row = Row("abc", 300, 1, "up");
  struct Case {
    const char* column;
    _IntfOper oper;
    const char* value;
    int exception;
  } cases[] = {
      {"DV2", IntfOper_LT, "1000", 1}, {"DV2", IntfOper_EQ, "300", 1}, {"DV3", IntfOper_EQ, "1", 1},
      {"DV1", IntfOper_EQ, "abc", 1},  {"DV1", IntfOper_NE, "abc", 0}, {"DV4", IntfOper_EQ, "up", 1},
      {"DV9", IntfOper_EQ, "1", 0},
  };
  WithAgent(handle, [&](zev_dorvan_agent& agent) {
    for (const Case& c : cases) {
      SCOPED_TRACE(std::string(c.column) + " " + c.value);
      EXPECT_EQ(agent.ColumnIsException(row.data(), const_cast<char*>(c.column), c.oper, const_cast<char*>(c.value)),
                c.exception);
    }
  });
}

TEST_F(UserTableAgentTest, ADemandRequestTakesEveryRowAndOthersOnlyThoseThatMeetTheirThresholds) {
  raf::RequestSpec report = Spec({"host:MYAPP00"});
  report.predicates = {{"DV3", IntfOper_GT, "5"}};
  raf::RequestSpec periodic = report;
  periodic.sampleType = 1;
  Online("host", {Row("low", 1, 2), Row("high", 1, 9)});
  std::vector<std::string> rows = Sample(Open(report));
  ASSERT_EQ(rows.size(), 2u);
  rows = Sample(Open(periodic));
  ASSERT_EQ(rows.size(), 1u);
  EXPECT_EQ(NameOf(rows[0]), "high");
  EXPECT_EQ(rows[0].substr(0, 32), "host:MYAPP00" + std::string(20, ' '));
}

TEST_F(UserTableAgentTest, ARequestKeepsItsFirst128Subnodes) {
  std::vector<std::string> subnodes;
  for (int i = 1; i <= 129; ++i) subnodes.push_back("h" + std::to_string(i) + ":MYAPP00");
  WithAgent(Open(Spec(subnodes)), [](zev_dorvan_agent& agent) {
    EXPECT_EQ(agent.numberOfSubnodes(), 128);
    EXPECT_STREQ(agent.subnodeName(127), "h128:MYAPP00");
  });
  EXPECT_TRUE(trace().contains("Warning: Max subnodes 128 per request has been reached."));
}

TEST_F(UserTableAgentTest, TheActionTableServesTheLogSubnodeAndKeepsTheRequestedOriginNode) {
  zev_dorvan_manager actions("DVAGENT00", ACTIONtableName());
  ASSERT_EQ(RemoteManager::RegisterClass(&actions), 0);
  raf::RequestSpec spec = Spec({"hostASFSdp:DVAGENT00", "ASFdp:DVAGENT00"});
  spec.application = "DVAGENT00";
  spec.table = ACTIONtableName();
  WithAgent(Open(spec), [](zev_dorvan_agent& agent) {
    EXPECT_STREQ(agent.subnodeName(0), "hostACT:DVAGENT00");
    EXPECT_STREQ(agent.originNode(0), "hostASFSdp:DVAGENT00");
    EXPECT_STREQ(agent.subnodeName(1), "ASFdp:DVAGENT00") << "too short: unchanged";
  });
}

TEST_F(UserTableAgentTest, ARequestForASourceNotYetOnlineIsDeferredAndEmitsOnceItComes) {
  uint32_t handle = Open(Spec({"later:MYAPP00", "host:OTHER00"}));
  EXPECT_TRUE(Sample(handle).empty());
  EXPECT_TRUE(trace().contains("for <MYA/later:MYAPP00/MYA1234500> added to defer queue."));
  EXPECT_TRUE(trace().contains("HIST subnode<host:OTHER00> not part of applKey<MYA>."));

  Online("later", {Row("first", 1, 1)});
  EXPECT_TRUE(trace().contains("Redriving request"));
  std::vector<std::string> rows = Sample(handle);
  ASSERT_EQ(rows.size(), 1u);
  EXPECT_EQ(NameOf(rows[0]), "first");
  WithAgent(handle, [](zev_dorvan_agent& agent) {
    EXPECT_EQ(agent.redriveRequest("nowhere:MYAPP00", kTable, 0), 1);
    EXPECT_EQ(agent.status(), 0);
  });
}

// The fault: an ending request withdrew its deferrals only for subnodes whose source it
// could resolve, so a deferral for a subnode never online stayed behind its deleted request.
TEST_F(UserTableAgentTest, RegressionAnEndingRequestWithdrawsEveryDeferral) {
  uint32_t handle = Open(Spec({"never:MYAPP00", "other:MYAPP00"}));
  Sample(handle);
  ASSERT_TRUE(raf::CloseRequest(handle));
  Online("never");
  Online("other");
  EXPECT_FALSE(trace().contains("no longer valid"));
}

TEST_F(UserTableAgentTest, EventRowsArePushedToTheTablesEventRequests) {
  uint32_t events = Open(Spec({"host:MYAPP00"}, 4, "SIT_EVENT"));
  uint32_t report = Open(Spec({"host:MYAPP00"}));
  std::string row = Row("event", 1, 1);
  EXPECT_EQ(manager().EventArrived(row.data(), kRowSize), 0);
  std::vector<std::vector<std::string>> batches = raf::TakeEventBatches(events);
  ASSERT_EQ(batches.size(), 1u);
  ASSERT_EQ(batches[0].size(), 1u);
  EXPECT_EQ(NameOf(batches[0][0]), "event");
  EXPECT_TRUE(raf::TakeEventBatches(report).empty()) << "a sampled request gets its rows at its samples";

  manager().clearUserDataPtr(nullptr);
  EXPECT_EQ(manager().EventArrived(row.data(), kRowSize), 1);
  EXPECT_TRUE(trace().contains("Error: _coInfo was NULL."));
  EXPECT_TRUE(raf::TakeEventBatches(events).empty());
}

// An enumeration names the values of a column; the row holds the integer or the text
// itself. A situation on such a column tests that value (taken as never met, it would
// never fire), and a text column with an enumeration is described as a text (as a number
// of its width the server would show its characters as an integer).
TEST_F(UserTableAgentTest, ASituationOnAnEnumeratedColumnTestsItsValue) {
  userTableColumnsPtr plain = Columns();
  std::vector<userTableColumn> columns;
  for (int i = 0; i <= plain->numColumns(); ++i) columns.push_back(*plain->column(i));
  columns[2].type = kEnumIntegerColumn;  // Small
  ASSERT_EQ(columns[4].type, kEnumStringColumn);  // State
  manager().publishColumns(nullptr,
                           std::make_shared<const userTableColumns>(columns, kRowSize, kAppl, "PGRP", kTable));

  raf::RequestSpec spec = Spec({"host:MYAPP00"}, 4, "SIT_ENUM");
  spec.predicates = {{"DV2", IntfOper_EQ, "300"}, {"DV4", IntfOper_EQ, "down"}};
  uint32_t situation = Open(spec);
  WithAgent(situation, [](zev_dorvan_agent& agent) {
    ColumnInfo info{};
    ASSERT_EQ(agent.GetColumnInfo(&info, 2), 0);
    EXPECT_EQ(info.type, RAF_COLUMN_INTEGER_2);
    ASSERT_EQ(agent.GetColumnInfo(&info, 4), 0);
    EXPECT_EQ(info.type, RAF_COLUMN_TEXT);
  });
  for (std::string row : {Row("both", 300, 1, "down"), Row("small", 299, 1, "down"), Row("state", 300, 1, "up")})
    manager().EventArrived(row.data(), kRowSize);
  std::vector<std::string> fired;
  for (const std::vector<std::string>& batch : raf::TakeEventBatches(situation))
    for (const std::string& row : batch) fired.push_back(NameOf(row));
  EXPECT_EQ(fired, std::vector<std::string>{"both"});
}

}  // namespace
