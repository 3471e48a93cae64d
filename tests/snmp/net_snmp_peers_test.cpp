// The fixtures of the SNMP tests, against net-snmp's own programs: a namespace laid
// out as asked, snmpd on a veth address, snmptrapd's trap lines, a silent address,
// and the refusal of every SNMP fixture in the machine's namespace.
#include <gtest/gtest-spi.h>
#include <gtest/gtest.h>

#include "net_snmp.h"
#include "network_namespace.h"

namespace {

constexpr int kTrapWaitMs = 5000;

TEST(NetworkNamespaceTest, SnmpdOnAVethAddressAnswersAndSnmptrapdLogsTheTrapSent) {
  RunInNetworkNamespace({{"10.77.0.1", "10.77.0.2"}, ""}, [] {
    ASSERT_TRUE(InOwnNetworkNamespace());
    SnmpAgentSettings settings;
    settings.address = "10.77.0.2";
    settings.sysDescr = "Lab router";
    settings.sysName = "lab-2";
    SnmpAgentProcess agent(settings);
    ASSERT_TRUE(agent.start()) << agent.failure();
    TrapReceiverProcess receiver("10.77.0.1");
    ASSERT_TRUE(receiver.start()) << receiver.failure();

    ToolRun got = SnmpGet(agent.target(), "public", {"1.3.6.1.2.1.1.1.0", "1.3.6.1.2.1.1.5.0", "1.3.6.1.2.1.1.7.0"});
    EXPECT_EQ(got.exitStatus, 0) << got.errors;
    EXPECT_EQ(got.output,
              ".1.3.6.1.2.1.1.1.0 = STRING: \"Lab router\"\n"
              ".1.3.6.1.2.1.1.5.0 = STRING: \"lab-2\"\n"
              ".1.3.6.1.2.1.1.7.0 = INTEGER: 72\n");
    ToolRun set = SnmpSet(agent.target(), "private", "1.3.6.1.2.1.1.6.0", "s", "Room 7");
    EXPECT_EQ(set.exitStatus, 0) << set.errors;
    EXPECT_EQ(SnmpGet(agent.target(), "public", {"1.3.6.1.2.1.1.6.0"}).output,
              ".1.3.6.1.2.1.1.6.0 = STRING: \"Room 7\"\n");
    EXPECT_NE(SnmpGet(agent.target(), "wrong", {"1.3.6.1.2.1.1.1.0"}).exitStatus, 0) << "an unknown community";

    ToolRun trap = SnmpTrap("10.77.0.1:162", "public", "1.3.6.1.4.1.9999", "10.77.0.2", 6, 17,
                            {"1.3.6.1.4.1.9999.1", "s", "hello"});
    EXPECT_EQ(trap.exitStatus, 0) << trap.errors;
    EXPECT_TRUE(receiver.waitForTrap(
        "TRAP agent=10.77.0.2 enterprise=.1.3.6.1.4.1.9999 generic=6 specific=.17 "
        "vars=.1.3.6.1.4.1.9999.1 = STRING: \"hello\"",
        kTrapWaitMs));
    SnmpTrap("10.77.0.1:162", "public", "1.3.6.1.4.1.9999", "10.77.0.2", 3, 0);
    EXPECT_TRUE(receiver.waitForTrap("generic=3 specific=0", kTrapWaitMs));
    EXPECT_EQ(receiver.traps().size(), 2u);
  });
}

TEST(NetworkNamespaceTest, TheRestOfTheNetworkAndWhatLiesBeyondTheGatewayAreSilent) {
  RunInNetworkNamespace({{"10.77.0.1"}, ""}, [] {
    for (const char* silent : {"10.77.0.9", "10.78.0.5"}) {
      ToolRun got = SnmpGet(silent, "public", {"1.3.6.1.2.1.1.1.0"});
      EXPECT_EQ(got.exitStatus, 1) << silent;
      EXPECT_NE(got.errors.find("Timeout: No Response from"), std::string::npos) << silent << ": " << got.errors;
    }
  });
}

TEST(NetworkNamespaceTest, OnlyLoopbackWithoutAddresses) {
  RunInNetworkNamespace([] {
    SnmpAgentProcess agent;
    ASSERT_TRUE(agent.start()) << agent.failure();
    EXPECT_EQ(SnmpGet(agent.target(), "public", {"1.3.6.1.2.1.1.5.0"}).output,
              ".1.3.6.1.2.1.1.5.0 = STRING: \"test-agent\"\n");
  });
}

TEST(NetworkNamespaceTest, EveryFixtureRefusesTheMachinesNamespace) {
  std::string why;
  EXPECT_FALSE(InOwnNetworkNamespace(&why));
  EXPECT_EQ(why, "this is the machine's network namespace");
  EXPECT_NONFATAL_FAILURE(
      {
        SnmpAgentProcess agent;
        EXPECT_FALSE(agent.start());
      },
      "snmpd runs only in a network namespace of the test's own");
  EXPECT_NONFATAL_FAILURE(
      {
        TrapReceiverProcess receiver;
        EXPECT_FALSE(receiver.start());
      },
      "snmptrapd runs only");
  EXPECT_NONFATAL_FAILURE(SnmpGet("127.0.0.1", "public", {"1.3.6.1.2.1.1.1.0"}), "/usr/bin/snmpget runs only");
  EXPECT_NONFATAL_FAILURE(SnmpTrap("127.0.0.1", "public", "1.3.6.1.4.1.9999", "127.0.0.1", 0, 0),
                          "/usr/bin/snmptrap runs only");
}

}  // namespace
