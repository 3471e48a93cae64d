// The trap daemon zevstrap as a program, in a network namespace of the test's own,
// with UDP clients of the test playing data providers and trap senders; its
// verbose trace tells what it did.
#include <gtest/gtest.h>

#include <string>

#include "eventually.h"
#include "network_namespace.h"
#include "scratch_directory.h"
#include "socket_tables.h"
#include "tool_process.h"
#include "udp_peer.h"

namespace {

constexpr int kWaitMs = 2000;
constexpr int kSilenceMs = 200;
constexpr char kRegister[] = "DP-REGISTER-TRAP-INTEREST";
constexpr char kAcknowledge[] = "DP-REGISTER-TRAP-INTEREST-ACK";
constexpr char kShutdown[] = "DP-SHUTDOWN";

class Daemon {
 public:
  explicit Daemon(const std::string& address = "127.0.0.1") : address_(address) {}
  bool start() {
    return process_.start({}, {"ZEV_DP_HOSTNAME=" + address_, "ZEVP_SNMP_TRAP_VERBOSE=y > " + files_.file("trace")}) &&
           Eventually([] { return UdpPortBound(162); }, 5000);
  }
  std::string trace() const { return files_.read("trace"); }
  bool traced(const std::string& text) const {
    return Eventually([&] { return trace().find(text) != std::string::npos; }, kWaitMs);
  }
  ToolProcess& process() { return process_; }
  const std::string& address() const { return address_; }

 private:
  std::string address_;
  ScratchDirectory files_{"zev_trap_daemon"};
  ToolProcess process_{"zevstrap"};
};

std::string Origin(const UdpPeer& peer) { return "127.0.0.1[" + std::to_string(peer.port()) + "]"; }

TEST(TrapDaemonTest, ForwardsEachTrapToEveryRegistrationUntilEachIsShutDown) {
  RunInNetworkNamespace([] {
    Daemon daemon;
    ASSERT_TRUE(daemon.start()) << daemon.process().failure();
    EXPECT_TRUE(daemon.traced(" ----- Ploven SNMP trap listener Daemon started\n"));
    UdpPeer provider, other, sender;

    sender.send("127.0.0.1", 162, "trap before anyone registered");
    EXPECT_TRUE(daemon.traced(">>>>> Trap received from " + Origin(sender) + " length 29\n"));

    for (int i = 0; i < 2; ++i) {
      provider.send("127.0.0.1", 162, kRegister);
      EXPECT_EQ(provider.receive(kWaitMs), kAcknowledge);
    }
    sender.send("127.0.0.1", 162, "trap one");
    EXPECT_EQ(provider.receive(kWaitMs), "trap one");
    EXPECT_EQ(provider.receive(kWaitMs), "trap one");

    // A shut-down from another port removes nothing; one more than a prefix is a trap.
    other.send("127.0.0.1", 162, kShutdown);
    EXPECT_TRUE(daemon.traced(">>>>> shutdown received from unregistered DP " + Origin(other) + "\n"));
    sender.send("127.0.0.1", 162, "DP-SHUTDOWNx");
    EXPECT_EQ(provider.receive(kWaitMs), "DP-SHUTDOWNx");
    EXPECT_EQ(provider.receive(kWaitMs), "DP-SHUTDOWNx");

    provider.send("127.0.0.1", 162, kShutdown);
    EXPECT_TRUE(daemon.traced(">>>>> shutdown received from DP " + Origin(provider) + "\n"));
    sender.send("127.0.0.1", 162, "trap two");
    EXPECT_EQ(provider.receive(kWaitMs), "trap two");
    EXPECT_EQ(provider.receive(kSilenceMs), "");
    provider.send("127.0.0.1", 162, kShutdown);
    sender.send("127.0.0.1", 162, "trap three");
    EXPECT_EQ(provider.receive(kSilenceMs), "");

    EXPECT_EQ(daemon.process().terminate(5000), 0);
    EXPECT_NE(daemon.trace().find("***** trap receive error. Errno"), std::string::npos);
    // The trap before any registration went nowhere.
    std::string trace = daemon.trace();
    EXPECT_LT(trace.find(">>>>> RegisterTrapInterest received"), trace.find("<<<<< trap sent to SNMP DP"));
  });
}

// Anyone can send an empty datagram to port 162: it is no trap and must not end
// the service of the registered data providers; a one-byte datagram is a trap.
TEST(TrapDaemonTest, AnEmptyOrOneByteDatagramLeavesItListening) {
  RunInNetworkNamespace([] {
    Daemon daemon;
    ASSERT_TRUE(daemon.start()) << daemon.process().failure();
    UdpPeer provider, sender;
    provider.send("127.0.0.1", 162, kRegister);
    ASSERT_EQ(provider.receive(kWaitMs), kAcknowledge);

    for (int i = 0; i < 3; ++i) ASSERT_TRUE(sender.send("127.0.0.1", 162, ""));
    EXPECT_TRUE(daemon.traced("***** empty datagram from " + Origin(sender) + " ignored\n"));
    sender.send("127.0.0.1", 162, "x");
    EXPECT_EQ(provider.receive(kWaitMs), "x") << "the empty datagrams were not forwarded, the short one was";
    sender.send("127.0.0.1", 162, "trap after");
    EXPECT_EQ(provider.receive(kWaitMs), "trap after");

    EXPECT_EQ(daemon.process().terminate(5000), 0);
  });
}

TEST(TrapDaemonTest, RegistrationsAreBoundedAndASecondDaemonFindsThePortTaken) {
  RunInNetworkNamespace([] {
    Daemon daemon;
    ASSERT_TRUE(daemon.start());
    UdpPeer provider;
    for (int i = 0; i < 64; ++i) {
      provider.send("127.0.0.1", 162, kRegister);
      ASSERT_EQ(provider.receive(kWaitMs), kAcknowledge) << i;
    }
    provider.send("127.0.0.1", 162, kRegister);
    EXPECT_EQ(provider.receive(kSilenceMs), "");
    EXPECT_TRUE(daemon.traced("refused: 64 registrations already"));

    ScratchDirectory files("zev_second_daemon");
    ToolRun second = RunTool("zevstrap", {}, {"ZEV_DP_HOSTNAME=127.0.0.1", "ZEVP_SNMP_TRAP_VERBOSE=Y=" + files.file("t")});
    EXPECT_EQ(second.exitStatus, 0);
    EXPECT_NE(files.read("t").find("***** bind failed for local socket "), std::string::npos) << files.read("t");
    EXPECT_EQ(daemon.process().terminate(5000), 0);
  });
}

// Another host on the link: its registration reaches the daemon and is refused.
TEST(TrapDaemonTest, ARegistrationFromAnotherHostIsRefused) {
  RunInNetworkNamespace({{"10.77.0.1"}, ""}, [] {
    Daemon daemon("10.77.0.1");
    ASSERT_TRUE(daemon.start());
    const int acknowledged = RunAsAnotherHost("10.77.0.9", [] {
      UdpPeer remote("10.77.0.9");
      for (int attempt = 0; attempt < 5; ++attempt) {
        remote.send("10.77.0.1", 162, kRegister);
        if (remote.receive(200) == kAcknowledge) return 1;
      }
      return 0;
    });
    EXPECT_EQ(acknowledged, 0);
    EXPECT_TRUE(daemon.traced("***** RegisterTrapInterest from 10.77.0.9["));
    EXPECT_EQ(daemon.trace().find(">>>>> RegisterTrapInterest received"), std::string::npos);
    EXPECT_EQ(daemon.process().terminate(5000), 0);
  });
}

}  // namespace
