// A TRAPEMIT action end to end, in a network namespace of the test's own: the
// management server's command through zevraf to the agent zeva350, down to its
// FILE data provider, whose worker emits the trap to snmptrapd on port 162; the
// result comes back as a row of the agent's action log (which records trap
// actions when ZEVA_DCH_TRAPEMIT asks it to).
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "acts_agent.h"
#include "agent_process.h"
#include "eventually.h"
#include "net_snmp.h"
#include "network_namespace.h"

namespace {

constexpr int kWaitMs = 15000;
constexpr char kActionTable[] = "DVA6034300";

// The result column of the action log's row for the parameters, once it is known.
std::string ResultOf(AgentProcess& agent, const std::string& parameters) {
  std::string result = "<no row>";
  Eventually(
      [&] {
        for (const std::string& line : LinesWith(agent.zevraf({"sample", "DVAGENT00", kActionTable}), parameters)) {
          if (line.find("\tUNKNOWN\t") != std::string::npos) continue;
          size_t at = line.find(parameters + "\t");
          if (at == std::string::npos) continue;
          std::string rest = line.substr(at + parameters.size() + 1);
          rest = rest.substr(rest.find('\t') + 1);
          result = rest.substr(0, rest.find('\t'));
          return true;
        }
        return false;
      },
      kWaitMs);
  return result;
}

TEST(TrapActionRoadTest, ATrapActionReachesSnmptrapdAndItsResultTheActionLog) {
  RunInNetworkNamespace([] {
    TrapReceiverProcess receiver;
    ASSERT_TRUE(receiver.start()) << receiver.failure();
    AgentProcess agent;
    const std::string subnode =
        StartActsAgent(agent, {"ZEVP_TRAP_DESTINATION=127.0.0.1", "ZEVA_DCH_TRAPEMIT=Y"}, kWaitMs);
    ASSERT_FALSE(subnode.empty());

    const std::string parameters = "DEST(127.0.0.1) SIT(s1) SEV(Critical)";
    ToolRun run = agent.zevraf({"action", subnode, "TRAPEMIT", parameters});
    EXPECT_EQ(run.output, "0\n") << run.errors;
    EXPECT_TRUE(receiver.waitForTrap(
        "enterprise=.1.3.6.1.4.1.8541.1.3 generic=6 specific=.8 "
        "vars=.1.3.6.1.4.1.8541.1.2.1.1.1.1 = STRING: \"s1\"\t.1.3.6.1.4.1.8541.1.2.1.1.1.2 = NULL\t"
        ".1.3.6.1.4.1.8541.1.2.1.1.1.3 = NULL\t.1.3.6.1.4.1.8541.1.2.1.1.1.6 = INTEGER: 4\t"
        ".1.3.6.1.4.1.8541.1.2.1.4.0 = INTEGER: 0",
        kWaitMs))
        << ::testing::PrintToString(receiver.traps());
    EXPECT_EQ(ResultOf(agent, parameters), "SNMP trap emitted to agents: 127.0.0.1");

    // The default destinations, named or not.
    for (const std::string defaults : {"DEST(_DEFAULT) SIT(s2)", "SIT(s3)"}) {
      agent.zevraf({"action", subnode, "TRAPEMIT", defaults});
      EXPECT_EQ(ResultOf(agent, defaults), "SNMP trap emitted to agents: 127.0.0.1");
    }
    EXPECT_TRUE(receiver.waitForTrap("STRING: \"s3\"", kWaitMs));
    EXPECT_EQ(receiver.traps().size(), 3u);
    EXPECT_EQ(agent.terminate(30000), 0) << agent.errorText();
  });
}

}  // namespace
