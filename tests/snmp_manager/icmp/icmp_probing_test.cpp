// ICMP echo probing from the data provider's side, in a network namespace of the
// test's own where 10.77.0.1, .2 and .3 answer and the rest of 10.77.0.0/24 is
// silent: through the daemon zevsnetd and through the raw socket, a whole /29 and
// one host, excluded networks, and a process without the raw privilege.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <linux/capability.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "engine_routines.h"
#include "icmp_probing.h"
#include "icmp_test_network.h"
#include "manager_routines.h"
#include "net_daemon_process.h"
#include "network_namespace.h"
#include "trace_capture.h"

namespace {

constexpr unsigned short kDaemonPort = 17981;
const NamespaceNetwork kNetwork = {{"10.77.0.1", "10.77.0.2", "10.77.0.3"}, ""};

std::vector<std::string> discoveryRequests;
void RecordDiscoveryRequest(const char* address) {
  if (address != nullptr) discoveryRequests.emplace_back(address);
}

std::vector<int32_t> logMessages;
void RecordLogMessage(DPAB*, int32_t number, const char*, const char*, const char*, const char*, const char*) {
  logMessages.push_back(number);
}

// The namespace's count of echo requests sent (/proc/net/snmp, Icmp OutEchos).
long EchoesSent() {
  std::ifstream file("/proc/net/snmp");
  std::vector<std::string> icmpLines;
  for (std::string line; std::getline(file, line);) {
    if (line.rfind("Icmp: ", 0) == 0) icmpLines.push_back(line);
  }
  if (icmpLines.size() < 2) return -1;
  std::istringstream names(icmpLines[0]);
  std::istringstream values(icmpLines[1]);
  for (std::string name, value; names >> name && values >> value;) {
    if (name == "OutEchos") return std::atol(value.c_str());
  }
  return -1;
}

uint32_t Address(const char* dotted) { return inet_addr(dotted); }

// The whole /29 (hosts 1 … 6), then one live and one silent host, then the network
// excluded: what every way of probing must show.
void ProbeTheSmallNetwork() {
  discoveryRequests.clear();
  TestNetwork network("10.77.0.0", 7);
  uint32_t any = Address("10.77.0.0");
  EXPECT_EQ(ZEVS_CheckActiveNode(&any, 0, 1, network.entry(), nullptr, 500), 3);
  for (int index = 1; index <= 6; ++index) {
    EXPECT_EQ(network.letter(index), index <= 3 ? 'A' : '0') << "host " << index;
    EXPECT_LT(network.entry()->maximumResponseTimes[index], index <= 3 ? 500u : 1u) << "host " << index;
  }
  EXPECT_LT(network.entry()->minimumResponseTimes[1], 500u) << "the time of a live host is recorded";
  EXPECT_EQ(discoveryRequests, (std::vector<std::string>{"10.77.0.1", "10.77.0.2", "10.77.0.3"}));

  TestNetwork one("10.77.0.0", 255);
  uint32_t live = Address("10.77.0.2");
  uint32_t silent = Address("10.77.0.5");
  EXPECT_EQ(ZEVS_CheckActiveNode(&live, 0, 0, one.entry(), nullptr, 500), 1);
  EXPECT_EQ(ZEVS_CheckActiveNode(&silent, 0, 0, one.entry(), nullptr, 500), 0);
  EXPECT_EQ(one.letter(2), 'A');
  EXPECT_EQ(one.letter(5), '0');
  EXPECT_EQ(discoveryRequests.size(), 3u) << "one host asks agent discovery nothing";

  for (int32_t state : {ZEVS_NETWORK_EXCLUDED, ZEVS_NETWORK_EXCLUDED_BY_SUBNET}) {
    SCOPED_TRACE(state);
    TestNetwork excluded("10.77.0.0", 7, state);
    long before = EchoesSent();
    EXPECT_EQ(ZEVS_CheckActiveNode(&any, 0, 1, excluded.entry(), nullptr, 500), 0);
    EXPECT_EQ(ZEVS_CheckActiveNode(&live, 0, 0, excluded.entry(), nullptr, 500), 0);
    EXPECT_EQ(EchoesSent(), before) << "nothing is sent for an excluded network";
    EXPECT_EQ(excluded.letter(2), '0');
  }
}

TEST(IcmpProbingTest, ThroughTheDaemon) {
  RunInNetworkNamespace(kNetwork, [] {
    zevs::Routines().enqueuePlovenDiscoveryRequest = RecordDiscoveryRequest;
    setenv("ZEV_DP_HOSTNAME", "127.0.0.1", 1);
    setenv("ZEVP_SNMP_NETDAEMON_PORT", std::to_string(kDaemonPort).c_str(), 1);
    TraceCapture trace("*=0x90");
    auto start = std::chrono::steady_clock::now();
    ZEVS_CheckICMPdaemonStatus();
    EXPECT_EQ(ICMPdaemonActive.load(), 0);
    EXPECT_TRUE(trace.contains("----- ICMP daemon inquiry received no data"));
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(1)) << "no daemon is known at once";

    NetDaemonProcess daemon(kDaemonPort);
    ASSERT_TRUE(daemon.start()) << daemon.failure();
    ZEVS_CheckICMPdaemonStatus();
    ASSERT_EQ(ICMPdaemonActive.load(), 1);
    EXPECT_TRUE(trace.contains("----- ICMP Daemon is Active"));
    ProbeTheSmallNetwork();
    std::string daemonTrace = daemon.traceText();
    EXPECT_NE(daemonTrace.find("----- DP request for target node 10.77.0.6 received"), std::string::npos)
        << "the probes went through the daemon";
    EXPECT_EQ(daemonTrace.find("10.77.0.7 received"), std::string::npos) << "the /29's broadcast is not probed";

    EXPECT_EQ(daemon.terminate(), 0);

    // The manager's end closes the daemon's socket: later probes use the raw socket
    // (the daemon is gone, so none of them would be answered through it).
    zevs::CloseIcmpDaemonSocket();
    EXPECT_EQ(ICMPdaemonSock.load(), 0);
    TestNetwork network("10.77.0.0", 7);
    uint32_t live = Address("10.77.0.1");
    EXPECT_EQ(ZEVS_CheckActiveNode(&live, 0, 0, network.entry(), nullptr, 500), 1);
  });
}

