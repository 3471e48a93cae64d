// Application definitions built from the real DCH server: a data provider registers the
// application with the server in its host program, and the agent's definition is built
// in this process from the texts the server composed.
#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include "dch/dch_api.h"
#include "definition_fixture.h"
#include "raf_driver.h"
#include "table_manager_list.h"
#include "user_data_info.h"
#include "user_data_list.h"
#include "zev0/text.h"
#include "zev_dorvan_manager.h"

namespace {

constexpr int kPromptlyMs = 1000;

std::string TableName(const std::string& key, const std::string& group, const std::string& release) {
  return key + std::to_string(ZEV0_ComputeCheckSum(group.data(), static_cast<int32_t>(group.size()))) + release;
}

std::string WorkFileLine(const std::string& version, const std::string& group, const std::string& text) {
  std::string unmarked;
  for (char c : text)
    if (c != '$') unmarked += c;
  uint16_t checksum = ZEV0_ComputeCheckSum(unmarked.data(), static_cast<int32_t>(unmarked.size()));
  return version + " " + group + " " + std::to_string(checksum) + " <" + text + ">\n";
}

bool Registered(const std::string& application, const std::string& table) {
  for (const raf::Manager& manager : raf::Managers())
    if (manager.application == application && manager.table == table) return true;
  return false;
}

using ApplicationDefinitionTest = DefinitionRoadTest;

TEST_F(ApplicationDefinitionTest, TwoGroupsBuildTwoTablesBoundAndParked) {
  ASSERT_NO_FATAL_FAILURE(registerApplication("DEFA", {{"G1", "group one", 'P', 300,
                                "@$K,S,4, ,the key;N2,C,2, ,small;TXT,D,16, ,a text;WHEN,T,16, ,a time;"
                                "LVL,C,4,ENUM{LOW(1) HIGH(2)},a level;"},
                               {"G2", "group two", 'N', 60, "NAME,D,8, ,a name;"}}));
  std::string help = Text(dc_getApplHelp, "DEFA");
  auto list = std::make_unique<userDataList>("DEFA");
  ASSERT_EQ(list->errors(), 0) << trace().take();
  EXPECT_STREQ(list->cvrm(), "03.00.00");
  EXPECT_STREQ(list->prior_vrm(), "03.00.00");
  EXPECT_STREQ(list->RR(), "00");
  EXPECT_STREQ(list->applNameRR(), "DEFA00");
  EXPECT_EQ(list->status(), 0);
  ASSERT_EQ(list->noOfElements(), 2);

  userDataListIterator walk(list->entries());
  userDataListEntry* g1 = walk.Next();
  userDataListEntry* g2 = walk.Next();
  EXPECT_EQ(walk.Next(), nullptr);
  ASSERT_STREQ(g1->attrGroup(), "G1");
  ASSERT_STREQ(g2->attrGroup(), "G2");
  const std::string t1 = TableName("DEF", "G1", "00");
  const std::string t2 = TableName("DEF", "G2", "00");

  const userDataInfo& one = *g1->udi();
  EXPECT_EQ(one.tableNameRR(), t1);
  EXPECT_STREQ(one.applName(), "DEFA");
  EXPECT_STREQ(one.applKey(), "DEF");
  EXPECT_EQ(one.sampleType(), 'P');
  EXPECT_EQ(one.TTL(), 300);
  EXPECT_EQ(one.noOfColumns(), 6);
  EXPECT_EQ(one.rowSize(), 32 + 4 + 2 + 16 + 16 + 4);
  const struct {
    const char* name;
    int16_t type;
    const char* image;
    int16_t offset;
  } columns[] = {{"K", 1, "I4", 32}, {"N2", 1, "I2", 36}, {"TXT", 2, "S16", 38}, {"WHEN", 2, "T16", 54}, {"LVL", 4, "I4", 70}};
  for (int i = 1; i <= 5; ++i) {
    const attrInfo_t& column = *one.attrInfo(i);
    SCOPED_TRACE(column.attrName);
    EXPECT_STREQ(column.attrName, columns[i - 1].name);
    EXPECT_EQ(column.colType, columns[i - 1].type);
    EXPECT_STREQ(column.typeImage, columns[i - 1].image);
    EXPECT_EQ(column.offset, columns[i - 1].offset);
  }
  EXPECT_EQ(one.columnKeyed(1), 1);
  EXPECT_EQ(one.attrInfo(1)->atomic, 1);
  EXPECT_EQ(one.attrInfo(2)->mini, -32768);
  EXPECT_EQ(one.attrInfo(5)->enumStr, "LOW(1) HIGH(2)");

  const userDataInfo& two = *g2->udi();
  EXPECT_EQ(two.tableNameRR(), t2);
  EXPECT_EQ(two.sampleType(), 'K');
  EXPECT_EQ(g2->SNMPflag(), 1);
  EXPECT_EQ(two.TTL(), 60);
  EXPECT_EQ(two.rowSize(), 40);

  for (const userDataInfo* table : {&one, &two}) {
    zev_dorvan_manager* manager = registry().getTblMgr("DEFA00", table->tableNameRR());
    ASSERT_NE(manager, nullptr);
    EXPECT_EQ(table->tableManager(), manager);
    EXPECT_EQ(manager->userDataInfoPtr(), table);
    EXPECT_TRUE(Registered("DEFA00", table->tableNameRR()));
  }
  EXPECT_EQ(registry().getTblMgr("DEFA00", t2.c_str())->isSNMPdata(), 1);
  EXPECT_EQ(ReadWorkFile("ZEVATBLS"), "DEFA00 " + t1 + " 0\nDEFA00 " + t2 + " 1\n");
  EXPECT_EQ(ReadWorkFile("zevawDEF"), WorkFileLine("03.00.00", "G1", "P,G1,$K,S,4:N2,C,2:TXT,D,16:WHEN,T,16:LVL,C,4:") +
                                          WorkFileLine("03.00.00", "G2", "P,G2,NAME,D,8:") + "@HELP " +
                                          std::to_string(ZEV0_ComputeCheckSum(help.data(),
                                                                              static_cast<int32_t>(help.size()))) +
                                          " <" + help + ">\n");

  EXPECT_TRUE(rowReachesDataThread("DEFA", "G1", t1));
  EXPECT_TRUE(rowReachesDataThread("DEFA", "G2", t2));
  auto start = std::chrono::steady_clock::now();
  list.reset();
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(kPromptlyMs));
  EXPECT_TRUE(trace().contains("Ending waitOnDP thread for applKey<DEF> tableName<" + t1 + ">"));
  EXPECT_TRUE(trace().contains("Ending waitOnDP thread for applKey<DEF> tableName<" + t2 + ">"));
  EXPECT_TRUE(Eventually([&] { return trace().count("Deleting buffer") == 2; }));
  EXPECT_EQ(registry().getTblMgr("DEFA00", t1.c_str())->userDataInfoPtr(), nullptr);
}

