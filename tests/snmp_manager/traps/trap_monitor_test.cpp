// The trap monitor of the SNMP data provider in process, each case in a network
// namespace of its own: on port 162 itself (also under hostile peers), through the
// trap daemon zevstrap, and with port 162 held by a socket that does not answer or
// answers wrongly. Traps come from net-snmp's snmptrap and from raw datagrams; rows
// are read at the agent's DCH server.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "console_client.h"
#include "dch/dch_api.h"
#include "dch_road_fixture.h"
#include "dp_log_recorder.h"
#include "eventually.h"
#include "hostile_peer.h"
#include "net_snmp.h"
#include "network_namespace.h"
#include "proc_text.h"
#include "scratch_directory.h"
#include "snmp_provider_run.h"
#include "snmp_thread.h"
#include "socket_tables.h"
#include "statistics.h"
#include "tool_process.h"
#include "udp_peer.h"

namespace {

constexpr int kTrapsEnabled = 101;
constexpr int kConfigurationLoaded = 102;
constexpr int kTrapsDisabled = 103;
constexpr char kEnterprise[] = "1.3.6.1.4.1.8072.2.3";
constexpr char kLocation[] = "{1.3.6.1.2.1.1.6.0[ASN_OCTETSTRING]rack 4}";
// A v1 trap as snmptrap sends it (enterprise, 127.0.0.1, 6, 17, the location) and
// a v2c one.
const std::string kRackTrap = FromHex(
    "303f02010004067075626c6963a43206092b06010401bf08020340047f0000010201060201114303154a223014301206082b06010201010600"
    "04067261636b2034");
const std::string kV2cTrap = FromHex(
    "304502010104067075626c6963a73802041532283f020100020100302a300f06082b060102010103004303154a233017060a2b0601060301"
    "0104010006092b0601060301010501");

std::string Configuration(const std::string& name, int severity) {
  return name + " {" + kEnterprise + "} 6 17 A " + std::to_string(severity) +
         " 2 \"Map Events\"\nSDESC\nThe rack moved.\nEDESC\nnetSnmp {" + kEnterprise + "}\n";
}

std::vector<std::string> Settings(const ScratchDirectory& files, const std::vector<std::string>& more = {}) {
  std::vector<std::string> settings{"ZEV_DP_HOSTNAME=127.0.0.1", "ZEVP_SNMP_NET_DISCOVERY=N",
                                    "ZEVP_SNMP_MANAGE_LOCAL_NETWORK=N",
                                    "ZEVP_SNMP_TRAPCNFG_FILE=" + files.file("traps.cfg")};
  settings.insert(settings.end(), more.begin(), more.end());
  return settings;
}

// The next TRAP row's values; {"<no row>"} when none came.
std::vector<std::string> NextRow(RowWaiter& rows, int waitMs = kAnswerWaitMs) {
  Row row;
  if (!ReadRow(rows.next(waitMs), &row)) return {"<no row>"};
  return row.values;
}

ToolRun RackTrap(unsigned short port) {
  return SnmpTrap("127.0.0.1:" + std::to_string(port), "public", kEnterprise, "127.0.0.1", 6, 17,
                  {"1.3.6.1.2.1.1.6.0", "s", "rack 4"});
}

// A counter attribute's value as the server holds it: its bytes in host order.
int64_t HostOrderNumber(const std::string& value) {
  int64_t number = 0;
  for (size_t i = value.size(); i-- > 0;) number = number * 256 + static_cast<unsigned char>(value[i]);
  return number;
}

uint32_t TrapsCounted() {
  StatisticBlock* block = ZEVP_InitializeStatisticBlock();
  BSV1_GetLock(&block->lock);
  uint32_t traps = block->trapsReceived;
  BSV1_ReleaseLock(&block->lock);
  return traps;
}

TEST(TrapMonitorTest, OnPort162TrapsBecomeRowsAndConsoleMessagesAndAReloadRenamesThem) {
  RunInNetworkNamespace([] {
    ScratchDirectory files("zev_trap_monitor");
    files.write("traps.cfg", Configuration("rackMoved", 4));
    SnmpProviderRun run(SnmpTestProduct(), Settings(files));
    DPlogRecorder log;
    ASSERT_TRUE(run.start());
    DPlogMessage enabled = log.waitFor(kTrapsEnabled);
    EXPECT_EQ(enabled.inserts, std::vector<std::string>{"Listening on port 162 "});
    EXPECT_EQ(log.waitFor(kConfigurationLoaded).inserts, std::vector<std::string>{files.file("traps.cfg")});
    ASSERT_NE(run.consumerText(dc_getApplications, "SNMP-MANAGER"), "<no answer>");
    RowWaiter rows("SNMP-Manager", "TRAP");
    ASSERT_TRUE(rows.parked());
    uint32_t counted = TrapsCounted();

    ToolRun sent = RackTrap(162);
    ASSERT_EQ(sent.exitStatus, 0) << sent.errors;
    std::vector<std::string> row = NextRow(rows);
    ASSERT_EQ(row.size(), 13u) << row[0];
    EXPECT_EQ(row[0].size(), 16u);
    EXPECT_EQ(row[1], kEnterprise);
    EXPECT_EQ(HostOrderNumber(row[2]), 6);
    EXPECT_EQ(HostOrderNumber(row[3]), 17);
    EXPECT_EQ(std::vector<std::string>(row.begin() + 4, row.end()),
              (std::vector<std::string>{"localhost", "Agent", "Up", "netSnmp", "rackMoved", "Map Events", "Critical",
                                        "The rack moved.", kLocation}));
    EXPECT_TRUE(run.waitForTrace("Issue PX Console Message [SNMP Trap: rackMoved, Enterprise: netSnmp, Description: "
                                 "The rack moved., VarBind: " +
                                 std::string(kLocation) + ";]"))
        << run.trace();

    // Garbage and a v2c trap make no row; the v1 trap after them does.
    UdpPeer sender;
    for (const std::string& bad : {std::string("garbage"), std::string("\x30\x84\xff\xff\xff\xff", 6),
                                   kRackTrap.substr(0, 20), std::string(), kV2cTrap})
      sender.send("127.0.0.1", 162, bad);
    sender.send("127.0.0.1", 162, kRackTrap);
    EXPECT_EQ(NextRow(rows).at(8), "rackMoved");
    EXPECT_EQ(NextRow(rows, kSilenceMs), std::vector<std::string>{"<no row>"});

    // TRAPCNFG after the file changed: the next row carries the new names; with
    // severity 1 no console message goes out.
    files.write("traps.cfg", Configuration("rackShifted", 1));
    ConsoleClient console;
    EXPECT_EQ(console.exchange(run.consolePort(), "TRAPCNFG", kAnswerWaitMs).substr(0, 1), "0");
    ASSERT_EQ(RackTrap(162).exitStatus, 0);
    row = NextRow(rows);
    ASSERT_EQ(row.size(), 13u) << row[0];
    EXPECT_EQ(row[8], "rackShifted");
    EXPECT_EQ(row[10], "Indeterminate");
    EXPECT_TRUE(run.waitForTrace("PX Console Message bypassed. Sev 1 threshold 2"));
    // Each row is counted once it has been handed on.
    EXPECT_TRUE(Eventually([counted] { return TrapsCounted() == counted + 3; }, kAnswerWaitMs)) << TrapsCounted();

    // The shut-down wakes the monitor from its thirty-second wait.
    auto begun = std::chrono::steady_clock::now();
    EXPECT_EQ(run.stop(), &ZEVS_ThreadRC);
    EXPECT_LT(std::chrono::steady_clock::now() - begun, std::chrono::seconds(10));
    EXPECT_NE(run.trace().find(">>>>> SNMP Trap monitor process ended."), std::string::npos);
  });
}

// Each trap's row waits for its round trip to the agent while the rest of a burst
// waits in the socket: a thousand sent at once are all handed on (the system's default
// receive buffer holds a few hundred).
TEST(TrapMonitorTest, RegressionABurstOfTrapsOnPort162IsHandedOnWhole) {
  RunInNetworkNamespace([] {
    constexpr uint32_t kBurst = 1000;
    ScratchDirectory files("zev_trap_burst");
    files.write("traps.cfg", Configuration("rackMoved", 1));
    SnmpProviderRun run(SnmpTestProduct(), Settings(files));
    DPlogRecorder log;
    ASSERT_TRUE(run.start());
    log.waitFor(kConfigurationLoaded);
    UdpPeer sender;
    uint32_t counted = TrapsCounted();
    ASSERT_TRUE(sender.send("127.0.0.1", 162, kRackTrap));
    ASSERT_TRUE(Eventually([counted] { return TrapsCounted() == counted + 1; }, kAnswerWaitMs));

    for (uint32_t trap = 0; trap < kBurst; ++trap) ASSERT_TRUE(sender.send("127.0.0.1", 162, kRackTrap));
    const uint32_t whole = counted + 1 + kBurst;
    // The burst is through once the count stops growing.
    for (uint32_t seen = 0; TrapsCounted() != seen && TrapsCounted() < whole;) {
      seen = TrapsCounted();
      Eventually([&] { return TrapsCounted() > seen; }, kAnswerWaitMs);
    }
    EXPECT_EQ(TrapsCounted(), whole);
    EXPECT_EQ(run.stop(), &ZEVS_ThreadRC);
  });
}

// Hostile peers at port 162: random, spoiled, cut and oversized datagrams, 0 and
// 65,507 bytes, a slow trickle and a thousand datagrams. A real trap from snmptrap
// after them still becomes its row, and the process's resident memory stays near
// what it was.
TEST(TrapMonitorTest, HostileDatagramsLeaveARealTrapItsRow) {
  RunInNetworkNamespace([] {
    ScratchDirectory files("zev_trap_hostile");
    files.write("traps.cfg", Configuration("rackMoved", 1));
    // Errors only: the trace is kept in this process, whose memory is measured.
    SnmpProviderRun run(SnmpTestProduct(), Settings(files), "*=0x80");
    DPlogRecorder log;
    ASSERT_TRUE(run.start());
    log.waitFor(kConfigurationLoaded);
    ASSERT_NE(run.consumerText(dc_getApplications, "SNMP-MANAGER"), "<no answer>");
    const long before = ResidentKilobytes(getpid());

    // Spoiled traps that still decode have rows of their own, each a round trip to the
    // DCH host, which outlasts the spell on a busy machine.
    constexpr int kBacklogWaitMs = 30000;
    HostileBytes bytes(162, {kRackTrap, kV2cTrap});
    EXPECT_EQ(DatagramSpell(162, bytes, 1000), 1002);
    EXPECT_EQ(DatagramTrickle(162, bytes, 25, std::chrono::milliseconds(20)), 25);
    EXPECT_TRUE(Eventually([] { return UdpReceiveQueue(162) == 0; }, kBacklogWaitMs)) << "the monitor reads on";
    // The consumer parks once the spell is read: a consumer slower than the monitor
    // (a thread a row here) would let the copies of its rows overflow its socket.
    RowWaiter rows("SNMP-Manager", "TRAP");
    ASSERT_TRUE(rows.parked());
    ToolRun sent = SnmpTrap("127.0.0.1:162", "public", kEnterprise, "127.0.0.1", 6, 17,
                            {"1.3.6.1.2.1.1.6.0", "s", "well-behaved"});
    EXPECT_EQ(sent.exitStatus, 0) << sent.errors;
    // The last of the spell's rows may come first.
    bool served = false;
    while (!served) {
      std::vector<std::string> row = NextRow(rows, kBacklogWaitMs);
      if (row.size() != 13u) break;
      served = row[12].find("well-behaved") != std::string::npos;
    }
    EXPECT_TRUE(served);
    EXPECT_LT(ResidentKilobytes(getpid()) - before, 32 * 1024) << before << " kB before";
    EXPECT_EQ(run.stop(), &ZEVS_ThreadRC);
  });
}

TEST(TrapMonitorTest, WithTheDaemonOnPort162TrapsComeThroughItAndTheEndIsToldFromTheRegisteredPort) {
  RunInNetworkNamespace([] {
    ScratchDirectory files("zev_trap_monitor");
    ToolProcess daemon("zevstrap");
    ASSERT_TRUE(daemon.start({}, {"ZEV_DP_HOSTNAME=127.0.0.1", "ZEVP_SNMP_TRAP_VERBOSE=Y>" + files.file("daemon.log")}))
        << daemon.failure();
    ASSERT_TRUE(Eventually([] { return UdpPortBound(162); }, 5000));
    SnmpProviderRun run(SnmpTestProduct(), Settings(files));
    DPlogRecorder log;
    ASSERT_TRUE(run.start());
    EXPECT_EQ(log.waitFor(kTrapsEnabled).inserts, std::vector<std::string>{"Listening on trap daemon "});
    ASSERT_NE(run.consumerText(dc_getApplications, "SNMP-MANAGER"), "<no answer>");
    RowWaiter rows("SNMP-Manager", "TRAP");
    ASSERT_EQ(RackTrap(162).exitStatus, 0);
    std::vector<std::string> row = NextRow(rows);
    ASSERT_EQ(row.size(), 13u) << row[0];
    EXPECT_EQ(row[12], kLocation);
    EXPECT_EQ(row[5], "Unavailable");

    EXPECT_EQ(run.stop(), &ZEVS_ThreadRC);
    std::string registered;
    ASSERT_TRUE(Eventually(
        [&] {
          std::string trace = files.read("daemon.log");
          size_t at = trace.find(">>>>> RegisterTrapInterest received from DP ");
          if (at == std::string::npos) return false;
          registered = trace.substr(at + 44, trace.find('\n', at) - at - 44);
          return trace.find(">>>>> shutdown received from DP " + registered + "\n") != std::string::npos;
        },
        5000))
        << files.read("daemon.log");
    EXPECT_EQ(daemon.terminate(5000), 0);
  });
}

TEST(TrapMonitorTest, ADaemonThatNeverAnswersLeavesOnlyTheExtraPort) {
  RunInNetworkNamespace([] {
    ScratchDirectory files("zev_trap_monitor");
    UdpPeer silent("127.0.0.1", 162);
    ASSERT_TRUE(silent.bound());
    SnmpProviderRun run(SnmpTestProduct(), Settings(files, {"ZEVP_SNMP_TRAP_PORT=16200"}));
    DPlogRecorder log;
    ASSERT_TRUE(run.start());
    EXPECT_EQ(log.waitFor(kTrapsEnabled).inserts, std::vector<std::string>{"Listening on port 16200"});
    EXPECT_EQ(silent.receive(0), "DP-REGISTER-TRAP-INTEREST");
    EXPECT_NE(run.trace().find("----- Register trap interest with daemon received no ack"), std::string::npos);
    ASSERT_NE(run.consumerText(dc_getApplications, "SNMP-MANAGER"), "<no answer>");
    RowWaiter rows("SNMP-Manager", "TRAP");
    ASSERT_EQ(RackTrap(16200).exitStatus, 0);
    EXPECT_EQ(NextRow(rows).at(12), kLocation);
    EXPECT_EQ(run.stop(), &ZEVS_ThreadRC);
    EXPECT_EQ(silent.receive(0), "") << "the end was told to a daemon that never acknowledged";
  });
}

TEST(TrapMonitorTest, AnAnswerLongerThanTheAcknowledgementLeavesNoSocketAndTheDataProviderRunsOn) {
  RunInNetworkNamespace([] {
    ScratchDirectory files("zev_trap_monitor");
    UdpPeer wrong("127.0.0.1", 162);
    ASSERT_TRUE(wrong.bound());
    std::thread answering([&wrong] {
      sockaddr_in from{};
      if (wrong.receive(10000, &from) != "DP-REGISTER-TRAP-INTEREST") return;
      char address[INET_ADDRSTRLEN];
      inet_ntop(AF_INET, &from.sin_addr, address, sizeof(address));
      wrong.send(address, ntohs(from.sin_port), "DP-REGISTER-TRAP-INTEREST-ACKX");
    });
    SnmpProviderRun run(SnmpTestProduct(), Settings(files));
    DPlogRecorder log;
    ASSERT_TRUE(run.start());
    EXPECT_EQ(log.waitFor(kTrapsDisabled).number, kTrapsDisabled);
    answering.join();
    const std::string& trace = run.trace();
    EXPECT_NE(trace.find("----- Register trap interest response invalid <DP-REGISTER-TRAP-INTEREST-ACKX>"),
              std::string::npos);
    EXPECT_NE(trace.find("***** Unable to open SNMP trap listen port"), std::string::npos);
    EXPECT_NE(trace.find("Note: Determine if another SNMP Manager process is active on this system."),
              std::string::npos);
    EXPECT_EQ(log.count(kTrapsEnabled), 0);
    EXPECT_TRUE(run.waitForTrace(">>>>> SNMP Trap monitor process ended."));
    EXPECT_FALSE(run.joinWithin(300)) << "the data provider ended with its trap monitor";
    EXPECT_EQ(run.stop(), &ZEVS_ThreadRC);
  });
}

}  // namespace
