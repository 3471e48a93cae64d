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

#include "network_namespace.h"
#include "snmp_program_run.h"

namespace {

constexpr int kRowWaitMs = 30000;

TEST(NetworkMonitorRoadTest, AManagedNetworksHostsComeAsRowsAndMessagesAndItsStopEndsTheManagement) {
  RunInNetworkNamespace({{"10.77.0.1", "10.77.0.2"}, ""}, [] {
    RouteLabNetworkUnreachable();
    SnmpAgentSettings settings = LabRouterSettings();
    settings.sysName = "lab-router";
    settings.sysLocation = "Rack 7; row 2";
    SnmpAgentProcess snmpd(settings);
    ASSERT_TRUE(snmpd.start()) << snmpd.failure();

    SnmpProgramRun run;
    run.loadLabApplication();
    // Network discovery stays on: without it the NETSUMMARY table is not online.
    ASSERT_TRUE(run.start());
    AgentProcess& agent = run.agent();
    const std::string parameters = "MANAGE START NETADDR=10.77.0.0 POLL=60";
    ASSERT_TRUE(run.act({"SNMP", parameters}));
    SampledRow started = run.result(parameters, kRowWaitMs);
    EXPECT_EQ(FieldValues(started, {"Action_Owner", "Action_Status", "Action_Result"}),
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
        {"10.77.0.1", "lab-router", "10.77.0.1;On-line;" + ServiceTypeText(72) + ";Yes;Rack 7, row 2;Lab router;"},
        {"10.77.0.2", "10.77.0.2", "10.77.0.2;On-line;IP Node;No;Unavailable;Unavailable;"},
        {"10.77.0.9", nullptr, "10.77.0.9;Unknown;Unknown;No;Unavailable;Unavailable;"},
    };
    for (const auto& host : hosts) {
      SampledRow row = WaitForRow(agent, SnmpProgramRun::kApplication, network, {{"Address", host.address}}, kRowWaitMs);
      EXPECT_EQ(FieldValues(row, columns), host.values);
      if (host.name != nullptr) {
        EXPECT_EQ(row["Name"], host.name);
      }
    }
    std::vector<std::string> messages = run.messages();
    EXPECT_TRUE(HasLine(messages, "-s Status -c NetworkStatus Node lab-router(10.77.0.1) Online"))
        << testing::PrintToString(messages);
    EXPECT_TRUE(HasLine(messages, "-s Status -c NetworkStatus Node 10.77.0.2(10.77.0.2) Online"));
    for (const std::string& message : messages) EXPECT_EQ(message.find("10.77.0.9"), std::string::npos) << message;

    // After the cycle: the network's summary; its source by its address.
    const std::string summary = TableWithColumn(agent, SnmpProgramRun::kApplication, "Network_Routers");
    const std::vector<std::string> summaryColumns = {"Network_Address", "Network_Mask", "Active_Nodes",
                                                     "Inactive_Nodes", "Managed"};
    SampledRow managed = WaitForRow(agent, SnmpProgramRun::kApplication, summary,
                                    {{"Network_Address", "10.77"}, {"Active_Nodes", "2"}}, kRowWaitMs);
    EXPECT_EQ(FieldValues(managed, summaryColumns), "10.77;255.255.255.0;2;0;Yes;");
    const std::string shown = run.show("SNMP-Manager");
    const size_t group = shown.find("2;NETWORK;");
    ASSERT_NE(group, std::string::npos) << shown;
    EXPECT_NE(shown.find(";10-77-0-0;", group), std::string::npos) << shown;

    // The online host's enterprise has its MIB collection started, unasked.
    const std::string system = TableWithColumn(agent, "LAB00", "sysName");
    SampledRow collected = WaitForRow(agent, "LAB00", system, {{"sysName", "lab-router"}}, kRowWaitMs);
    EXPECT_EQ(FieldValues(collected, {"Agent_Name", "sysDescr"}), "10.77.0.1;Lab router;")
      << "its sysName is known to no name service";

    // The stop: the source offline, the network no longer managed.
    ASSERT_TRUE(run.act({"SNMP", "MANAGE STOP NETADDR=10.77.0.0"}));
    EXPECT_EQ(FieldValues(run.result("MANAGE STOP NETADDR=10.77.0.0", kRowWaitMs), {"Action_Status", "Action_Result"}),
              "SUCCESS;Monitoring stopped for requested resources;");
    EXPECT_TRUE(run.waitForTrace("Do dp_offline for network 10.77.0.0", kRowWaitMs));
    SampledRow unmanaged = WaitForRow(agent, SnmpProgramRun::kApplication, summary,
                                      {{"Network_Address", "10.77"}, {"Managed", "No"}}, kRowWaitMs);
    EXPECT_FALSE(unmanaged.empty());
    EXPECT_TRUE(run.stop());
  });
}

}  // namespace
