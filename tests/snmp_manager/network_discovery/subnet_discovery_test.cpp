// Network and subnet discovery in process, with the pings played by the test from
// a set of live addresses: mask guessing and which networks of the list get it, the
// subnet search, the sweeps with their thresholds and the own network handed to
// monitoring.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <stdlib.h>

#include <algorithm>
#include <set>
#include <string>
#include <vector>

#include "bare_anchor.h"
#include "manual_clock.h"
#include "discovery_seam_overrides.h"
#include "network_block_fixture.h"
#include "network_discovery.h"
#include "network_masks.h"
#include "no_name_service.h"
#include "zev0/storage.h"
#include "subnet_discovery.h"
#include "trace_capture.h"

namespace {

std::set<std::string> live;
std::vector<std::string> probed;

// Marks the live hosts of the probe in the network's records, as the ping does.
int PlayedPing(const uint32_t* address, uint16_t, int wholeNetwork, NetworkEntry* network, NetworkEntry*, int32_t) {
  const uint32_t base = ntohl(network->networkAddress);
  probed.push_back(wholeNetwork ? "all of " + zevs::DottedAddress(network->networkAddress)
                                : zevs::DottedAddress(*address));
  int answered = 0;
  for (const std::string& host : live) {
    const uint32_t index = ntohl(inet_addr(host.c_str())) - base;
    const bool asked = wholeNetwork ? true : inet_addr(host.c_str()) == *address;
    if (!asked || index < 1 || index >= static_cast<uint32_t>(network->hostRange)) continue;
    network->nodeStatus[index] = 'A';
    ++answered;
  }
  return answered;
}

class SubnetDiscoveryTest : public NetworkBlockTest {
 protected:
  void SetUp() override {
    NetworkBlockTest::SetUp();
    live.clear();
    probed.clear();
    seams_.seams().checkActiveNode = PlayedPing;
  }

