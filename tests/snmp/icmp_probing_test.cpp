// ICMP echo probing from the data provider's side, in a network namespace of the
// test's own where 10.77.0.1, .2 and .3 answer and the rest of 10.77.0.0/24 is
// silent: through the daemon zevsnetd and through the raw socket, a whole /29 and
// one host, excluded networks, and a process without the raw privilege; and the
// replies that zevsnetd does not give at will (late, early, foreign, malformed)
// from a daemon of the test's own.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <linux/capability.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <atomic>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "engine_routines.h"
#include "icmp_probing.h"
#include "icmp_test_network.h"
#include "manager_routines.h"
#include "net_daemon_process.h"
#include "network_namespace.h"
#include "trace_capture.h"
#include "udp_peer.h"

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

// A reply of the scripted daemon: its text, sent from the daemon's socket or from
// another one.
struct DaemonReply {
  std::string text;
  bool foreign = false;
};
// What the daemon answers to the request of the sequence number for the host
// (the last number of its address).
using DaemonScript = std::function<std::vector<DaemonReply>(int sequence, int host)>;

// A daemon of the test's own on the daemon's port of 127.0.0.1: it echoes the
// start-up probe and answers each request as its script says, until it ends.
class ScriptedDaemon {
 public:
  explicit ScriptedDaemon(DaemonScript script) : socket_("127.0.0.1", kDaemonPort), foreign_("127.0.0.1", 0) {
    thread_ = std::thread([this, script] {
      while (!stop_.load()) {
        sockaddr_in from{};
        const std::string request = socket_.receive(20, &from);
        const size_t blank = request.find(' ');
        if (blank == std::string::npos) continue;
        const std::string address = request.substr(blank + 1, request.find(' ', blank + 1) - blank - 1);
        std::vector<DaemonReply> replies = {{request}};
        if (address != "0.0.0.0")
          replies = script(std::atoi(request.c_str()), std::atoi(address.c_str() + address.rfind('.') + 1));
        for (const DaemonReply& reply : replies)
          (reply.foreign ? foreign_ : socket_).send("127.0.0.1", ntohs(from.sin_port), reply.text);
      }
    });
  }
  ~ScriptedDaemon() {
    stop_ = true;
    thread_.join();
  }
  bool bound() const { return socket_.bound() && foreign_.bound(); }

 private:
  UdpPeer socket_;
  UdpPeer foreign_;
  std::atomic<bool> stop_{false};
  std::thread thread_;
};

// The probes' wait: the daemon's answers come at once, and a reply that does not
// count ends no wait but a time-out.
constexpr int32_t kDaemonWaitMs = 2000;

std::string Reply(int sequence, int milliseconds) { return std::to_string(sequence) + " " + std::to_string(milliseconds); }

// Through a daemon, a host answers with the time of the reply to its own request:
// a late reply to an earlier request is passed over and the wait goes on; one to a
// later request ends the wait with no answer, as -1 does; a datagram from another
// socket or one that is no reply is passed over.
TEST(IcmpProbingTest, ThroughTheDaemonOnlyTheReplyToTheRequestCounts) {
  RunInNetworkNamespace(kNetwork, [] {
    zevs::Routines().enqueuePlovenDiscoveryRequest = RecordDiscoveryRequest;
    setenv("ZEV_DP_HOSTNAME", "127.0.0.1", 1);
    setenv("ZEVP_SNMP_NETDAEMON_PORT", std::to_string(kDaemonPort).c_str(), 1);
    const struct Case {
      const char* what;
      DaemonScript script;
      int answered;  // of the one host, then of the /29's six
      uint32_t milliseconds;
    } cases[] = {
        {"the reply", [](int s, int host) { return std::vector<DaemonReply>{{Reply(s, host * 10)}}; }, 1, 20},
        {"a late reply first", [](int s, int host) { return std::vector<DaemonReply>{{Reply(s - 1, 1)}, {Reply(s, host * 10)}}; }, 1, 20},
        {"each reply twice", [](int s, int host) { return std::vector<DaemonReply>{{Reply(s, host * 10)}, {Reply(s, host * 10 + 1)}}; }, 1, 20},
        {"a reply to a later request", [](int s, int host) { return std::vector<DaemonReply>{{Reply(s + 1, 1)}, {Reply(s, host * 10)}}; }, 0, 0},
        {"no echo came back", [](int s, int) { return std::vector<DaemonReply>{{Reply(s, -1)}}; }, 0, 0},
        {"a foreign socket first", [](int s, int host) { return std::vector<DaemonReply>{{Reply(s, 1), true}, {Reply(s, host * 10)}}; }, 1, 20},
        {"the request echoed first", [](int s, int host) {
           const std::string echo = std::to_string(s) + " 10.77.0." + std::to_string(host) + " 2000 0";
           return std::vector<DaemonReply>{{echo}, {Reply(s, host * 10)}};
         }, 1, 20},
        {"no reply first", [](int s, int host) {
           return std::vector<DaemonReply>{{"garbage"}, {std::to_string(s)}, {Reply(s, host * 10) + " trailing"}};
         }, 1, 20},
    };
    for (const Case& c : cases) {
      SCOPED_TRACE(c.what);
      ScriptedDaemon daemon(c.script);
      ASSERT_TRUE(daemon.bound());
      ZEVS_CheckICMPdaemonStatus();
      ASSERT_EQ(ICMPdaemonActive.load(), 1);
      TestNetwork one("10.77.0.0", 7);
      uint32_t host = Address("10.77.0.2");
      EXPECT_EQ(ZEVS_CheckActiveNode(&host, 0, 0, one.entry(), nullptr, kDaemonWaitMs), c.answered);
      EXPECT_EQ(one.entry()->minimumResponseTimes[2], c.answered ? c.milliseconds : 2147483647u);
      EXPECT_EQ(one.letter(2), c.answered ? 'A' : '0');

      TestNetwork whole("10.77.0.0", 7);
      uint32_t any = Address("10.77.0.0");
      EXPECT_EQ(ZEVS_CheckActiveNode(&any, 0, 1, whole.entry(), nullptr, kDaemonWaitMs), 6 * c.answered);
      for (int index = 1; index <= 6 && c.answered; ++index)
        EXPECT_EQ(whole.entry()->minimumResponseTimes[index], static_cast<uint32_t>(index * 10)) << "host " << index;
      zevs::CloseIcmpDaemonSocket();
    }
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
