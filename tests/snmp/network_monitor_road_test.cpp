// Network monitoring end to end, in a network namespace of the test's own: an
// operator's SNMP MANAGE command through zevraf and the agent program zeva350 to the
// SNMP data-provider program zevpsnmp, whose worker visits 10.77.0.0/24 (snmpd on
// 10.77.0.1, 10.77.0.2 answering only pings, every other host unreachable); the
// NETWORK and NETSUMMARY rows as the framework's samples show them, the console
// messages through a TZOMESG of the test, the MIB collection of the online host's
// enterprise, and the stop.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "net_snmp.h"
#include "network_namespace.h"
#include "snmp_program_run.h"
#include "zev0/hostnames.h"
#include "zev0/storage.h"

namespace {

constexpr int kRowWaitMs = 30000;

// An application of the enterprise 1.3.6.1.4.1.99 with one group of scalars.
constexpr char kMetafile[] =
    "//SNMP TEXT\n"
    "//APPL LAB Ent 1.3.6.1.4.1.99\n"
    "//NAME SYSTEM P 300\n"
    "//ATTRIBUTES\n"
    "Agent_Info D 16 1.3.6.1.4.1.99.1.0\n"
    "Agent_Name D 64 1.3.6.1.4.1.99.2.0\n"
    "sysDescr D 64 1.3.6.1.2.1.1.1.0\n"
    "sysName D 64 1.3.6.1.2.1.1.5.0\n";

std::string ServiceType(int services) {
  char* text = ZEV0_DetermineNodeServiceType(services);
  std::string type = text;
  ZEV0_FreeStorage(&text);
  return type;
}

// The row's values of the columns, each followed by ';'.
std::string Values(const SampledRow& row, const std::vector<std::string>& columns) {
  std::string text;
  for (const std::string& column : columns) {
    auto field = row.find(column);
    text += (field != row.end() ? field->second : "<missing>") + ";";
  }
  return text;
}

bool Has(const std::vector<std::string>& lines, const std::string& line) {
  for (const std::string& each : lines)
    if (each == line) return true;
  return false;
}

TEST(NetworkMonitorRoadTest, AManagedNetworksHostsComeAsRowsAndMessagesAndItsStopEndsTheManagement) {
  RunInNetworkNamespace({{"10.77.0.1", "10.77.0.2"}, ""}, [] {
    RouteLabNetworkUnreachable();
    SnmpAgentSettings settings;
    settings.address = "10.77.0.1";
    settings.readCommunity = "willow";  // the data provider's default
    settings.sysName = "lab-router";
    settings.sysLocation = "Rack 7; row 2";
    settings.sysDescr = "Lab router";
    settings.sysObjectID = "1.3.6.1.4.1.99.1.2";
    SnmpAgentProcess snmpd(settings);
    ASSERT_TRUE(snmpd.start()) << snmpd.failure();

    SnmpProgramRun run;
    run.work().write("lab.mdl", kMetafile);
    run.work().write("ZEVPCNFG", "lab.mdl\n");
    // Network discovery stays on: without it the NETSUMMARY table is not online.
    ASSERT_TRUE(run.start());
    AgentProcess& agent = run.agent();
    const std::string parameters = "MANAGE START NETADDR=10.77.0.0 POLL=60";
    ASSERT_TRUE(run.act({"SNMP", parameters}));
    SampledRow started = run.result(parameters, kRowWaitMs);
    EXPECT_EQ(Values(started, {"Action_Owner", "Action_Status", "Action_Result"}),
              "SNMP Control;SUCCESS;Monitoring scheduled for requested resources;");

    // One row per host; a ';' of the agent's texts would split the row.
    const std::string network = TableWithColumn(agent, SnmpProgramRun::kApplication, "SNMP_Enabled");
    const std::vector<std::string> columns = {"Address", "Status", "Type", "SNMP_Enabled", "Location",
                                              "Description"};
    const struct {
      const char* address;
      const char* name;  // nothing names a silent host
      std::string values;
    } hosts[] = {
        {"10.77.0.1", "lab-router", "10.77.0.1;On-line;" + ServiceType(72) + ";Yes;Rack 7, row 2;Lab router;"},
        {"10.77.0.2", "10.77.0.2", "10.77.0.2;On-line;IP Node;No;Unavailable;Unavailable;"},
        {"10.77.0.9", nullptr, "10.77.0.9;Unknown;Unknown;No;Unavailable;Unavailable;"},
    };
    for (const auto& host : hosts) {
      SampledRow row = WaitForRow(agent, SnmpProgramRun::kApplication, network, {{"Address", host.address}}, kRowWaitMs);
      EXPECT_EQ(Values(row, columns), host.values);
      if (host.name != nullptr) {
        EXPECT_EQ(row["Name"], host.name);
      }
    }
    std::vector<std::string> messages = run.messages();
    EXPECT_TRUE(Has(messages, "-s Status -c NetworkStatus Node lab-router(10.77.0.1) Online"))
        << testing::PrintToString(messages);
    EXPECT_TRUE(Has(messages, "-s Status -c NetworkStatus Node 10.77.0.2(10.77.0.2) Online"));
    for (const std::string& message : messages) EXPECT_EQ(message.find("10.77.0.9"), std::string::npos) << message;

    // After the cycle: the network's summary; its source by its address.
    const std::string summary = TableWithColumn(agent, SnmpProgramRun::kApplication, "Network_Routers");
    const std::vector<std::string> summaryColumns = {"Network_Address", "Network_Mask", "Active_Nodes",
                                                     "Inactive_Nodes", "Managed"};
    SampledRow managed = WaitForRow(agent, SnmpProgramRun::kApplication, summary,
                                    {{"Network_Address", "10.77"}, {"Active_Nodes", "2"}}, kRowWaitMs);
    EXPECT_EQ(Values(managed, summaryColumns), "10.77;255.255.255.0;2;0;Yes;");
    const std::string shown = run.show("SNMP-Manager");
    const size_t group = shown.find("2;NETWORK;");
    ASSERT_NE(group, std::string::npos) << shown;
    EXPECT_NE(shown.find(";10-77-0-0;", group), std::string::npos) << shown;

    // The online host's enterprise has its MIB collection started, unasked.
    const std::string system = TableWithColumn(agent, "LAB00", "sysName");
    SampledRow collected = WaitForRow(agent, "LAB00", system, {{"sysName", "lab-router"}}, kRowWaitMs);
    EXPECT_EQ(Values(collected, {"Agent_Name", "sysDescr"}), "10.77.0.1;Lab router;")
      << "its sysName is known to no name service";

    // The stop: the source offline, the network no longer managed.
    ASSERT_TRUE(run.act({"SNMP", "MANAGE STOP NETADDR=10.77.0.0"}));
    EXPECT_EQ(Values(run.result("MANAGE STOP NETADDR=10.77.0.0", kRowWaitMs), {"Action_Status", "Action_Result"}),
              "SUCCESS;Monitoring stopped for requested resources;");
    EXPECT_TRUE(run.waitForTrace("Do dp_offline for network 10.77.0.0", kRowWaitMs));
    SampledRow unmanaged = WaitForRow(agent, SnmpProgramRun::kApplication, summary,
                                      {{"Network_Address", "10.77"}, {"Managed", "No"}}, kRowWaitMs);
    EXPECT_FALSE(unmanaged.empty());
    EXPECT_TRUE(run.stop());
  });
}

}  // namespace
