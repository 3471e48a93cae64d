// The agent program with its SNMP data provider, in a network namespace of its
// own: the SNMP-Manager tables as the framework's port shows them, and SIGTERM
// ending the manager task in its order and the program with 0.
#include <gtest/gtest-spi.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>
#include <string>
#include <vector>

#include "agent_process.h"
#include "eventually.h"
#include "network_namespace.h"
#include "zevraf_rows.h"

namespace {

constexpr char kApplication[] = "SNMP-MANAGER00";
constexpr int kRegisteredWaitMs = 30000;
constexpr int kEndWaitMs = 30000;

// The attributes of each table in slot order, as a sample's header has them after ORIGINNODE.
const std::vector<std::string> kDefaultTables = {
    "Time_Stamp,Object_ID,Generic_Trap,Specific_Trap,Source_Name,Source_Type,Source_Status,Enterprise_Name,"
    "Alert_Name,Category,Severity,Description,Value_List",
    "Router_Name,Router_Address,Router_Description,Router_Status,Route_Count,Destination_Networks",
    "Network_Address,Network_Mask,Active_Nodes,Inactive_Nodes,Curr_RespTime_ms,Min_RespTime_ms,Max_RespTime_ms,"
    "Managed,Network_Routers",
    "Name,Address,Status,Type,SNMP_Enabled,Location,Description",
    "Enterprise,Attribute_Group,Monitor_Interval,Monitor_Agent_Info,Last_Sample_TimeStamp",
    "Name,Address,Node_Status,Status_TimeStamp,Node_Type,Node_Description,Current_ResponseTime_ms",
    "Agent_Name,Enterprise_Module,No_Data_Tables",
};
const std::string kAgentsTable =
    "Managed_System_Name,Network_Name,Network_Address,Product_Name,Version,Agent_Framework_Features,"
    "Last_Check_TimeStamp,Last_Reply_TimeStamp";

std::string Joined(std::vector<std::string> columns) {
  std::string joined;
  for (size_t i = 1; i < columns.size(); ++i) joined += (i > 1 ? "," : "") + columns[i];
  return joined;
}

struct ProductCase {
  const char* name;
  std::vector<std::string> extraLines;
  std::vector<std::string> tables;
};

void PrintTo(const ProductCase& tested, std::ostream* out) { *out << tested.name; }

std::vector<std::string> WithAgentsTable() {
  std::vector<std::string> tables = kDefaultTables;
  tables.insert(tables.begin() + 6, kAgentsTable);
  return tables;
}

const ProductCase kProducts[] = {
    {"DefaultProduct", {}, kDefaultTables},
    {"WithAgentDiscovery", {"ENABLE_PLOVENAGENT_DISCOVERY=Y"}, WithAgentsTable()},
};

class SnmpAgentProgramTest : public ::testing::TestWithParam<ProductCase> {};

TEST_P(SnmpAgentProgramTest, TheFrameworkShowsTheTablesWithoutRowsAndSigtermEndsTheManagerInOrder) {
  const ProductCase& tested = GetParam();
  RunInNetworkNamespace([&tested] {
    std::vector<std::string> product = AgentProcess::DefaultProduct();
    product.insert(product.end(), tested.extraLines.begin(), tested.extraLines.end());
    AgentProcess agent(product);
    ASSERT_TRUE(agent.start({"SNMP"})) << agent.failure();
    ASSERT_TRUE(Eventually([&] { return TablesOf(agent, kApplication).size() >= tested.tables.size(); },
                           kRegisteredWaitMs))
        << agent.traceText();

    std::vector<std::string> shown;
    for (const std::string& table : TablesOf(agent, kApplication)) {
      // A table is listed a moment before its columns are defined.
      SampledRows sampled;
      ASSERT_TRUE(Eventually(
          [&] {
            sampled = SampleRows(agent, kApplication, table);
            return sampled.answered && !Joined(sampled.columns).empty();
          },
          kRegisteredWaitMs))
          << table;
      EXPECT_TRUE(sampled.rows.empty()) << table;
      shown.push_back(Joined(sampled.columns));
    }
    std::vector<std::string> expected = tested.tables;
    std::sort(shown.begin(), shown.end());
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(shown, expected);

    ASSERT_TRUE(agent.waitForTrace("----- Start Network Monitor Server Task -----", kRegisteredWaitMs));
    EXPECT_EQ(agent.terminate(kEndWaitMs), 0);
    std::string trace = agent.traceText();
    size_t router = trace.find("----- Do dp_offline for QLMROUTER -----");
    size_t summary = trace.find("----- Do dp_offline for QLMNETSUMMARY -----");
    size_t mibStatus = trace.find("----- Do dp_offline for QLMMIBSTATUS -----");
    size_t ended = trace.find(">>>>> SNMP Manager process ended. Thread: ");
    ASSERT_NE(ended, std::string::npos) << trace;
    EXPECT_LT(router, summary);
    EXPECT_LT(summary, mibStatus);
    EXPECT_LT(mibStatus, ended);
  });
}

INSTANTIATE_TEST_SUITE_P(Products, SnmpAgentProgramTest, ::testing::ValuesIn(kProducts),
                         [](const ::testing::TestParamInfo<ProductCase>& info) { return info.param.name; });

TEST(SnmpAgentProgramRefusalTest, TheAgentWithTheSnmpDataProviderIsRefusedInTheMachinesNamespace) {
  AgentProcess agent;
  bool started = true;
  EXPECT_NONFATAL_FAILURE(started = agent.start({"SNMP"}), "zeva350 with the SNMP data provider runs only");
  EXPECT_FALSE(started);
}

}  // namespace