  NoNameService names_;
  DiscoverySeamOverrides seams_;
};

TEST_F(SubnetDiscoveryTest, TheFirstAnsweringPowerOfTwoGivesTheMask) {
  NetworkEntry* network = Enter("192.168.77.0", "255.255.255.0");
  live = {"192.168.77.16"};
  TraceCapture trace;
  ZEVS_DetermineAndSetSubnetMask(network);
  EXPECT_EQ(probed, (std::vector<std::string>{"192.168.77.1", "192.168.77.2", "192.168.77.4", "192.168.77.8",
                                              "192.168.77.16"}));
  EXPECT_TRUE(trace.contains("Subnet mask updated to 255.255.255.240, range 15"));
  EXPECT_EQ(network->networkMask, 0xFFFFFFF0u);
  EXPECT_EQ(network->hostRange, 15);
  EXPECT_EQ(zevs::DottedAddress(network->networkAddress), "192.168.77.0");

  // Host 1 answering keeps the mask; loopback and excluded networks are not probed.
  NetworkEntry* answering = Enter("192.168.78.0", "255.255.255.0");
  live = {"192.168.78.1"};
  ZEVS_DetermineAndSetSubnetMask(answering);
  EXPECT_EQ(answering->hostRange, 255);
  probed.clear();
  NetworkEntry* loopback = Enter("127.0.0.1", "255.0.0.0");
  ZEVS_DetermineAndSetSubnetMask(loopback);
  EXPECT_EQ(loopback->networkMask, 0xFFFFFFFFu);
  EXPECT_EQ(loopback->hostRange, 1);
  NetworkEntry* excluded = Enter("192.168.79.0", "255.255.255.0");
  excluded->state = ZEVS_NETWORK_EXCLUDED;
  ZEVS_DetermineAndSetSubnetMask(excluded);
  EXPECT_TRUE(probed.empty());
}

// Only a network that still carries its class mask and did not come from a route
// table (or an interface) has its mask guessed; excluded ones are left alone.
TEST_F(SubnetDiscoveryTest, MasksAreValidatedOnlyForClassMasksNotLearnedFromARouteTable) {
  const struct Case {
    const char* network;
    const char* mask;
    int32_t state;
    int32_t learned;
    bool guessed;  // probed, and its mask turned to 255.255.255.240
  } cases[] = {
      {"192.168.71.0", "255.255.255.0", ZEVS_NETWORK_NOT_MANAGED, 0, true},
      {"192.168.72.0", "255.255.255.0", ZEVS_NETWORK_MANAGED, 0, true},
      {"192.168.73.0", "255.255.255.0", ZEVS_NETWORK_NOT_MANAGED, 1, false},
      {"192.168.74.0", "255.255.255.192", ZEVS_NETWORK_NOT_MANAGED, 0, false},
      {"192.168.75.0", "255.255.255.0", ZEVS_NETWORK_EXCLUDED, 0, false},
      {"192.168.76.0", "255.255.255.0", ZEVS_NETWORK_EXCLUDED_BY_SUBNET, 0, false},
  };
  std::vector<NetworkEntry*> entries;
  for (const Case& c : cases) {
    NetworkEntry* entry = Enter(c.network, c.mask);
    ASSERT_NE(entry, nullptr) << c.network;
    entry->state = c.state;
    entry->learnedFromRouteTable = c.learned;
    entries.push_back(entry);
    live.insert(std::string(c.network).substr(0, std::string(c.network).size() - 1) + "16");
  }
  ZEVS_ValidateSubnetMask(block_);
  for (size_t i = 0; i < entries.size(); ++i) {
    const Case& c = cases[i];
    SCOPED_TRACE(c.network);
    const std::string first = std::string(c.network).substr(0, std::string(c.network).size() - 1) + "1";
    EXPECT_EQ(std::count(probed.begin(), probed.end(), first), c.guessed ? 1 : 0);
    EXPECT_EQ(zevs::DottedMask(entries[i]->networkMask), c.guessed ? "255.255.255.240" : c.mask);
    EXPECT_EQ(entries[i]->hostRange, c.guessed ? 15 : static_cast<int32_t>(~inet_network(c.mask) & 0xFFFF));
  }
  EXPECT_EQ(probed.size(), 2u * 5) << "1, 2, 4, 8 and 16 of each network guessed";

  // The walk ends with the data provider.
  probed.clear();
  Enter("192.168.77.0", "255.255.255.0");
  block_->shutdown = 1;
  ZEVS_ValidateSubnetMask(block_);
  EXPECT_TRUE(probed.empty());
}

TEST_F(SubnetDiscoveryTest, TheSubnetSearchProbesEachOtherSubnetOnceAndAddsThoseThatAnswer) {
  NetworkEntry* subnetted = Enter("172.16.0.0", "255.255.192.0");
  live = {"172.16.128.0"};
  ZEVS_CheckValidSubnets(subnetted);
  EXPECT_EQ(probed, (std::vector<std::string>{"172.16.64.0", "172.16.128.0"}));
  EXPECT_EQ(listed(), (std::vector<std::string>{"172.16.0.0", "172.16.128.0"}));
  NetworkEntry* found = block_->networks->next;
  EXPECT_EQ(found->networkMask, 0xFFFFC000u);

  // A search after it does not take the earlier answer for its own.
  live.clear();
  probed.clear();
  NetworkEntry* other = Enter("172.17.0.0", "255.255.192.0");
  ZEVS_CheckValidSubnets(other);
  EXPECT_EQ(probed, (std::vector<std::string>{"172.17.64.0", "172.17.128.0"}));
  EXPECT_EQ(listed().size(), 3u);

  probed.clear();
  NetworkEntry* classful = Enter("172.18.0.0", "255.255.0.0");
  ZEVS_CheckValidSubnets(classful);
  EXPECT_TRUE(probed.empty());
}

TEST_F(SubnetDiscoveryTest, SweepsCountNodesSkipFruitlessNetworksAndHandTheOwnNetworkOn) {
  BareAnchor anchor;
  block_->anchor = anchor.get();
  ProcessEntry* server = ZEVP_InitializeProcessEntry(anchor.get());
  anchor->networkManagementEntry = server;
  NetworkEntry* own = Enter("10.77.0.0", "255.255.255.0");
  live = {"10.77.0.5", "10.77.0.9"};
  // Enterprise discovery passes over the list until its cycle has grown by three
  // (here six passes over the one network); the sweeps of a network that shows
  // nothing new skip turns.
  setenv("ZEVP_SNMP_MANAGE_LOCAL_NETWORK", "N", 1);
  setenv("ZEVP_SNMP_NET_DISCOVER_ENTERPRISE", "Y", 1);
  TraceCapture trace;
  {
    ManualClock clock;
    ZEVS_DiscoverSubnetNodes(block_);
    EXPECT_EQ(clock.sleptSeconds(), 5 * 60);
  }
  unsetenv("ZEVP_SNMP_NET_DISCOVER_ENTERPRISE");
  EXPECT_EQ(probed, (std::vector<std::string>(3, "all of 10.77.0.0")));
  EXPECT_EQ(trace.count("2 node(s) discovered in network 10.77.0.0"), 1);
  EXPECT_EQ(trace.count("No new node discovered in network 10.77.0.0"), 2);
  EXPECT_EQ(own->discoveryThreshold, 2);
  EXPECT_EQ(own->seenHostCount, 2);
  EXPECT_EQ(block_->discoverCycle, 3);
  EXPECT_EQ(own->state, ZEVS_NETWORK_NOT_MANAGED);
  EXPECT_EQ(block_->subnetNodeDiscoveryRunning, 0);

  // With managing the own network on, the head goes to monitoring once.
  setenv("ZEVP_SNMP_MANAGE_LOCAL_NETWORK", "Y", 1);
  ZEVS_DiscoverSubnetNodes(block_);
  ZEVS_DiscoverSubnetNodes(block_);
  EXPECT_EQ(trace.count("Scheduling network management of own network 10.77.0.0"), 1);
  EXPECT_EQ(own->state, ZEVS_NETWORK_MANAGED);
  void* request = server->requestQueue;
  EXPECT_NE(request, nullptr);
  server->requestQueue = nullptr;
  ZEV0_FreeStorage(&request);
  unsetenv("ZEVP_SNMP_MANAGE_LOCAL_NETWORK");
  anchor->networkManagementEntry = nullptr;
  ZEVP_DestroyProcessEntry(server);
  block_->anchor = nullptr;
}

TEST_F(SubnetDiscoveryTest, ASweepWithoutNetworksEndsAtOnce) {
  TraceCapture trace;
  ZEVS_DiscoverSubnetNodes(block_);
  EXPECT_TRUE(trace.contains("No known network exists to discover. Exiting..."));
  EXPECT_TRUE(probed.empty());
}

}  // namespace
