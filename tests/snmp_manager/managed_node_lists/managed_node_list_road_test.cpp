// A managed node list end to end, in a network namespace of the test's own: the
// list "lab" that the SNMP data-provider program zevpsnmp loads at start (snmpd on
// 10.77.0.1, 10.77.0.5 answering only pings, the silent 10.77.0.9), its
// MANAGED-NODES rows as the framework's samples of the agent program show them and
// its console messages through a TZOMESG of the test; DP_CONFIG requests through
// zevraf and the agent changing the running list, their results in the agent's
// action log; and the MIB collection of an added node's enterprise.
#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "eventually.h"
#include "network_namespace.h"
#include "snmp_program_run.h"

namespace {

constexpr int kRowWaitMs = 30000;

// The sample's rows of the list "lab" (its subnode), by address: Name, Node_Status,
// Node_Type and Node_Description.
std::map<std::string, std::string> ListRows(AgentProcess& agent, const std::string& table) {
  std::map<std::string, std::string> rows;
  for (SampledRow& row : SampleRows(agent, SnmpProgramRun::kApplication, table).rows)
    if (row["ORIGINNODE"] == "lab:SNMP-MANAGER00")
      rows[row["Address"]] = FieldValues(row, {"Name", "Node_Status", "Node_Type", "Node_Description"});
  return rows;
}

TEST(ManagedNodeListRoadTest, TheListsRowsAndMessagesReachTheAgentAndItsActionsChangeTheRunningList) {
  RunInNetworkNamespace({{"10.77.0.1", "10.77.0.5"}, ""}, [] {
    RouteLabNetworkUnreachable();
    SnmpAgentSettings settings = LabRouterSettings();
    SnmpAgentProcess snmpd(settings);
    ASSERT_TRUE(snmpd.start()) << snmpd.failure();

    SnmpProgramRun run;
    run.loadLabApplication();
    run.work().write("ZEVSLIST", "lab.lst\n");
    run.work().write("lab.lst", "LISTNAME=lab\n10.77.0.1 10.77.0.5 10.77.0.9\n");
    ASSERT_TRUE(run.start({"ZEVP_SNMP_NET_DISCOVERY=N"}));
    AgentProcess& agent = run.agent();

    // The first cycle: a row per node under the list's name, a message per node online.
    ASSERT_TRUE(Eventually([&] { return !TableWithColumn(agent, SnmpProgramRun::kApplication, "Node_Status").empty(); },
                           kRowWaitMs));
    const std::string table = TableWithColumn(agent, SnmpProgramRun::kApplication, "Node_Status");
    const std::map<std::string, std::string> first = {
        {"10.77.0.1", "10.77.0.1;On-line;" + ServiceTypeText(72) + ";Lab router;"},
        {"10.77.0.5", "10.77.0.5;On-line;IP Node;Unavailable;"},
        {"10.77.0.9", "10.77.0.9;Off-line;Unknown;Unavailable;"},
    };
    std::map<std::string, std::string> rows;
    EXPECT_TRUE(Eventually([&] { return (rows = ListRows(agent, table)).size() == 3; }, kRowWaitMs)) << run.trace();
    EXPECT_EQ(rows, first);
    const std::vector<std::string> online = {
        "-s Status -c NetworkStatus Managed Node List: lab Member Node: 10.77.0.1(10.77.0.1) Online",
        "-s Status -c NetworkStatus Managed Node List: lab Member Node: 10.77.0.5(10.77.0.5) Online"};
    for (const std::string& message : online) EXPECT_TRUE(HasLine(run.messages(), message)) << message;
    for (const std::string& message : run.messages()) EXPECT_EQ(message.find("10.77.0.9"), std::string::npos);

    // Requests as the agent sends them: each answered at once, the list's file edited
    // at once, the list's nodes changed at its next cycle.
    const struct {
      std::string request;
      std::string outcome;  // Action_Status;Action_Result;
      std::string file;
    } requests[] = {
        {"MNLREMOVE LIST=lab NODE=10.77.0.9", "SUCCESS;;", "10.77.0.1 10.77.0.5 -10.77.0.9"},
        {"MNLREMOVE LIST=lab NODE=10.77.0.1", "SUCCESS;;", "-10.77.0.1 10.77.0.5 -10.77.0.9"},
        // The added node's enterprise is the loaded application's: its collection starts.
        {"MNLADD LIST=lab NODE=10.77.0.1", "SUCCESS;;", "10.77.0.1 10.77.0.5 -10.77.0.9"},
        {"MNLADD LIST=lab NODE=10.77.0.1", "INPUTPARM_ERROR 1;Adding node 10.77.0.1 already managed;",
         "10.77.0.1 10.77.0.5 -10.77.0.9"},
    };
    for (const auto& r : requests) {
      SCOPED_TRACE(r.request);
      ASSERT_TRUE(run.act({"DP_CONFIG", r.request}));
      EXPECT_EQ(FieldValues(run.result(r.request, kRowWaitMs), {"Action_Status", "Action_Result"}), r.outcome);
      EXPECT_EQ(run.work().read("lab.lst"), "LISTNAME=lab\n" + r.file + "\n");
    }
    const std::string system = TableWithColumn(agent, "LAB00", "sysName");
    SampledRow collected = WaitForRow(agent, "LAB00", system, {{"Agent_Name", "10.77.0.1"}}, kRowWaitMs);
    EXPECT_EQ(FieldValues(collected, {"sysDescr", "sysName"}), "Lab router;test-agent;");
    const std::string status = TableWithColumn(agent, SnmpProgramRun::kApplication, "Monitor_Agent_Info");
    SampledRow collecting = WaitForRow(agent, SnmpProgramRun::kApplication, status, {{"Enterprise", "LAB"}}, kRowWaitMs);
    EXPECT_EQ(FieldValues(collecting, {"Attribute_Group", "Monitor_Interval", "Monitor_Agent_Info"}),
              "SYSTEM;600;{10.77.0.1 willow};");
    // Removed again, the node's collection stops.
    ASSERT_TRUE(run.act({"DP_CONFIG", "MNLREMOVE LIST=lab NODE=10.77.0.1"}));
    EXPECT_EQ(FieldValues(run.result("MNLREMOVE LIST=lab NODE=10.77.0.1", kRowWaitMs), {"Action_Status"}), "SUCCESS;");
    EXPECT_TRUE(Eventually(
        [&] {
          return !LinesWith(agent.zevraf({"sample", "DVAGENT00", "DVA524400"}),
                            "SNMP management for MIB enterprise LAB attribute group SYSTEM ended.")
                      .empty();
        },
        kRowWaitMs));

    // The next cycles: the removed nodes' rows deleted at the agent, a message each.
    EXPECT_TRUE(Eventually([&] { return ListRows(agent, table).size() == 1; }, 2 * kRowWaitMs)) << run.trace();
    EXPECT_EQ(ListRows(agent, table).count("10.77.0.5"), 1u);
    for (const char* address : {"10.77.0.1", "10.77.0.9"}) {
      const std::string removed = std::string("-s Status -c NetworkStatus Managed Node List: lab Member Node: ") +
                                  address + "(" + address + ") removed from management";
      EXPECT_TRUE(Eventually([&] { return HasLine(run.messages(), removed); }, kRowWaitMs)) << removed;
    }
    EXPECT_TRUE(run.stop());
  });
}

}  // namespace
