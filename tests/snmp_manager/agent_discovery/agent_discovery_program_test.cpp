// Agent discovery end to end in a network namespace of its own, with the SNMP data
// provider in zevpsnmp and inside the agent program: an agent named by the agents file
// is shown at the start ("Initial Load") and probed on its base port; it registers
// back with its subnodes, and the PLOVEN-AGENTS rows that the framework samples show
// what it sent.
#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "agent_process.h"
#include "agents_file.h"
#include "eventually.h"
#include "launcher_run.h"
#include "network_namespace.h"
#include "product_affinity.h"
#include "test_raf_agent.h"
#include "zevraf_rows.h"
#include "zev0/storage.h"

namespace {

constexpr char kApplication[] = "SNMP-MANAGER00";
constexpr int kWaitMs = 30000;
constexpr char kManagerAddress[] = "10.77.0.1";
constexpr char kAgentAddress[] = "10.77.0.2";
constexpr unsigned short kAgentPort = 38213;
// The test agent's own affinity (its default), 43 characters.
constexpr char kAffinity[] = "0000000000000040000000000000000000000000003";

enum class Host { zevpsnmp, zeva350 };

std::vector<std::string> DiscoveringProduct() {
  std::vector<std::string> product = AgentProcess::DefaultProduct();
  product.push_back("ENABLE_PLOVENAGENT_DISCOVERY=Y");
  return product;
}

// zevpsnmp's local host is the manager's address, so that agents are asked to call back
// there; the agent program keeps its own (localhost), since its subnodes are named
// after it.
const std::vector<std::string> kLauncherSettings = {std::string("QFEB0_HOSTNAME=") + kManagerAddress,
                                                    "ZEVP_SNMP_NET_DISCOVER_PLOVENAGENT=Y"};
const std::vector<std::string> kAgentSettings = {"ZEVP_SNMP_NET_DISCOVER_PLOVENAGENT=Y"};

void RunDiscovery(Host host) {
  RunInNetworkNamespace({{kManagerAddress, kAgentAddress}, ""}, [host] {
    TestRafAgent agent(kAgentAddress, kAgentPort, {"--name", "myhost:XX", "--subnodes", ",,a,b", "--await-input"});
    ASSERT_TRUE(agent.started()) << agent.process().errorText();
    AgentProcess dvagent(DiscoveringProduct());
    LauncherRun launcher("zevpsnmp");
    const std::string agentsFile = std::string(zevs::kAgentsFileHeader) + "\n" + kAgentAddress + ";" +
                                   kAgentAddress + ";myhost:XX;Stale Product;02.00.00;Stale;" + kAffinity + ";\n";
    if (host == Host::zevpsnmp) {
      launcher.work().write("ZEVSAGNT", agentsFile);
      ASSERT_TRUE(launcher.start(dvagent, kLauncherSettings)) << launcher.process().failure();
    } else {
      std::ofstream(dvagent.directory() + "ZEVSAGNT", std::ios::binary) << agentsFile;
      ASSERT_TRUE(dvagent.start({"SNMP"}, kAgentSettings)) << dvagent.failure();
    }
    auto trace = [&] { return host == Host::zevpsnmp ? launcher.trace() : dvagent.traceText(); };

    // The manager's start: the loaded agent's row, then its probe on the base port.
    std::string table;
    ASSERT_TRUE(Eventually(
        [&] { return !(table = TableWithColumn(dvagent, kApplication, "Agent_Framework_Features")).empty(); },
        kWaitMs))
        << trace();
    SampledRow loaded = WaitForRow(dvagent, kApplication, table,
                                   {{"Managed_System_Name", "myhost:XX"}, {"Last_Reply_TimeStamp", "Initial Load"}},
                                   kWaitMs);
    EXPECT_EQ(loaded["Network_Address"], kAgentAddress);
    std::map<std::string, std::string> call = AgentLineFields(agent.nextLine(kWaitMs));
    EXPECT_EQ(call[""], "StartAgent");
    EXPECT_EQ(call["target"], kAgentAddress);
    // Inside the agent program the local host is localhost, a loopback address no
    // agent could call back at: the instruction names the host's first other address.
    const std::string manager = kManagerAddress;
    EXPECT_EQ(call["instruction"], "REGISTER(ip:#" + manager + "[30303])");
    EXPECT_NE(trace().find("Trying port 38213 on host 10.77.0.2"), std::string::npos) << trace();
    EXPECT_EQ(trace().find("Trying port 38214"), std::string::npos) << "a recheck tries the base port only";

    // The agent answers (network discovery's own recheck may have probed it again
    // meanwhile): its registration and its subnodes' rows.
    agent.process().closeInput();
    std::string line = agent.nextLine(kWaitMs);
    while (line.rfind("StartAgent|", 0) == 0) line = agent.nextLine(kWaitMs);
    EXPECT_EQ(line, "Register|status=0");
    EXPECT_EQ(agent.nextLine(kWaitMs), "Subnode_Request|status=0");
    ZEVS_InitializePlovenFeatureArray();
    const std::string product = ZEVS_LocateProductNameFromAffinity(kAffinity);
    char* features = ZEVS_ConstructProductFeatureString(kAffinity);
    // The sample shows a value without its trailing blanks.
    std::string featureText = features;
    featureText.erase(featureText.find_last_not_of(' ') + 1);
    ZEV0_FreeStorage(&features);
    SampledRow registered = WaitForRow(dvagent, kApplication, table,
                                       {{"Managed_System_Name", "myhost:XX"}, {"Version", "02.00.00"}}, kWaitMs);
    ASSERT_FALSE(registered.empty()) << trace();
    EXPECT_NE(registered["Last_Reply_TimeStamp"], "Initial Load");
    EXPECT_FALSE(registered["Last_Reply_TimeStamp"].empty());
    EXPECT_EQ(registered["Product_Name"], product);
    EXPECT_EQ(registered["Agent_Framework_Features"], featureText);
    const std::string callerName = registered["Network_Name"], callerAddress = registered["Network_Address"];
    EXPECT_EQ(callerAddress, manager) << "the agent calls the manager's local address from that address";
    for (const char* subnode : {"a", "b"}) {
      SCOPED_TRACE(subnode);
      SampledRow row = WaitForRow(dvagent, kApplication, table, {{"Managed_System_Name", subnode}}, kWaitMs);
      ASSERT_FALSE(row.empty());
      EXPECT_EQ(row["Network_Name"], callerName);
      EXPECT_EQ(row["Network_Address"], callerAddress);
      EXPECT_EQ(row["Version"], "02.00.00");
      EXPECT_EQ(row["Product_Name"], product);
      EXPECT_EQ(row["Agent_Framework_Features"], featureText);
    }
    if (host == Host::zevpsnmp) {
      EXPECT_EQ(launcher.process().terminate(kWaitMs), 0);
    }
    EXPECT_EQ(dvagent.terminate(kWaitMs), 0);
  });
}

TEST(AgentDiscoveryProgram, AnAgentOfTheAgentsFileIsProbedAndRegistersWithItsSubnodesFromZevpsnmp) {
  RunDiscovery(Host::zevpsnmp);
}

TEST(AgentDiscoveryProgram, AnAgentOfTheAgentsFileIsProbedAndRegistersWithItsSubnodesInsideTheAgentProgram) {
  RunDiscovery(Host::zeva350);
}

}  // namespace
