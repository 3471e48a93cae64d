// The replies that a data provider takes from the ICMP daemon, from a daemon of the
// test's own on 127.0.0.1 in a network namespace of the test's own: the replies
// that zevsnetd does not give at will (late, early, repeated, foreign, echoed,
// malformed) beside the reply to the request. No echo leaves the process.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <stdlib.h>

#include <atomic>
#include <cstdlib>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "icmp_probing.h"
#include "icmp_test_network.h"
#include "manager_routines.h"
#include "network_namespace.h"
#include "udp_peer.h"

namespace {

constexpr unsigned short kDaemonPort = 17981;

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
TEST(IcmpDaemonRepliesTest, OnlyTheReplyToTheRequestCounts) {
  RunInNetworkNamespace([] {
    zevs::Routines().enqueuePlovenDiscoveryRequest = [](const char*) {};
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
      uint32_t host = inet_addr("10.77.0.2");
      EXPECT_EQ(ZEVS_CheckActiveNode(&host, 0, 0, one.entry(), nullptr, kDaemonWaitMs), c.answered);
      EXPECT_EQ(one.entry()->minimumResponseTimes[2], c.answered ? c.milliseconds : 2147483647u);
      EXPECT_EQ(one.letter(2), c.answered ? 'A' : '0');

      TestNetwork whole("10.77.0.0", 7);
      uint32_t any = inet_addr("10.77.0.0");
      EXPECT_EQ(ZEVS_CheckActiveNode(&any, 0, 1, whole.entry(), nullptr, kDaemonWaitMs), 6 * c.answered);
      for (int index = 1; index <= 6 && c.answered; ++index)
        EXPECT_EQ(whole.entry()->minimumResponseTimes[index], static_cast<uint32_t>(index * 10)) << "host " << index;
      zevs::CloseIcmpDaemonSocket();
    }
  });
}

}  // namespace
