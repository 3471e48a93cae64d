// Table descriptions filled from canned attribute texts and help blocks, their binding
// to table managers, and the stop handshake with their data threads, which park at the
// DCH server in its host program.
#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <optional>
#include <string>

#include "agent_limits.h"
#include "attribute_enumeration.h"
#include "definition_fixture.h"
#include "table_manager_list.h"
#include "user_data_info.h"
#include "user_data_list_entry.h"
#include "wait_on_dp.h"
#include "zev_dorvan_manager.h"

namespace {

constexpr int kPromptlyMs = 1000;

struct Column {
  const char* colName;
  const char* attrName;
  int16_t type;
  const char* image;
  int16_t length;
  int16_t offset;
  int16_t keyed = 0;
  int16_t atomic = 0;
  int32_t mini = 0;
  int32_t maxi = 0;
  const char* enumeration = "";
};

const Column kOriginNode{"ORIGINNODE", "Node_Name", 2, "S32", 32, 0};

void ExpectColumn(const userDataInfo& table, int i, const Column& expected) {
  SCOPED_TRACE("column " + std::to_string(i));
  const attrInfo_t* column = table.attrInfo(i);
  ASSERT_NE(column, nullptr);
  EXPECT_STREQ(column->colName, expected.colName);
  EXPECT_STREQ(column->attrName, expected.attrName);
  EXPECT_EQ(column->colType, expected.type);
  EXPECT_STREQ(column->typeImage, expected.image);
  EXPECT_EQ(column->typeImage[attrInfo_t::kTypeImageSize - 1], ' ') << "blank-filled after the image";
  EXPECT_EQ(column->length, expected.length);
  EXPECT_EQ(column->offset, expected.offset);
  EXPECT_EQ(column->keyed, expected.keyed);
  EXPECT_EQ(column->atomic, expected.atomic);
  EXPECT_EQ(column->mini, expected.mini);
  EXPECT_EQ(column->maxi, expected.maxi);
  EXPECT_EQ(column->enumStr, expected.enumeration);
}

int64_t MillisecondsToDelete(std::unique_ptr<userDataListEntry>* entry) {
  auto start = std::chrono::steady_clock::now();
  entry->reset();
  return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start).count();
}

int FailingWait(DCHclient*, char*, short) { return 1; }

class TableDescriptionTest : public DefinitionRoadTest {
 protected:
  // An entry of application TDS, release 00, for the group.
  static std::unique_ptr<userDataListEntry> Entry(const std::string& group, const char* sampleType = "P",
                                                  const char* applNameRR = "TDS00") {
    return std::make_unique<userDataListEntry>(applNameRR, group + "," + sampleType + ",300", "03.00.00", "03.00.00");
  }
};

