// The agent program with its SNMP data provider in a network namespace of its own,
// started beside a seed file, a network-name file and a network work file: the
// framework's sample of NETSUMMARY shows the networks they give, named, with what
// the work file kept of them.
#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <vector>

#include "agent_process.h"
#include "eventually.h"
#include "network_namespace.h"
#include "zevraf_rows.h"

namespace {

constexpr char kApplication[] = "SNMP-MANAGER00";
constexpr int kRowWaitMs = 30000;
constexpr int kEndWaitMs = 30000;

void WriteFile(const std::string& path, const std::string& text) { std::ofstream(path, std::ios::binary) << text; }

// The row's fields in the table's order, each followed by ';'.
std::string RowText(const SampledRow& row) {
  std::string text;
  for (const char* column : {"Network_Address", "Network_Mask", "Active_Nodes", "Inactive_Nodes", "Curr_RespTime_ms",
                             "Min_RespTime_ms", "Max_RespTime_ms", "Managed", "Network_Routers"}) {
    auto field = row.find(column);
    text += (field != row.end() ? field->second : "<missing>") + ";";
  }
  return text;
}

TEST(NetworkSummaryProgramTest, SeededNamedAndKeptNetworksAreSampledFromNetsummary) {
  RunInNetworkNamespace({{"10.77.0.1"}, ""}, [] {
    AgentProcess agent;
    WriteFile(agent.directory() + "ZEVSINIT", "10.78.0.0 255.255.0.0\n192.168.5.0\n");
    WriteFile(agent.directory() + "ZEVSNAME", "10.78 LAB78\n");
    WriteFile(agent.directory() + "ZEVSNETS",
              "Network Mask,Network Address,Managed,Managed Interval,Current Response Time,Min Response Time,Max "
              "Response Time,Node Status\n255.255.255.128,10.77.1.0,0,2,300,5,3,9,AAI,\n");
    ASSERT_TRUE(agent.start({"SNMP"}, {"ZEV_DP_HOSTNAME=10.77.0.1"})) << agent.failure();
    ASSERT_TRUE(Eventually([&] { return !TableWithColumn(agent, kApplication, "Network_Routers").empty(); },
                           kRowWaitMs))
        << agent.traceText();
    const std::string table = TableWithColumn(agent, kApplication, "Network_Routers");

    // The rows end in " ;" for no router; the sample shows that blank value empty.
    const std::vector<std::pair<std::string, std::string>> expected = {
        {"LAB78", "LAB78;255.255.0.0;0;0;0;0;0;No;;"},
        {"192.168.5", "192.168.5;255.255.255.0;0;0;0;0;0;No;;"},
        {"10.77.1", "10.77.1;255.255.255.128;2;1;5;3;9;Excluded;;"},
    };
    for (const auto& [address, text] : expected) {
      SampledRow row = WaitForRow(agent, kApplication, table, {{"Network_Address", address}}, kRowWaitMs);
      EXPECT_EQ(RowText(row), text);
    }
    EXPECT_TRUE(agent.waitForTrace("Network Data->LAB78;255.255.0.0;0;0;0;0;0;No; ;", kRowWaitMs));
    EXPECT_EQ(agent.terminate(kEndWaitMs), 0);
  });
}

// The product item set to N: no NETSUMMARY row, as no ROUTER and NETWORK row.
TEST(NetworkSummaryProgramTest, WithDiscoveryDataUpdateSetToNNoNetworkIsSent) {
  RunInNetworkNamespace({{"10.77.0.1"}, ""}, [] {
    std::vector<std::string> product = AgentProcess::DefaultProduct();
    product.push_back("ENABLE_DISCOVERY_DATA_UPDATE=N");
    AgentProcess agent(product);
    WriteFile(agent.directory() + "ZEVSINIT", "10.78.0.0 255.255.0.0\n");
    ASSERT_TRUE(agent.start({"SNMP"}, {"ZEV_DP_HOSTNAME=10.77.0.1"})) << agent.failure();
    EXPECT_TRUE(
        agent.waitForTrace("NETSUMMARY rows not sent: ENABLE_DISCOVERY_DATA_UPDATE is not on", kRowWaitMs));
    EXPECT_EQ(agent.traceText().find("Network Data->"), std::string::npos);
    EXPECT_EQ(agent.terminate(kEndWaitMs), 0);
  });
}

}  // namespace