// The fault: the help of a group without attributes did not end with ':', so every group
// after it took the help block of the group before it and lost its enumerations.
TEST_F(ApplicationDefinitionTest, RegressionAGroupWithoutAttributesKeepsTheHelpOfTheGroupsAfterIt) {
  ASSERT_NO_FATAL_FAILURE(registerApplication(
      "EMPT", {{"G0", "group none", 'P', 300, ""}, {"G1", "group one", 'P', 300, "LVL,C,4,ENUM{LOW(1) HIGH(2)},a level;"}}));
  EXPECT_EQ(Text(dc_getApplHelp, "EMPT"), "appl help,G0,group none,:G1,group one,LVL,a level,ENUM{LOW(1) HIGH(2)}:;");
  auto list = std::make_unique<userDataList>("EMPT");
  userDataListIterator walk(list->entries());
  userDataListEntry* g1 = nullptr;
  while (userDataListEntry* entry = walk.Next())
    if (std::string(entry->attrGroup()) == "G1") g1 = entry;
  ASSERT_NE(g1, nullptr) << trace().take();
  ASSERT_GE(g1->udi()->noOfColumns(), 2);
  EXPECT_EQ(g1->udi()->attrInfo(1)->enumStr, "LOW(1) HIGH(2)");
}

TEST_F(ApplicationDefinitionTest, AGroupAddedTwiceOrUnknownIsRefused) {
  ASSERT_NO_FATAL_FAILURE(registerApplication("TWICE", {{"G1", "group one", 'P', 300, "A,D,4, ,a;"}}));
  userDataList list("TWICE");
  ASSERT_EQ(list.errors(), 0);
  EXPECT_EQ(list.addAttrGroup("G1,P,300"), 1);
  EXPECT_TRUE(trace().contains("Error: Found existing userDataListEntry<G1>"));
  EXPECT_EQ(list.addAttrInfo("G9", "A,D,4:", std::nullopt), 1);
  EXPECT_TRUE(trace().contains("Error: No match found for attrGroup <G9> attrInfo <A,D,4:>"));
  EXPECT_EQ(list.noOfElements(), 1);
}

// The server takes more groups than the agent does.
class TooManyGroupsTest : public DefinitionRoadTest {
 protected:
  std::vector<std::string> hostSettings() const override { return {"ZEVA_MAX_ATTRGROUPS_PER_APPL=100"}; }
};

TEST_F(TooManyGroupsTest, MoreGroupsThanAnApplicationMayHaveFailTheBuild) {
  std::vector<rawdch::Group> groups;
  for (int i = 0; i <= 64; ++i) groups.push_back({"X" + std::to_string(i), "h", 'P', 300, "A,D,4, ,a;"});
  ASSERT_NO_FATAL_FAILURE(registerApplication("MANY", groups));
  userDataList list("MANY");
  EXPECT_NE(list.errors(), 0);
  EXPECT_EQ(list.noOfElements(), 0);
  EXPECT_TRUE(trace().contains("has more than 64 attribute groups: raise ZEVA_MAX_ATTRGROUPS_PER_APPL"));
  EXPECT_EQ(ReadWorkFile("zevawMAN"), "");
}

}  // namespace