TEST_F(TableDescriptionTest, ColumnsFromCannedAttributeTexts) {
  const Column keyAtomic{"DV1", "K", 1, "I4", 4, 32, 1, 1, INT32_MIN, INT32_MAX};
  const struct {
    const char* what;
    const char* attrText;
    std::optional<std::string> help;
    int16_t rowSize;
    std::vector<Column> columns;  // after the origin node
  } cases[] = {
      {"key and atomic integer, then a string", "@$K,S,4:N,D,16:", std::nullopt, 52,
       {keyAtomic, {"DV2", "N", 2, "S16", 16, 36}}},
      {"no attribute records", "", std::nullopt, 32, {}},
      {"integers of length 2, 4 and another", "A,C,2:B,S,4:C,G,8:", std::nullopt, 46,
       {{"DV1", "A", 1, "I2", 2, 32, 0, 0, -32768, 32767},
        {"DV2", "B", 1, "I4", 4, 34, 0, 0, INT32_MIN, INT32_MAX},
        {"DV3", "C", 1, "I4", 8, 38, 0, 0, INT32_MIN, INT32_MAX}}},
      {"a time with an enumeration", "WHEN,T,16:", "G,gh,WHEN,the time,ENUM{NOW(1) LATER(2)}", 48,
       {{"DV1", "WHEN", 5, "T16", 16, 32, 0, 0, 0, 0, "NOW(1) LATER(2)"}}},
      {"the enumeration of the attribute named, not of one that begins alike", "Count,C,4:Count2,C,4:",
       "G,gh,Count2,second,ENUM{LOW(1) HIGH(2)},Count,first, ", 40,
       {{"DV1", "Count", 1, "I4", 4, 32, 0, 0, INT32_MIN, INT32_MAX},
        {"DV2", "Count2", 4, "I4", 4, 36, 0, 0, INT32_MIN, INT32_MAX, "LOW(1) HIGH(2)"}}},
      {"empty braces are no enumeration", "LVL,C,4:", "G,gh,LVL,level,ENUM{}", 36,
       {{"DV1", "LVL", 1, "I4", 4, 32, 0, 0, INT32_MIN, INT32_MAX}}},
      {"an attribute the help does not name", "LVL,D,4:", "G,gh,OTHER,other,ENUM{A(1)}", 36,
       {{"DV1", "LVL", 2, "S4", 4, 32}}},
  };
  int group = 0;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    auto entry = Entry("G" + std::to_string(++group));
    std::optional<std::string_view> help;
    if (c.help) help = *c.help;
    ASSERT_EQ(entry->addAttrInfo(c.attrText, help), 0) << trace().take();
    const userDataInfo& table = *entry->udi();
    EXPECT_EQ(table.noOfColumns(), static_cast<int16_t>(c.columns.size() + 1));
    EXPECT_EQ(table.rowSize(), c.rowSize);
    ExpectColumn(table, 0, kOriginNode);
    for (size_t i = 0; i < c.columns.size(); ++i) ExpectColumn(table, static_cast<int>(i + 1), c.columns[i]);
    EXPECT_EQ(table.attrInfo(table.noOfColumns()), nullptr);
  }
}

// Whatever the outcome, the thread of a table without attributes starts, and stops.
TEST_F(TableDescriptionTest, ATableWithoutAttributesStartsItsThread) {
  auto entry = Entry("EMPTY");
  ASSERT_EQ(entry->addAttrInfo("", std::nullopt), 0);
  entry.reset();
  EXPECT_TRUE(trace().contains("Terminate signal received from waitOnDP thread."));
}

TEST_F(TableDescriptionTest, FaultyAttributeTextsFailWithTheirMessage) {
  const struct {
    const char* attrText;
    std::optional<std::string> help;
    const char* message;
  } cases[] = {
      {"X,O,4:", std::nullopt, "Error: attribute type of [O] not recognized."},
      {"X,Q,4:", std::nullopt, "Error: attribute type of [Q] not recognized."},
      {",D,4:", std::nullopt, "Error: name was NULL."},
      {"@$,D,4:", std::nullopt, "Error: name was NULL."},
      {"X,D:", std::nullopt, "Error: lenStr was NULL."},
      {"X,,4:", std::nullopt, "Error: typeStr was NULL."},
      {"X,D,abc:", std::nullopt, "Error: length <abc> of attribute <X> not valid"},
      {"X,D,-4:", std::nullopt, "Error: length <-4> of attribute <X> not valid"},
      {"A,D,30000:B,D,30000:", std::nullopt, "longer than 32767 bytes"},
      {"Count,C,4:", "G,gh,Count,h,ENUM{A(1) B(2)", "Error: parsing enumeration."},
      {"Count,C,4:", "G,gh,Count,h", "Error: ENUM parsing."},
  };
  int group = 0;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.attrText);
    auto entry = Entry("F" + std::to_string(++group));
    std::optional<std::string_view> help;
    if (c.help) help = *c.help;
    EXPECT_EQ(entry->addAttrInfo(c.attrText, help), 1);
    EXPECT_TRUE(trace().contains(c.message)) << c.message;
    EXPECT_TRUE(trace().contains("Error: prepareAttributesImages failed"));
    trace().take();
  }
}

TEST(AttributeRecordTest, TypeOHasTheUnknownImage) {
  attrInfo_t column;
  std::string_view name;
  EXPECT_FALSE(takeAttributeRecord("@OBJ,O,4", &column, &name));
  EXPECT_STREQ(column.typeImage, "???");
  EXPECT_EQ(column.keyed, 1);
  EXPECT_EQ(name, "OBJ");
}