TEST(IcmpProbingTest, WithTheRawSocket) {
  RunInNetworkNamespace(kNetwork, [] {
    zevs::Routines().enqueuePlovenDiscoveryRequest = RecordDiscoveryRequest;
    zevs::ResetIcmpProbingForTests();
    long before = EchoesSent();
    ProbeTheSmallNetwork();
    EXPECT_EQ(EchoesSent() - before, 8) << "six hosts of the /29, then two single hosts";
  });
}

TEST(IcmpProbingTest, AWholeNetworkStopsAtHost254) {
  RunInNetworkNamespace(kNetwork, [] {
    zevs::Routines().enqueuePlovenDiscoveryRequest = RecordDiscoveryRequest;
    zevs::ResetIcmpProbingForTests();
    TestNetwork wide("10.77.0.0", 1023);  // a /22: hosts beyond 254 are never probed
    uint32_t any = Address("10.77.0.0");
    long before = EchoesSent();
    EXPECT_EQ(ZEVS_CheckActiveNode(&any, 0, 1, wide.entry(), nullptr, 100), 3);
    EXPECT_EQ(EchoesSent() - before, 254);
  });
}

// Takes CAP_NET_RAW out of the calling process's sets.
bool DropRawPrivilege() {
  __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
  __user_cap_data_struct data[2]{};
  if (syscall(SYS_capget, &header, data) != 0) return false;
  data[0].effective &= ~(1u << CAP_NET_RAW);
  data[0].permitted &= ~(1u << CAP_NET_RAW);
  return syscall(SYS_capset, &header, data) == 0;
}

TEST(IcmpProbingTest, WithoutTheRawPrivilegeNoHostAnswersAndTheLogSaysSoOnce) {
  RunInNetworkNamespace(kNetwork, [] {
    zevp::Routines().sendDPlogMessage = RecordLogMessage;
    zevs::ResetIcmpProbingForTests();
    ASSERT_TRUE(DropRawPrivilege());
    TraceCapture trace("*=0x90");
    TestNetwork network("10.77.0.0", 7);
    uint32_t any = Address("10.77.0.0");
    EXPECT_EQ(ZEVS_CheckActiveNode(&any, 0, 1, network.entry(), nullptr, 500), 0);
    EXPECT_EQ(ZEVS_CheckActiveNode(&any, 0, 1, network.entry(), nullptr, 500), 0);
    EXPECT_EQ(logMessages, std::vector<int32_t>{105});
    EXPECT_EQ(trace.count("***** unable to open raw socket for ICMP processing. Errno 1"), 2)
        << "each probe tries again";
  });
}

}  // namespace
