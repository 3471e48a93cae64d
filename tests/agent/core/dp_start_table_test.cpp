// The data providers the agent starts, from its arguments, ZEVA_STARTUP_DP and the
// product specification.
#include "dp_start_table.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "trace_capture.h"

namespace {

struct StartCase {
  const char* title;
  std::vector<std::string> arguments;
  const char* startupDP;
  std::vector<std::string> expected;  // type names in table order
  const char* traced;                 // a line that must be traced, or null
};

std::vector<std::string> TypeNames(const DPstartTable& table) {
  std::vector<std::string> names;
  for (int i = 0; i < table.DPsToStartCount; ++i) names.emplace_back(table.entries[i].typeName);
  return names;
}

TEST(DPstartTableTest, ArgumentsAndTheStartupVariableNameTheDataProviders) {
  const StartCase cases[] = {
      {"nothing named", {}, nullptr, {"ASFS"}, "No command line arguments: Starting DP ASFS thread."},
      {"names in any case, in order", {"file", "sock"}, nullptr, {"FILE", "SOCK"}, "DV Argument 2 was <SOCK>"},
      {"ASFS serves files", {"ASFS", "FILE"}, nullptr, {"ASFS"},
       "Warning: Argument <FILE> is not valid combined with argument ASFS."},
      {"ASFS after the others", {"apis", "sock", "asfs", "post"}, nullptr, {"ASFS", "POST"}, nullptr},
      {"a repeat", {"FILE", "FILE"}, nullptr, {"FILE"}, "Warning: Argument <FILE> specified more than once."},
      {"a part of an earlier name", {"FILE", "FIL"}, nullptr, {"FILE"},
       "Warning: Argument <FIL> specified more than once."},
      {"NODP", {"NODP"}, nullptr, {}, nullptr},
      {"NODP ends the list", {"FILE", "NODP", "SOCK"}, "HTTP", {}, nullptr},
      {"TEST takes the variable", {"TEST"}, "snmp,file", {"SNMP", "FILE"}, nullptr},
      {"TEST last takes the variable", {"FILE", "TEST"}, "sock", {"SOCK"}, nullptr},
      {"TEST alone", {"TEST"}, nullptr, {"ASFS"}, nullptr},
      {"the variable without arguments", {}, "post,,http", {"POST", "HTTP"}, nullptr},
      {"arguments before the variable", {"FILE"}, "SOCK", {"FILE"}, nullptr},
      {"a name that is none", {"XYZ"}, nullptr, {}, "Error: DV Argument 1 of <XYZ> is invalid."},
      {"the primary switch", {"ZEVCMA_PRIMARY", "post"}, nullptr, {"POST"}, nullptr},
      {"APPC is entered", {"APPC"}, nullptr, {"APPC"}, nullptr},
      {"several names in one argument", {"file,sock"}, nullptr, {"FILE", "SOCK"}, nullptr},
  };
  for (const StartCase& startCase : cases) {
    SCOPED_TRACE(startCase.title);
    TraceCapture trace;
    DPstartInputs inputs;
    inputs.arguments = startCase.arguments;
    inputs.startupDP = startCase.startupDP;
    DPstartTable table;
    EXPECT_EQ(buildDPstartTable(inputs, &table), DPstartOutcome::ready);
    EXPECT_EQ(TypeNames(table), startCase.expected);
    for (int i = 0; i < table.DPsToStartCount; ++i) EXPECT_EQ(table.entries[i].started, 0);
    if (startCase.traced != nullptr) {
      EXPECT_TRUE(trace.contains(startCase.traced)) << trace.take();
    }
  }
}

TEST(DPstartTableTest, EachEntryCarriesItsTypeIndex) {
  DPstartInputs inputs;
  inputs.arguments = {"HTTP", "SNMP", "APIS"};
  DPstartTable table;
  ASSERT_EQ(buildDPstartTable(inputs, &table), DPstartOutcome::ready);
  ASSERT_EQ(table.DPsToStartCount, 3);
  EXPECT_EQ(table.entries[0].type, 8);
  EXPECT_EQ(table.entries[1].type, 5);
  EXPECT_EQ(table.entries[2].type, 0);
}

TEST(DPstartTableTest, ThePackagedProductStartsWhatItsSpecificationLists) {
  struct ProductCase {
    const char* dpToStart;
    DPstartOutcome outcome;
    std::vector<std::string> expected;
    const char* traced;
  };
  const ProductCase cases[] = {
      {"1,2", DPstartOutcome::ready, {"FILE", "SOCK"}, "ZEV0_QueryProductSpec(ZEV2_DP_TO_START) returned <1,2>"},
      {"3", DPstartOutcome::ready, {"ASFS"}, nullptr},
      {"4,99,8", DPstartOutcome::ready, {"POST", "HTTP"}, "DP type <99>"},
      {nullptr, DPstartOutcome::fatal, {}, "Error: ZEV0_QueryProductSpec(ZEV2_DP_TO_START) returned NULL."},
      {",", DPstartOutcome::fatal, {}, "Error: processing DPs to start from <,>"},
      {"-1", DPstartOutcome::fatal, {}, "Error: processing DPs to start from <-1>"},
  };
  for (const ProductCase& productCase : cases) {
    SCOPED_TRACE(productCase.dpToStart != nullptr ? productCase.dpToStart : "(none)");
    TraceCapture trace;
    DPstartInputs inputs;
    inputs.arguments = {"FILE"};  // the product's list wins over arguments and variable
    inputs.startupDP = "SOCK";
    inputs.packagedProduct = "Y";
    inputs.dpToStart = productCase.dpToStart;
    DPstartTable table;
    EXPECT_EQ(buildDPstartTable(inputs, &table), productCase.outcome);
    EXPECT_EQ(TypeNames(table), productCase.expected);
    if (productCase.traced != nullptr) {
      EXPECT_TRUE(trace.contains(productCase.traced)) << trace.take();
    }
  }
}

// Neither the table nor the argument list takes more than its room.
TEST(DPstartTableTest, NamesBeyondTheRoomAreRefused) {
  std::string many;
  for (int i = 0; i < DPstartTable::kRoom + 5; ++i) many += "FILE,";
  TraceCapture trace;
  DPstartInputs fromVariable;
  fromVariable.startupDP = many.c_str();
  DPstartTable table;
  EXPECT_EQ(buildDPstartTable(fromVariable, &table), DPstartOutcome::ready);
  EXPECT_EQ(table.DPsToStartCount, DPstartTable::kRoom);
  EXPECT_EQ(trace.count("the start table holds 20 data providers at most"), 5);

  std::string numbers;
  for (int i = 0; i < DPstartTable::kRoom + 1; ++i) numbers += "2,";
  DPstartInputs fromProduct;
  fromProduct.packagedProduct = "Y";
  fromProduct.dpToStart = numbers.c_str();
  EXPECT_EQ(buildDPstartTable(fromProduct, &table), DPstartOutcome::ready);
  EXPECT_EQ(table.DPsToStartCount, DPstartTable::kRoom);

  DPstartInputs longArguments;
  longArguments.arguments = {std::string(DPstartTable::kArgumentListRoom, 'F'), "SOCK"};
  EXPECT_EQ(buildDPstartTable(longArguments, &table), DPstartOutcome::ready);
  EXPECT_EQ(TypeNames(table), std::vector<std::string>{"SOCK"});
  EXPECT_TRUE(trace.contains("the argument list holds 255 characters at most"));

  std::string longVariable = std::string(300, 'X') + ",FILE";
  DPstartInputs longStartup;
  longStartup.startupDP = longVariable.c_str();
  EXPECT_EQ(buildDPstartTable(longStartup, &table), DPstartOutcome::ready);
  EXPECT_EQ(TypeNames(table), std::vector<std::string>{"FILE"});
}

}  // namespace