TEST_F(TableDescriptionTest, TheMostColumnsAreTakenOneMoreIsRefusedUntouched) {
  std::string attrText;
  for (int i = 1; i <= Max_IB_Columns(); ++i) attrText += "A" + std::to_string(i) + ",C,2:";
  auto full = Entry("FULL");
  ASSERT_EQ(full->addAttrInfo(attrText, std::nullopt), 0);
  EXPECT_EQ(full->udi()->noOfColumns(), Max_IB_Columns() + 1);
  EXPECT_EQ(full->udi()->rowSize(), 32 + 2 * Max_IB_Columns());

  auto over = Entry("OVER");
  EXPECT_EQ(over->addAttrInfo(attrText + "ONEMORE,C,2:", std::nullopt), 1);
  EXPECT_TRUE(trace().contains("Error: Maximum attributes " + std::to_string(Max_IB_Columns()) +
                               " for Appl<TDS> Group<OVER>"));
  EXPECT_EQ(over->udi()->noOfColumns(), Max_IB_Columns() + 1);
}

TEST_F(TableDescriptionTest, AnAttributeNameLongerThanItsColumnIsCutTo200) {
  std::string name(201, 'N');
  auto entry = Entry("LONG");
  ASSERT_EQ(entry->addAttrInfo(name + ",D,4:", std::nullopt), 0);
  EXPECT_EQ(std::string(entry->udi()->attrInfo(1)->attrName), name.substr(0, 200));
  EXPECT_TRUE(trace().contains("cut to 200 characters"));
}

TEST(AttributeEnumerationTest, FindsTheEnumerationByTheAttributesNameField) {
  const struct {
    const char* help;
    const char* attr;
    EnumerationLookup result;
    const char* enumeration;
  } cases[] = {
      {"G,gh,LVL,h,ENUM{LOW(1) HIGH(2)}", "LVL", EnumerationLookup::kFound, "LOW(1) HIGH(2)"},
      {"G,gh,Count2,h,ENUM{X(1)},Count,h, ", "Count", EnumerationLookup::kNone, ""},
      {"G,gh,A,Count,ENUM{X(1)},B,h, ", "Count", EnumerationLookup::kNotInHelp, ""},  // a help text is no name
      {"G,gh,,A,,h,,ENUM{X(1)}", "A", EnumerationLookup::kFound, "X(1)"},           // empty fields do not count
      {"G,gh,A,h,ENUM{", "A", EnumerationLookup::kNone, ""},
      {"G,gh,A,h,ENUM{X(1)", "A", EnumerationLookup::kUnclosed, ""},
      {"G,gh,A,h", "A", EnumerationLookup::kFieldMissing, ""},
      {"G", "A", EnumerationLookup::kNotInHelp, ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.help);
    std::string enumeration;
    EXPECT_EQ(findEnumeration(c.help, c.attr, &enumeration), c.result);
    EXPECT_EQ(enumeration, c.enumeration);
  }
  std::string tooLong = "G,gh,A,h,ENUM{" + std::string(kMaxEnumeration, 'x') + "}";
  std::string enumeration;
  EXPECT_EQ(findEnumeration(tooLong, "A", &enumeration), EnumerationLookup::kUnclosed);
}

TEST_F(TableDescriptionTest, SampleTypeNIsKeyedRowsOfAnSnmpTable) {
  auto snmp = Entry("SNMPG", "N");
  EXPECT_EQ(snmp->sampleType(), 'K');
  EXPECT_EQ(snmp->SNMPflag(), 1);
  EXPECT_EQ(snmp->udi()->tableManager()->isSNMPdata(), 1);
  auto event = Entry("EVENTG", "E");
  EXPECT_EQ(event->sampleType(), 'E');
  EXPECT_EQ(event->SNMPflag(), 0);
  EXPECT_EQ(ReadWorkFile("ZEVATBLS"), std::string("TDS00 ") + snmp->udi()->tableNameRR() + " 1\nTDS00 " +
                                          event->udi()->tableNameRR() + " 0\n");
}

