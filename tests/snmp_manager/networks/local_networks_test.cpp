// The host's own networks from its interfaces, in a network namespace of the test's
// own with 10.77.0.1/24 on a veth end and loopback.
#include <gtest/gtest.h>
#include <stdlib.h>

#include "local_networks.h"
#include "network_block_fixture.h"
#include "network_masks.h"
#include "no_name_service.h"
#include "network_namespace.h"
#include "trace_capture.h"

namespace {

const NamespaceNetwork kOneHost = {{"10.77.0.1"}, ""};

struct Expected {
  const char* network;
  const char* mask;
  int32_t state;
  int32_t learned;
};

// Runs ZEVS_RetrieveLocalNetworkInfo over a block of its own and checks the networks.
void ExpectLocalNetworks(const std::vector<Expected>& expected, const char* trace) {
  NoNameService noNames;
  setenv("ZEV_DP_HOSTNAME", "10.77.0.1", 1);
  NetworkWorkDirectory();
  NetworkConfigurationBlock* block = ZEVS_InitializeNCB();
  ASSERT_NE(block, nullptr);
  TraceCapture captured("*=0x10");
  EXPECT_EQ(ZEVS_RetrieveLocalNetworkInfo(block), 1);
  if (trace != nullptr) {
    EXPECT_TRUE(captured.contains(trace)) << trace;
  }
  EXPECT_EQ(block->networkCount, static_cast<int32_t>(expected.size()));
  for (const Expected& network : expected) {
    SCOPED_TRACE(network.network);
    NetworkEntry* entry = nullptr;
    ASSERT_TRUE(ZEVS_IsKnownNetwork(inet_addr(network.network), &entry));
    EXPECT_EQ(zevs::DottedMask(entry->networkMask), network.mask);
    EXPECT_EQ(entry->state, network.state);
    EXPECT_EQ(entry->learnedFromRouteTable, network.learned);
    EXPECT_EQ(entry->routeMetric, entry == block->networks ? 0 : 16);
  }
  EXPECT_EQ(zevs::DottedAddress(ZEVS_GetLocalNetMask()), "255.255.255.0");
  zevs::FreeNetworkConfigurationBlock(block);
}

TEST(LocalNetworksTest, TheOwnInterfacesNetworkComesFirstAndIsManagedAndLoopbackIsOnlyKnown) {
  RunInNetworkNamespace(kOneHost, [] {
    unsetenv("ZEVP_SNMP_MANAGE_LOCAL_NETWORK");
    ExpectLocalNetworks({{"10.77.0.0", "255.255.255.0", 1, 1}, {"127.0.0.0", "255.0.0.0", 0, 0}}, nullptr);
  });
}

TEST(LocalNetworksTest, WithManagingTheOwnNetworkOffItIsOnlyKnown) {
  RunInNetworkNamespace(kOneHost, [] {
    setenv("ZEVP_SNMP_MANAGE_LOCAL_NETWORK", "no", 1);
    ExpectLocalNetworks({{"10.77.0.0", "255.255.255.0", 0, 0}, {"127.0.0.0", "255.0.0.0", 0, 0}},
                        "Skipping management of local network 10.77.0.0 per environment variable "
                        "ZEVP_SNMP_MANAGE_LOCAL_NETWORK=N");
  });
}

}  // namespace
