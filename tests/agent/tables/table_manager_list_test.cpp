// The table-manager registry: its work file read back at start-up, the managers it
// re-creates with the framework stand-in, its sticky refusal, and its order of entries.
#include "table_manager_list.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "raf_driver.h"
#include "trace_capture.h"
#include "work_directory.h"
#include "zev_dorvan_manager.h"

namespace {

constexpr char kWorkFile[] = "ZEVATBLS";

bool Registered(const std::string& application, const std::string& table) {
  for (const raf::Manager& manager : raf::Managers())
    if (manager.application == application && manager.table == table) return true;
  return false;
}

std::vector<std::string> TablesInOrder(const tableManagerList& registry) {
  std::vector<std::string> tables;
  tableManagerListIterator walk(registry.entries());
  while (const tableManagerListEntry* entry = walk.Next()) tables.push_back(entry->tableName());
  return tables;
}

std::string Table(int i) { return "T" + std::to_string(100 + i) + "00"; }

class TableManagerListTest : public ::testing::Test {
 protected:
  void SetUp() override {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    DefinitionWorkDirectory();
    RemoveWorkFile(kWorkFile);
  }

  TraceCapture trace_{"*=0x90"};
};

TEST_F(TableManagerListTest, TwoLinesReCreateTwoManagersAndWriteNothingBack) {
  const std::string lines = "APPA00 APP1111100 0\nAPPA00 APP2222201 1\n";
  WriteWorkFile(kWorkFile, lines);
  tableManagerList registry;
  EXPECT_EQ(registry.errors(), 0);
  ASSERT_EQ(registry.count(), 2);
  zev_dorvan_manager* first = registry.getTblMgr("APPA00", "APP1111100");
  zev_dorvan_manager* second = registry.getTblMgr("APPA00", "APP2222201");
  ASSERT_NE(first, nullptr);
  ASSERT_NE(second, nullptr);
  EXPECT_EQ(first->isSNMPdata(), 0);
  EXPECT_EQ(second->isSNMPdata(), 1);
  EXPECT_EQ(first->userDataInfoPtr(), nullptr);
  EXPECT_TRUE(Registered("APPA00", "APP1111100"));
  EXPECT_TRUE(Registered("APPA00", "APP2222201"));
  EXPECT_EQ(registry.getTblMgr("APPA00", "APP3333300"), nullptr);
  EXPECT_EQ(registry.getTblMgr("appa00", "APP1111100"), nullptr) << "names are compared exactly";
  EXPECT_EQ(ReadWorkFile(kWorkFile), lines);
}

TEST_F(TableManagerListTest, ALineWithoutTheSnmpFlagTakesTheFlagOfTheLineBefore) {
  WriteWorkFile(kWorkFile, "B00 TB0100\nC00 TC0100 1\nD00 TD0100\n");
  tableManagerList registry;
  EXPECT_EQ(registry.errors(), 0);
  EXPECT_EQ(registry.getTblMgr("B00", "TB0100")->isSNMPdata(), 0);
  EXPECT_EQ(registry.getTblMgr("C00", "TC0100")->isSNMPdata(), 1);
  EXPECT_EQ(registry.getTblMgr("D00", "TD0100")->isSNMPdata(), 1);
  EXPECT_TRUE(trace_.contains("Warning: missing SNMP token in applName [B00] tableName [TB0100]"));
}

// The error flag is sticky: nothing more is recorded, while look-ups go on.
TEST_F(TableManagerListTest, ATableNameWithoutANumericReleaseEndsTheRecording) {
  const std::string lines = "GOOD00 TG0100 0\nA T1X 0\nLATER00 TL0100 0\n";
  WriteWorkFile(kWorkFile, lines);
  tableManagerList registry;
  EXPECT_TRUE(trace_.contains("Error: applName<A> tableName<T1X> RR<1X> not numeric."));
  EXPECT_TRUE(trace_.contains("Error: line 2 <A T1X 0> of the table manager file not taken"));
  EXPECT_EQ(registry.errors(), 1);
  EXPECT_NE(registry.getTblMgr("GOOD00", "TG0100"), nullptr);
  EXPECT_EQ(registry.getTblMgr("LATER00", "TL0100"), nullptr) << "lines after the error are not read";
  zev_dorvan_manager* manager = zev_dorvan_init("NEW00", "TN0100", nullptr, nullptr, 0);
  EXPECT_EQ(registry.addEntry("NEW00", "TN0100", manager, tableManagerList::kNewTable, 0), 1);
  EXPECT_EQ(registry.addEntry("NEW00", "TN0100", manager, tableManagerList::kFromWorkFile, 0), 1);
  EXPECT_EQ(registry.getTblMgr("NEW00", "TN0100"), nullptr);
  EXPECT_EQ(ReadWorkFile(kWorkFile), lines);
}

TEST_F(TableManagerListTest, FaultyLinesAreTracedByWhatTheyMiss) {
  const struct {
    const char* lines;
    const char* message;
  } cases[] = {
      {"   \n", "Error: fileBuf [   ] record in table manager file is missing applName."},
      {"LONE00\n", "Error: applName [LONE00] missing tableName."},
      {"X00 T1234567890100 0\n", "Error: applName<X00> tableName<T1234567890100> missing or too long"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.lines);
    WriteWorkFile(kWorkFile, c.lines);
    tableManagerList registry;
    EXPECT_EQ(registry.errors(), 1);
    EXPECT_TRUE(trace_.contains(c.message)) << trace_.take();
  }
}

TEST_F(TableManagerListTest, TheTwentyFirstTableFoundMovesToTheHead) {
  tableManagerList registry;
  std::vector<std::string> order;
  for (int i = 1; i <= 25; ++i) {
    zev_dorvan_manager* manager = zev_dorvan_init("ORDER00", Table(i).c_str(), nullptr, nullptr, 0);
    ASSERT_EQ(registry.addEntry("ORDER00", Table(i).c_str(), manager, tableManagerList::kNewTable, 0), 0);
    order.push_back(Table(i));
  }
  ASSERT_NE(registry.getTblMgr("ORDER00", Table(20).c_str()), nullptr);
  EXPECT_EQ(TablesInOrder(registry), order) << "the 20th stays";
  ASSERT_NE(registry.getTblMgr("ORDER00", Table(21).c_str()), nullptr);
  order.erase(order.begin() + 20);
  order.insert(order.begin(), Table(21));
  EXPECT_EQ(TablesInOrder(registry), order);
}

TEST_F(TableManagerListTest, ARestartAppendsNoSecondLine) {
  zev_dorvan_manager* manager = nullptr;
  {
    tableManagerList first;
    manager = zev_dorvan_init("RST00", "TR0100", nullptr, nullptr, 1);
    ASSERT_EQ(first.addEntry("RST00", "TR0100", manager, tableManagerList::kNewTable, 1), 0);
  }
  tableManagerList second;
  EXPECT_EQ(second.errors(), 0);
  // The framework knows the table's manager already: that one serves it on.
  EXPECT_EQ(second.getTblMgr("RST00", "TR0100"), manager);
  EXPECT_EQ(ReadWorkFile(kWorkFile), "RST00 TR0100 1\n");
}

TEST(TableManagerFileNameTest, TheFileNameItemElseTheDefaultProductsName) {
  const struct {
    const char* item;
    const char* productCode;
    const char* name;  // null: none, the process must end
    const char* message;  // null: no trace
  } cases[] = {
      {"MYTBLS", "EV", "MYTBLS", nullptr},
      {"ABTBLS", "AB", "ABTBLS", nullptr},
      {nullptr, "EV", "ZEVATBLS", "Warning: Query for ZEV2_ZEVATBLS_FILENAME failed. Using defaults <ZEVATBLS>"},
      {nullptr, "AB", nullptr, "Error: Query for ZEV2_ZEVATBLS_FILENAME failed."},
      {nullptr, nullptr, nullptr, "Error: Query for ZEV2_PRODUCT_CODE failed."},
  };
  for (const auto& c : cases) {
    TraceCapture trace("*=0x80");
    const char* name = tableManagerFileName(c.item, c.productCode);
    EXPECT_STREQ(name, c.name);
    if (c.message != nullptr)
      EXPECT_TRUE(trace.contains(c.message)) << c.message;
    else
      EXPECT_EQ(trace.take(), "");
  }
}

class TableManagerFileTest : public ::testing::Test {
 protected:
  void SetUp() override { GTEST_FLAG_SET(death_test_style, "threadsafe"); }
};

// Which product this is cannot be told: the agent ends.
TEST_F(TableManagerFileTest, WithoutAProductSpecificationTheProcessEndsWithExitCode1) {
  EXPECT_EXIT({ tableManagerList registry; }, ::testing::ExitedWithCode(1), "");
}

TEST_F(TableManagerFileTest, ThePackagedProductsFileNameItemNamesTheFile) {
  EXPECT_EXIT(
      {
        bool read = UseProductSpecification({"PRODUCT_CODE=AB", "NODE_TYPE=AB", "PRODUCT_NAME=Packaged",
                                             "AGENT_AFF_NAME=AFF_DORVANE", "SUBNODE_AFF_NAME=AFF_DORVANE_DATA",
                                             "DP_TO_START=FILE", "DCH_PORT_NUMBER=2020", "DP_PORT_OFFSET=5",
                                             "INITCNFG_FILE_NAME=ABCNFG", "ZEVATBLS_FILE_NAME=ABTBLS"});
        tableManagerList registry;
        zev_dorvan_manager* manager = zev_dorvan_init("PKG00", "TP0100", nullptr, nullptr, 0);
        int added = registry.addEntry("PKG00", "TP0100", manager, tableManagerList::kNewTable, 0);
        std::exit(read && added == 0 && ReadWorkFile("ABTBLS") == "PKG00 TP0100 0\n" ? 0 : 2);
      },
      ::testing::ExitedWithCode(0), "");
}

}  // namespace
