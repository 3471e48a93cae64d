// The two RIP routines that nothing in the data provider starts, each run on a
// thread of the test in a network namespace of its own: the poll that asks every
// host of each network for its routing table, and the requests to the broadcast
// address of each active subnet. Routers are UDP sockets of the test on the RIP
// port; the pings of the subnet search are played by the test.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <stdlib.h>

#include <set>
#include <string>
#include <thread>
#include <vector>

#include "discovery_seam_overrides.h"
#include "manual_clock.h"
#include "network_block_fixture.h"
#include "network_list.h"
#include "network_masks.h"
#include "network_namespace.h"
#include "no_name_service.h"
#include "rip_discovery.h"
#include "rip_message_bytes.h"
#include "router_list.h"
#include "trace_capture.h"
#include "udp_peer.h"

namespace {

constexpr unsigned short kRipPort = 520;

std::string Bytes(const std::vector<char>& message) { return std::string(message.begin(), message.end()); }

std::string RouteRequest() {
  char request[ZEVS_RIP_REQUEST_LENGTH];
  return std::string(request, static_cast<size_t>(ZEVS_FormatRouteRequest(request)));
}

// A router on the RIP port: answers the first `answers` requests it hears (from
// `answerFrom`, or from its own address) with its routing table.
class RIProuter {
 public:
  RIProuter(const std::string& address, const std::vector<RIProute>& table, int answers,
            const std::string& answerFrom = "")
      : listener_(address, kRipPort), answerer_(answerFrom.empty() ? address : answerFrom, 0) {
    thread_ = std::thread([this, table, answers] {
      for (int n = 0; n < answers; ++n) {
        sockaddr_in from{};
        std::string request = listener_.receive(30000, &from);
        if (request.empty()) return;
        heard_.push_back(request);
        char sender[INET_ADDRSTRLEN] = "";
        inet_ntop(AF_INET, &from.sin_addr, sender, sizeof sender);
        answerer_.send(sender, ntohs(from.sin_port), Bytes(RIPmessage(2, 2, table)));
      }
    });
  }
  ~RIProuter() { join(); }
  bool bound() const { return listener_.bound() && answerer_.bound(); }
  // Every request it heard, once the requester has returned (later ones wait unanswered).
  std::vector<std::string> heard() {
    join();
    for (std::string request = listener_.receive(0); !request.empty(); request = listener_.receive(0))
      heard_.push_back(request);
    return heard_;
  }

 private:
  void join() {
    if (thread_.joinable()) thread_.join();
  }

  UdpPeer listener_;
  UdpPeer answerer_;
  std::vector<std::string> heard_;
  std::thread thread_;
};

// The block of the process with the data provider's host address; networks entered
// by dotted text.
class RIPblock {
 public:
  explicit RIPblock(const char* hostAddress) {
    setenv("ZEV_DP_HOSTNAME", hostAddress, 1);
    NetworkWorkDirectory();
    block_ = ZEVS_InitializeNCB();
  }
  ~RIPblock() {
    zevs::FreeNetworkConfigurationBlock(block_);
    ZEVP_FreeSNMPNetworkNameList();
  }
  RIPblock(const RIPblock&) = delete;
  RIPblock& operator=(const RIPblock&) = delete;

  NetworkConfigurationBlock* get() const { return block_; }
  NetworkEntry* enter(const char* network, const char* mask) {
    const uint32_t address = inet_addr(network);
    return ZEVS_UpdateNetworkListEntry(&address, inet_addr(mask), 0);
  }
  std::vector<std::string> listed() const {
    std::vector<std::string> all;
    for (NetworkEntry* entry = block_->networks; entry != nullptr; entry = entry->next)
      all.push_back(zevs::DottedAddress(entry->networkAddress));
    return all;
  }
  bool knowsRouterOnline(const char* address) const {
    bool known = false;
    BSV1_GetLock(&block_->routerListLock);
    for (RouterEntry* router = block_->routers; router != nullptr; router = router->next)
      known = known || (router->address == inet_addr(address) && router->status == ZEVS_ROUTER_ONLINE);
    BSV1_ReleaseLock(&block_->routerListLock);
    return known;
  }