TEST_F(TableDescriptionTest, AnEntryInErrorMakesAnIncompleteDescriptionThatFailsTheGroup) {
  const std::string records[] = {"NOSAMPLE", "NOTTL,P", std::string(33, 'G') + ",P,300"};
  for (const std::string& record : records) {
    SCOPED_TRACE(record);
    userDataListEntry entry("TDS00", record, "03.00.00", "03.00.00");
    EXPECT_EQ(entry.errors(), 1);
    ASSERT_NE(entry.udi(), nullptr);
    EXPECT_FALSE(entry.udi()->complete());
    EXPECT_EQ(entry.addAttrInfo("A,D,4:", std::nullopt), 1);
    EXPECT_EQ(entry.udi()->tableManager(), nullptr);
  }
  EXPECT_TRUE(trace().contains("Error: errors in userDataListEntry. Cannot continue!"));
  EXPECT_EQ(registry().count(), 0);
}

// The application came straight back: the new description of the same table was bound
// before the old one went.
TEST_F(TableDescriptionTest, ADescriptionGoingLeavesTheBindingOfItsSuccessor) {
  auto first = Entry("BIND");
  ASSERT_EQ(first->addAttrInfo("A,D,4:", std::nullopt), 0);
  zev_dorvan_manager* manager = first->udi()->tableManager();
  ASSERT_NE(manager, nullptr);
  auto second = Entry("BIND");
  ASSERT_EQ(second->addAttrInfo("A,D,4:", std::nullopt), 0);
  EXPECT_EQ(second->udi()->tableManager(), manager);
  EXPECT_TRUE(trace().contains("Using existing TableManager"));
  first.reset();
  EXPECT_EQ(manager->userDataInfoPtr(), second->udi());
  second.reset();
  EXPECT_EQ(manager->userDataInfoPtr(), nullptr);
  EXPECT_EQ(registry().count(), 1);
}

TEST_F(TableDescriptionTest, AParkedThreadLetsTheDestructorReturnPromptly) {
  ASSERT_NO_FATAL_FAILURE(registerApplication("TDP", {{"G1", "group", 'P', 300, "A,D,4, ,a;"}}));
  auto entry = Entry("G1", "P", "TDP00");
  ASSERT_EQ(entry->addAttrInfo("A,D,4:", std::nullopt), 0);
  std::string table = entry->udi()->tableNameRR();
  ASSERT_TRUE(rowReachesDataThread("TDP", "G1", table));
  EXPECT_LT(MillisecondsToDelete(&entry), kPromptlyMs);
  EXPECT_TRUE(trace().contains("Ending waitOnDP thread for applKey<TDP> tableName<" + table + ">"));
  EXPECT_TRUE(trace().contains("Terminate signal received from waitOnDP thread."));
}

// The thread's end on its own error leaves the description nothing to cancel.
TEST_F(TableDescriptionTest, AThreadEndedByAnErrorLetsTheDestructorReturnPromptly) {
  DataRecordWait previous = setDataRecordWait(FailingWait);
  auto entry = Entry("FAILING");
  ASSERT_EQ(entry->addAttrInfo("A,D,4:", std::nullopt), 0);
  EXPECT_TRUE(Eventually([&] { return trace().contains("Deleting buffer"); }));
  setDataRecordWait(previous);
  EXPECT_TRUE(trace().contains("Error: from dc_waitOnData."));
  EXPECT_LT(MillisecondsToDelete(&entry), kPromptlyMs);
  EXPECT_FALSE(trace().contains("Stopping waitOnData thread"));
}

// A destructor may come before the thread has parked, or while it parks.
TEST_F(TableDescriptionTest, ADescriptionDestroyedAsItsThreadStartsReturnsPromptly) {
  for (int i = 0; i < 20; ++i) {
    auto entry = Entry("QUICK");
    ASSERT_EQ(entry->addAttrInfo("A,D,4:", std::nullopt), 0);
    EXPECT_LT(MillisecondsToDelete(&entry), kPromptlyMs) << "round " << i;
  }
  EXPECT_TRUE(Eventually([&] { return trace().count("Deleting buffer") == 20; }));
}

}  // namespace
