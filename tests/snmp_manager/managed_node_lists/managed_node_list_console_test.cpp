// Managed node lists in a running SNMP data provider: the lists that the list
// configuration names load at start, and the console's LOADLIST hands a list to
// the managed-node-list server (or is told that none runs) and records it in the
// configuration.
#include <gtest/gtest.h>

#include <string>

#include "console_client.h"
#include "manager_routines.h"
#include "network_namespace.h"
#include "pdu_exchange.h"
#include "snmp_provider_run.h"
#include "snmp_thread.h"

namespace {

constexpr int kReplyWaitMs = 5000;

void* EndsAtOnce(void*) { ZEVS_EndThread(); }

TEST(ManagedNodeListConsoleTest, LoadListHandsTheListToTheServerAndTheConfigurationNamesIt) {
  RunInNetworkNamespace([] {
    // The list tasks' gets of nodes without SNMP end within the data provider's end.
    zevp::SetPDUwaitSecondForTests(50);
    SnmpProviderRun run;
    run.work().write("ZEVSLIST", "boot.lst\n");
    run.work().write("boot.lst", "127.0.0.2\n");
    run.work().write("nodes.lst", "LISTNAME=console\n127.0.0.1\n");
    ASSERT_TRUE(run.start());
    EXPECT_EQ(AwaitConsole(run.consolePort(), kReplyWaitMs), "0 5 " + std::to_string(run.consolePort()));
    EXPECT_TRUE(run.waitForTrace("Adding node <127.0.0.2> to managed node array")) << run.trace();
    ConsoleClient console;
    EXPECT_EQ(console.exchange(run.consolePort(), "LOADLIST nodes.lst", kReplyWaitMs), "0 ");
    EXPECT_EQ(console.exchange(run.consolePort(), "LOADLIST missing.lst", kReplyWaitMs), "60 ");
    EXPECT_EQ(run.work().read("ZEVSLIST"), "boot.lst\nnodes.lst\n");
    EXPECT_TRUE(run.waitForTrace(">>>Managed Node List request enqueued to Server"));
    EXPECT_TRUE(run.waitForTrace("Start Managed Node List worker task")) << run.trace();
    EXPECT_NE(run.stop(), nullptr);
  });
}

TEST(ManagedNodeListConsoleTest, WithoutTheServerTheListIsLoadedButNotHandedOver) {
  RunInNetworkNamespace([] {
    SnmpProviderRun run;
    run.managerRoutines().routines().managedNodeListServer = EndsAtOnce;
    run.work().write("nodes.lst", "127.0.0.1\n");
    ASSERT_TRUE(run.start());
    EXPECT_EQ(AwaitConsole(run.consolePort(), kReplyWaitMs), "0 5 " + std::to_string(run.consolePort()));
    ConsoleClient console;
    EXPECT_EQ(console.exchange(run.consolePort(), "LOADLIST nodes.lst", kReplyWaitMs), "0 ");
    EXPECT_TRUE(run.waitForTrace("Managed Node List Server is inactive. Request not performed."));
    EXPECT_EQ(run.work().read("ZEVSLIST"), "nodes.lst\n");
    EXPECT_NE(run.stop(), nullptr);
  });
}

}  // namespace