 private:
  NetworkConfigurationBlock* block_;
};

// Every request of the poll goes out from one socket and is answered there: the
// router that answers is registered On-line with the networks it announces. After
// a pass over a network the poll ends once three quarters of the check interval
// have passed; excluded networks are passed over, the list's end leads to its head.
TEST(RIPrequestsTest, APollAsksEveryHostOfANetworkAndEndsAtThreeQuartersOfTheCheckInterval) {
  RunInNetworkNamespace({{"10.77.0.1", "10.77.0.5"}, ""}, [] {
    NoNameService names;
    DiscoverySeamOverrides seams;
    seams.seams().getMIB2systemDesc = [](const sockaddr_in*, const char*) -> char* { return nullptr; };
    setenv("ZEVP_SNMP_CHECK_CONFIG_INTERVAL", "20", 1);
    RIPblock block("10.77.0.1");
    NetworkEntry* own = block.enter("10.77.0.0", "255.255.255.0");
    NetworkEntry* excluded = block.enter("10.88.0.0", "255.255.255.0");
    excluded->state = ZEVS_NETWORK_EXCLUDED;
    block.get()->pollPosition = own;
    RIProuter router("10.77.0.5", {{"10.91.0.0", "255.255.0.0", "0.0.0.0", 1}}, 1);
    ASSERT_TRUE(router.bound());
    TraceCapture trace("*=0x90");
    ManualClock clock;
    std::thread poll([&block] { ZEVS_DiscoverRouterViaPoll(block.get()); });
    poll.join();

    EXPECT_EQ(router.heard(), std::vector<std::string>{RouteRequest()}) << "one request, to each host once";
    EXPECT_TRUE(block.knowsRouterOnline("10.77.0.5"));
    EXPECT_EQ(block.listed(), (std::vector<std::string>{"10.77.0.0", "10.88.0.0", "10.91.0.0"}));
    EXPECT_EQ(trace.count("Poll from 1 to 255"), 1) << "the excluded network is not polled";
    EXPECT_EQ(clock.sleptSeconds(), 16) << "a second after each group of 16 hosts";
    EXPECT_EQ(block.get()->pollPosition, own);
    EXPECT_EQ(block.get()->pollRunning, 0);
    unsetenv("ZEVP_SNMP_CHECK_CONFIG_INTERVAL");
  });
}

// The fault: with every network excluded the poll went round the list without a
// pause until three quarters of the check interval had passed, one core busy for
// more than twenty minutes; on the test's clock, which only sleeps move, for ever.
TEST(RIPrequestsTest, RegressionAPollWithNothingToPollEndsAtOnce) {
  RunInNetworkNamespace([] {
    NoNameService names;
    RIPblock block("127.0.0.1");
    TraceCapture trace("*=0x90");
    ManualClock clock;
    ZEVS_DiscoverRouterViaPoll(block.get());
    EXPECT_TRUE(trace.contains("No known network exist. Exit"));

    for (const char* network : {"10.88.0.0", "10.89.0.0"})
      block.enter(network, "255.255.255.0")->state = ZEVS_NETWORK_EXCLUDED_BY_SUBNET;
    std::thread poll([&block] { ZEVS_DiscoverRouterViaPoll(block.get()); });
    poll.join();
    EXPECT_EQ(trace.count("Poll from"), 0);
    EXPECT_EQ(clock.sleptSeconds(), 0);
    EXPECT_EQ(block.get()->pollRunning, 0);
  });
}

std::set<std::string> liveSubnets;

// The subnet search's ping: the subnets' first addresses that the test made live
// answer.
int PlayedPing(const uint32_t* address, uint16_t, int, NetworkEntry* network, NetworkEntry*, int32_t) {
  const std::string dotted = zevs::DottedAddress(*address);
  const uint32_t index = ntohl(*address) - ntohl(network->networkAddress);
  if (liveSubnets.count(dotted) == 0 || index >= static_cast<uint32_t>(network->hostRange)) return 0;
  network->nodeStatus[index] = 'A';
  return 1;
}

// Each subnet of a subnetted network that answers its ping is asked at its
// broadcast address, and the routers that answer are registered; once requests
// go unanswered the broadcasts are given up for good.
TEST(RIPrequestsTest, ActiveSubnetsAreAskedAtTheirBroadcastAddressUntilNoneAnswers) {
  RunInNetworkNamespace({{"10.77.0.1"}, ""}, [] {
    // The subnet 172.16.128.0/18 is on the host's link: its broadcasts come back to it.
    ASSERT_EQ(std::system("ip address add 172.16.128.1/18 dev zevnet0"), 0);
    NoNameService names;
    DiscoverySeamOverrides seams;
    seams.seams().getMIB2systemDesc = [](const sockaddr_in*, const char*) -> char* { return nullptr; };
    seams.seams().checkActiveNode = PlayedPing;
    // The answers' wait, read once: long enough for a busy machine, for every call
    // waits it once more after the last answer.
    setenv("ZEVP_SNMP_ROUTEREQ_WAIT", "3", 1);
    RIPblock block("10.77.0.1");
    TraceCapture trace("*=0x90");
    ZEVS_ObtainSubnetRoutes(block.get());
    EXPECT_TRUE(trace.contains("No known network exist. Exit"));

    block.enter("172.16.0.0", "255.255.192.0");
    // 172.17.0.0 lies in the next class network: a search of the subnet
    // 172.16.128.0 that went on from the subnet's own address would take it.
    liveSubnets = {"172.16.128.0", "172.17.0.0"};
    {
      RIProuter router("0.0.0.0", {{"10.92.0.0", "255.255.0.0", "0.0.0.0", 2}}, 2, "172.16.128.1");
      ASSERT_TRUE(router.bound());
      ZEVS_ObtainSubnetRoutes(block.get());
      // The subnet found is listed and searched in turn: it finds itself again.
      EXPECT_EQ(router.heard(), std::vector<std::string>(2, RouteRequest()));
    }
    EXPECT_TRUE(block.knowsRouterOnline("172.16.128.1"));
    EXPECT_EQ(block.listed(), (std::vector<std::string>{"172.16.0.0", "172.16.128.0", "10.92.0.0"}));
    EXPECT_EQ(block.get()->broadcastEffective, 1);

    {
      RIProuter silent("0.0.0.0", {}, 0);
      ASSERT_TRUE(silent.bound());
      ZEVS_ObtainSubnetRoutes(block.get());
      EXPECT_EQ(silent.heard(), std::vector<std::string>(2, RouteRequest()));
    }
    EXPECT_EQ(block.get()->broadcastEffective, 0);
    EXPECT_TRUE(trace.contains(">>>>>No broadcast reply received. Bypass broadcast from now"));

    RIProuter unasked("0.0.0.0", {}, 0);
    ZEVS_ObtainSubnetRoutes(block.get());
    EXPECT_TRUE(trace.contains("Broadcast ineffective, Exit"));
    EXPECT_TRUE(unasked.heard().empty());
    ZEVS_CloseRIPsockets();
  });
}

}  // namespace
