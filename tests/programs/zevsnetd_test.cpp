// The ICMP daemon zevsnetd as its real program, in a network namespace of the
// test's own (10.77.0.1 and .2 live, the rest of 10.77.0.0/24 silent): its
// answers, its trace, its start-up failures and its end.
#include <gtest/gtest.h>
#include <linux/capability.h>
#include <sys/prctl.h>
#include <sys/wait.h>

#include <string>

#include "eventually.h"
#include "net_daemon_process.h"
#include "network_namespace.h"
#include "socket_tables.h"
#include "text_patterns.h"
#include "tool_process.h"
#include "udp_peer.h"

namespace {

constexpr unsigned short kPort = 17980;
const NamespaceNetwork kNetwork = {{"10.77.0.1", "10.77.0.2"}, ""};

bool ExitedWithZero(int status) { return status >= 0 && WIFEXITED(status) && WEXITSTATUS(status) == 0; }

// "<sequence> <milliseconds>" with a time of 0 or more.
bool AnsweredWithTime(const std::string& reply, const std::string& sequence) {
  return MatchesPattern(reply, sequence + " [0-9]+");
}

TEST(ZevsnetdTest, AnswersTheStartUpProbeAndEachRequestInTurn) {
  RunInNetworkNamespace(kNetwork, [] {
    NetDaemonProcess daemon(kPort);
    ASSERT_TRUE(daemon.start()) << daemon.failure();
    NetDaemonClient client(kPort);

    client.send("5 0.0.0.0");
    EXPECT_EQ(client.receive(2000), "5 0.0.0.0") << "the start-up probe comes back unchanged";

    long elapsed = 0;
    client.send("7 10.77.0.9 1000 0");
    EXPECT_EQ(client.receive(3000, &elapsed), "7 -1");
    EXPECT_GE(elapsed, 750) << "a silent host is answered after the echo wait";
    EXPECT_LT(elapsed, 1500);

    client.send("8 10.77.0.2 1000 0");
    EXPECT_TRUE(AnsweredWithTime(client.receive(2000, &elapsed), "8"));
    EXPECT_LT(elapsed, 500) << "an answered echo ends the wait";

    client.send("42");
    EXPECT_EQ(client.receive(300), "(none)") << "a request without a blank gets nothing";
    client.send("9 10.77.0.1");
    EXPECT_TRUE(AnsweredWithTime(client.receive(2000), "9")) << "the next request is served, wait and port absent";

    client.send("10 no.such.address 500 0");
    EXPECT_EQ(client.receive(2000), "10 -1") << "no echo for a target that is no address";

    // Requests that arrive during a wait queue and are answered in order.
    client.send("11 10.77.0.9 500 0");
    client.send("12 10.77.0.1 500 0");
    client.send("13 0.0.0.0");
    EXPECT_EQ(client.receive(2000), "11 -1");
    EXPECT_TRUE(AnsweredWithTime(client.receive(2000), "12"));
    EXPECT_EQ(client.receive(2000), "13 0.0.0.0");

    EXPECT_TRUE(ExitedWithZero(daemon.terminate())) << "SIGTERM ends it at once, exit code 0";
    std::vector<std::string> lines = daemon.traceLines();
    ASSERT_FALSE(lines.empty());
    for (const std::string& line : lines) {
      EXPECT_TRUE(MatchesPattern(line.substr(0, 9), "[0-9A-F]{8} ")) << line;
    }
    EXPECT_EQ(lines.back().substr(9), ">>>>> Net Daemon exit.");
    std::string trace = daemon.traceText();
    for (const char* text :
         {"----- Ploven SNMP Network Daemon started\n", "----- Daemon port 17980\n",
          "----- DP startup contact received\n",
          "----- DP request for target node 10.77.0.9 received\n", "----- send reply to DP 7 -1\n",
          "----- ICMP echo reply from 10.77.0.2\n", "---------- Node response time is "}) {
      EXPECT_NE(trace.find(text), std::string::npos) << text << "\n" << trace;
    }
    EXPECT_TRUE(ContainsPattern(trace, "----- socket [0-9]+ bound to 127.0.0.1\\[17980\\]\n"));
    EXPECT_TRUE(ContainsPattern(trace, "------------ 0800[0-9A-F]{4}[0-9A-F]{4}0001[0-9A-F]{8}"
                                       "506C6F76656E0000\n"))
        << "the 20-byte echo with its first sequence number, as a hex line";
  });
}

TEST(ZevsnetdTest, APingBesideASilentRequestDoesNotMakeItAnswer) {
  RunInNetworkNamespace(kNetwork, [] {
    NetDaemonProcess daemon(kPort);
    ASSERT_TRUE(daemon.start()) << daemon.failure();
    ToolProcess ping("/usr/bin/ping");
    ASSERT_TRUE(ping.start({"-c", "8", "-i", "0.1", "-n", "10.77.0.1"}, {})) << ping.failure();
    NetDaemonClient client(kPort);
    client.send("7 10.77.0.9 1000 0");
    EXPECT_EQ(client.receive(3000), "7 -1");
    EXPECT_GE(ping.waitForEnd(5000), 0);
    EXPECT_NE(ping.readAll(1000).find("8 received"), std::string::npos) << "ping was answered meanwhile";
    EXPECT_TRUE(ExitedWithZero(daemon.terminate()));
  });
}

// The daemon is bound to every address, but only the host's own programs are
// served: a request from another host on the link is dropped with a trace and sends
// no echo, while requests from loopback and from the host's interface address are
// answered.
TEST(ZevsnetdTest, ARequestFromAnotherHostIsDroppedAndLocalOnesAreServed) {
  RunInNetworkNamespace(kNetwork, [] {
    NetDaemonProcess daemon(kPort);
    ASSERT_TRUE(daemon.start()) << daemon.failure();
    const int answered = RunAsAnotherHost("10.77.0.9", [] {
      UdpPeer remote("10.77.0.9");
      remote.send("10.77.0.1", kPort, "3 0.0.0.0");
      remote.send("10.77.0.1", kPort, "4 10.77.0.2 500 0");
      return remote.receive(1500).empty() ? 0 : 1;
    });
    EXPECT_EQ(answered, 0);
    EXPECT_TRUE(Eventually([&] {
      return daemon.traceText().find("***** request from 10.77.0.9[") != std::string::npos;
    }, 2000)) << daemon.traceText();
    const std::string trace = daemon.traceText();
    EXPECT_NE(trace.find("] refused: not an address of this host\n"), std::string::npos) << trace;
    EXPECT_EQ(trace.find("DP request for target node 10.77.0.2"), std::string::npos) << "no echo was sent for it";
    EXPECT_EQ(trace.find("DP startup contact received"), std::string::npos);

    NetDaemonClient loopback(kPort);
    loopback.send("5 10.77.0.2 1000 0");
    EXPECT_TRUE(AnsweredWithTime(loopback.receive(2000), "5"));
    UdpPeer interfaceAddress("10.77.0.1");
    interfaceAddress.send("10.77.0.1", kPort, "6 0.0.0.0");
    EXPECT_EQ(interfaceAddress.receive(2000), "6 0.0.0.0");
    EXPECT_TRUE(ExitedWithZero(daemon.terminate()));
  });
}

TEST(ZevsnetdTest, ATakenPortEndsItWithExitCodeZero) {
  RunInNetworkNamespace(kNetwork, [] {
    UdpPeer taken("0.0.0.0", kPort);
    ASSERT_TRUE(taken.bound());
    NetDaemonProcess daemon(kPort);
    ASSERT_TRUE(daemon.start({}, false)) << daemon.failure();
    EXPECT_TRUE(ExitedWithZero(daemon.waitForEnd(5000)));
    std::string trace = daemon.traceText();
    EXPECT_TRUE(ContainsPattern(
        trace, "\\*\\*\\*\\*\\* bind failed for local socket [0-9]+ port 17980 errno 98\n>>>>> Net Daemon exit.\n$"))
        << trace;
  });
}

TEST(ZevsnetdTest, WithoutTheRawPrivilegeItEndsWithExitCodeZero) {
  RunInNetworkNamespace(kNetwork, [] {
    // The namespace's child gives up CAP_NET_RAW for itself and whatever it starts.
    ASSERT_EQ(prctl(PR_CAPBSET_DROP, CAP_NET_RAW, 0, 0, 0), 0);
    NetDaemonProcess daemon(kPort);
    ASSERT_TRUE(daemon.start({}, false)) << daemon.failure();
    EXPECT_TRUE(ExitedWithZero(daemon.waitForEnd(5000)));
    std::string trace = daemon.traceText();
    EXPECT_NE(trace.find("***** raw socket open failed. errno 1\n>>>>> Net Daemon exit.\n"), std::string::npos)
        << trace;
  });
}

TEST(ZevsnetdTest, TracesNothingWithoutVerboseAndToStandardOutputWithoutAFile) {
  RunInNetworkNamespace(kNetwork, [] {
    const struct {
      const char* verbose;
      bool traced;
    } cases[] = {{"N", false}, {"y", true}, {"Y=", true}, {"Yes>/no/such/folder/trace", true}};
    for (const auto& c : cases) {
      SCOPED_TRACE(c.verbose);
      ToolProcess daemon("zevsnetd");
      ASSERT_TRUE(daemon.start({}, {"ZEVP_SNMP_NETDAEMON_PORT=" + std::to_string(kPort),
                                    std::string("ZEVP_SNMP_NETD_VERBOSE=") + c.verbose, "ZEV_DP_HOSTNAME=127.0.0.1"}));
      ASSERT_TRUE(Eventually([] { return UdpPortBound(kPort); }, 5000));
      EXPECT_TRUE(ExitedWithZero(daemon.terminate(5000)));
      std::string output = daemon.readAll(1000);
      EXPECT_EQ(output.find("----- Ploven SNMP Network Daemon started") != std::string::npos, c.traced) << output;
    }
  });
}

}  // namespace
