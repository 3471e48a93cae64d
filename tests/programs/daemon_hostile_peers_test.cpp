// The two daemons as their programs under hostile peers, each in a network namespace
// of the test's own: random, spoiled, cut and oversized datagrams, datagrams of 0 and
// 65,507 bytes, a slow trickle and a thousand datagrams at their ports. In the same
// run a well-behaved peer is still served and the daemon's resident memory stays
// near what it was.
#include <gtest/gtest.h>

#include <chrono>
#include <string>

#include "eventually.h"
#include "hostile_peer.h"
#include "net_daemon_process.h"
#include "net_snmp.h"
#include "network_namespace.h"
#include "socket_tables.h"
#include "text_patterns.h"
#include "tool_process.h"
#include "udp_peer.h"

namespace {

constexpr int kSpell = 1000;
constexpr int kTrickle = 25;
constexpr auto kTrickleInterval = std::chrono::milliseconds(20);
// What the daemon may grow by under the spells, which need no memory of it.
constexpr long kResidentGrowthKb = 8 * 1024;
constexpr int kDrainWaitMs = 30000;
constexpr int kWaitMs = 5000;
// A v1 trap as snmptrap sends it.
const std::string kRackTrap = FromHex(
    "303f02010004067075626c6963a43206092b06010401bf08020340047f0000010201060201114303154a223014301206082b06010201010600"
    "04067261636b2034");

// True once the daemon has read every datagram waiting at its port.
bool Drained(unsigned short port) { return Eventually([port] { return UdpReceiveQueue(port) == 0; }, kDrainWaitMs); }

// Reads what the peer has been sent until the next datagram holds the text; false
// when none does within the wait.
bool ReceivedHolding(UdpPeer& peer, const std::string& text) {
  for (std::string datagram = peer.receive(kWaitMs); !datagram.empty(); datagram = peer.receive(kWaitMs))
    if (datagram.find(text) != std::string::npos) return true;
  return false;
}

TEST(DaemonHostilePeersTest, TheTrapDaemonHandsARealTrapOnThroughHostileDatagrams) {
  RunInNetworkNamespace([] {
    ToolProcess daemon("zevstrap");
    ASSERT_TRUE(daemon.start({}, {"ZEV_DP_HOSTNAME=127.0.0.1"})) << daemon.failure();
    ASSERT_TRUE(Eventually([] { return UdpPortBound(162); }, kWaitMs));
    UdpPeer provider;
    provider.send("127.0.0.1", 162, "DP-REGISTER-TRAP-INTEREST");
    ASSERT_EQ(provider.receive(kWaitMs), "DP-REGISTER-TRAP-INTEREST-ACK");
    const long before = daemon.residentKilobytes();

    HostileBytes bytes(162, {"DP-REGISTER-TRAP-INTEREST", "DP-SHUTDOWN", kRackTrap});
    EXPECT_EQ(DatagramSpell(162, bytes, kSpell), kSpell + 2);
    EXPECT_EQ(DatagramTrickle(162, bytes, kTrickle, kTrickleInterval), kTrickle);
    ASSERT_TRUE(Drained(162)) << "the daemon reads on";
    // What it handed on of the spells is passed over.
    while (UdpReceiveQueue(provider.port()) > 0) provider.receive(0);

    ToolRun sent = SnmpTrap("127.0.0.1:162", "public", "1.3.6.1.4.1.8072.2.3", "127.0.0.1", 6, 17,
                            {"1.3.6.1.2.1.1.6.0", "s", "well-behaved"});
    ASSERT_EQ(sent.exitStatus, 0) << sent.errors;
    EXPECT_TRUE(ReceivedHolding(provider, "well-behaved"));
    EXPECT_LT(daemon.residentKilobytes() - before, kResidentGrowthKb) << before << " kB before";
    EXPECT_EQ(daemon.terminate(kWaitMs), 0) << "it ran until told to end";
  });
}

TEST(DaemonHostilePeersTest, TheIcmpDaemonAnswersALocalPingThroughHostileDatagramsAndServesNoOtherHost) {
  RunInNetworkNamespace({{"10.77.0.1", "10.77.0.2"}, ""}, [] {
    constexpr unsigned short kPort = 17980;
    NetDaemonProcess daemon(kPort);
    ASSERT_TRUE(daemon.start()) << daemon.failure();
    const long before = daemon.residentKilobytes();

    // Loopback targets only: every echo of the spell is answered at once.
    HostileBytes bytes(7980, {"7 127.0.0.1 10 0", "8 127.0.0.2 10 0", "9 0.0.0.0"});
    EXPECT_EQ(DatagramSpell(kPort, bytes, kSpell), kSpell + 2);
    EXPECT_EQ(DatagramTrickle(kPort, bytes, kTrickle, kTrickleInterval), kTrickle);
    ASSERT_TRUE(Drained(kPort));

    // Another host on the link asks for a thousand echoes: none is sent.
    const int sent = RunAsAnotherHost("10.77.0.9", [] {
      UdpPeer remote("10.77.0.9");
      int taken = 0;
      for (int request = 0; request < kSpell; ++request)
        taken += remote.send("10.77.0.1", kPort, std::to_string(request) + " 10.77.0.2 10 0") ? 1 : 0;
      return taken == kSpell ? 0 : 1;
    });
    EXPECT_EQ(sent, 0);
    ASSERT_TRUE(Drained(kPort));
    const std::string trace = daemon.traceText();
    EXPECT_NE(trace.find("***** request from 10.77.0.9["), std::string::npos);
    EXPECT_EQ(trace.find("DP request for target node 10.77.0.2"), std::string::npos);

    NetDaemonClient client(kPort);
    client.send("5 10.77.0.2 1000 0");
    EXPECT_TRUE(MatchesPattern(client.receive(kWaitMs), "5 [0-9]+")) << "a local ping is answered";
    EXPECT_LT(daemon.residentKilobytes() - before, kResidentGrowthKb) << before << " kB before";
    EXPECT_EQ(daemon.terminate(), 0) << "it ran until told to end";
  });
}

}  // namespace
