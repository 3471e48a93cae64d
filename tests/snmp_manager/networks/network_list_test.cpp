// The block's network list: new entries by mask, the look-ups, the links that stay
// whole, the class masks, the NETSUMMARY row of an entry and the names a reload of
// the network-name file gives the listed networks.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "bare_anchor.h"
#include "network_block_fixture.h"
#include "network_masks.h"
#include "network_summary_row.h"
#include "trace_capture.h"
#include "zev0/storage.h"

namespace {

std::string Dotted(uint32_t address) { return zevs::DottedAddress(address); }

char* StorageText(const std::string& text) {
  auto* block = static_cast<char*>(ZEV0_GetStorage(static_cast<int32_t>(text.size()) + 1));
  std::memcpy(block, text.c_str(), text.size() + 1);
  return block;
}

using NetworkListTest = NetworkBlockTest;

TEST_F(NetworkListTest, TheMaskGivesTheHostRangeAndNoEntryIsMadeForWhatCannotBeANewNetwork) {
  struct Case {
    const char* network;
    const char* mask;
    int32_t range;  // 0: no entry
    const char* traced;
  };
  const Case cases[] = {
      {"10.1.1.0", "255.255.255.0", 255, "Network 10.1.1.0 managed range set to 255"},
      {"10.2.0.0", "255.255.0.0", 65535, nullptr},
      {"10.3.0.0", "255.0.0.0", 65535, nullptr},
      {"10.4.4.0", "0.0.0.0", 255, "No input network mask. Class C mask assumed"},
      {"10.5.5.5", "255.255.255.255", 0, nullptr},
      {"0.0.0.0", "255.255.255.0", 0, "Network address 0.0.0.0 ignored"},
      {"10.1.1.0", "255.255.255.128", 0, nullptr},  // known
  };
  for (const Case& tested : cases) {
    SCOPED_TRACE(std::string(tested.network) + "/" + tested.mask);
    TraceCapture trace("*=0x10");
    NetworkEntry* entry = Enter(tested.network, tested.mask);
    if (tested.traced != nullptr) {
      EXPECT_TRUE(trace.contains(tested.traced));
    }
    if (tested.range == 0) {
      EXPECT_EQ(entry, nullptr);
      continue;
    }
    ASSERT_NE(entry, nullptr);
    EXPECT_EQ(entry->hostRange, tested.range);
    EXPECT_EQ(entry->nodeStatus[tested.range - 1], '0');
    EXPECT_EQ(entry->minimumResponseTimes[tested.range - 1], ZEVS_NO_RESPONSE_TIME);
    EXPECT_EQ(entry->state, 0);
    EXPECT_EQ(entry->pollInterval, 300);
  }
  EXPECT_EQ(listed(), (std::vector<std::string>{"10.1.1.0", "10.2.0.0", "10.3.0.0", "10.4.4.0"}));
  EXPECT_EQ(block_->networkCount, 4);
  EXPECT_EQ(MyOwnNetwork, block_->networks);
  EXPECT_EQ(block_->networks->routeMetric, 0) << "the manager's own network";
  EXPECT_EQ(block_->networksTail->routeMetric, 16);
  EXPECT_EQ(block_->networks->networkMask, 0xFFFFFF00u) << "kept in host order";
}

TEST_F(NetworkListTest, LookUpsFindEveryListedNetworkAndTheLinksStayWhole) {
  NetworkEntry* wide = Enter("10.0.0.0", "255.255.0.0");
  NetworkEntry* narrow = Enter("10.0.1.0", "255.255.255.0");
  NetworkEntry* last = Enter("192.168.1.0", "255.255.255.0");
  ASSERT_NE(last, nullptr);

  uint32_t zero = 0;
  NetworkEntry* found = wide;
  EXPECT_EQ(ZEVS_IsKnownNetwork(zero, &found), 1) << "0.0.0.0 is known once the list holds a network";
  EXPECT_EQ(found, nullptr);
  const uint32_t third = Address("192.168.1.0");
  EXPECT_EQ(ZEVS_LocateKnownNetwork(&third), last) << "the walk passes the head";
  EXPECT_EQ(ZEVS_LocateKnownNetwork(&third), last);
  {
    TraceCapture trace("*=0x90");
    const uint32_t unknown = Address("172.16.0.0");
    EXPECT_EQ(ZEVS_LocateKnownNetwork(&unknown), nullptr);
    EXPECT_EQ(ZEVS_LocateKnownNetwork(nullptr), nullptr);
    EXPECT_TRUE(trace.contains("Input network 172.16.0.0 unknown"));
    EXPECT_TRUE(trace.contains("***** No input network address specified"));
  }
  EXPECT_EQ(ZEVS_LocateMyNetwork(Address("10.0.1.7")), narrow) << "the longest mask";
  EXPECT_EQ(ZEVS_LocateMyNetwork(Address("10.0.2.7")), wide);
  EXPECT_EQ(ZEVS_LocateMyNetwork(Address("172.16.0.1")), nullptr);
  EXPECT_EQ(ZEVS_LocateBaseNetworkEntry(Address("192.168.1.9")), last);

  std::vector<NetworkEntry*> forward;
  for (NetworkEntry* entry = block_->networks; entry != nullptr; entry = entry->next) {
    forward.push_back(entry);
    EXPECT_EQ(entry->backupNext, entry->next);
  }
  ZEVS_RepairNetworkList();
  std::vector<NetworkEntry*> repaired;
  for (NetworkEntry* entry = block_->networks; entry != nullptr; entry = entry->next) repaired.push_back(entry);
  EXPECT_EQ(repaired, forward) << "sound links are left as they are";
  EXPECT_EQ(forward, (std::vector<NetworkEntry*>{wide, narrow, last}));

  // A forward link lost is found again from the previous links.
  narrow->next = narrow->backupNext = nullptr;
  ZEVS_RepairNetworkList();
  EXPECT_EQ(narrow->next, last);
}

TEST_F(NetworkListTest, AHostIsInItsClassNetworkUnlessThatNetworkIsKnownWithAnotherMask) {
  ASSERT_NE(Enter("10.0.0.0", "255.255.0.0"), nullptr);
  ASSERT_NE(Enter("192.168.1.0", "255.255.255.0"), nullptr);
  const std::vector<std::pair<const char*, const char*>> cases = {
      {"10.7.7.9", "10.7.0.0"},        // the class network is known as a /16
      {"192.168.1.9", "192.168.1.0"},  // known with its class mask
      {"172.16.9.9", "172.16.0.0"},    // not known
  };
  for (const auto& [host, expected] : cases) {
    uint32_t network = 0;
    const uint32_t address = Address(host);
    ZEVS_RetrieveNetworkAddress(&network, &address);
    EXPECT_EQ(Dotted(network), expected) << host;
  }
}

TEST(NetworkMasksTest, ClassMasksAndClassNetworksFollowTheFirstByte) {
  struct Case {
    const char* address;
    const char* mask;
    const char* network;
    int classC;
  };
  const Case cases[] = {
      {"10.1.2.3", "255.0.0.0", "10.0.0.0", 0},
      {"172.16.9.9", "255.255.0.0", "172.16.0.0", 0},
      {"192.168.1.7", "255.255.255.0", "192.168.1.0", 1},
      {"224.0.0.1", "255.255.255.255", "224.0.0.1", 0},
      {"250.1.2.3", "255.255.255.255", "250.1.2.3", 0},
  };
  for (const Case& tested : cases) {
    SCOPED_TRACE(tested.address);
    const uint32_t address = inet_addr(tested.address);
    EXPECT_EQ(Dotted(ZEVS_GetStandardNetMask(address)), tested.mask);
    uint32_t network = 0;
    ZEVS_Netnum(&network, address);
    EXPECT_EQ(Dotted(network), tested.network);
    EXPECT_EQ(ZEVS_IsClassCnetwork(address), tested.classC);
  }
  for (uint32_t mask : {0xFF000000u, 0xFFFF0000u, 0xFFFFFF00u}) EXPECT_EQ(ZEVS_IsStandardSubnetMask(mask), 1);
  for (uint32_t mask : {0xFFFFFF80u, 0xFFFFFFFFu, 0u}) EXPECT_EQ(ZEVS_IsStandardSubnetMask(mask), 0);
}

class NetworkSummaryRowTest : public NetworkBlockTest {
 protected:
  std::string rowOf(NetworkEntry* entry) {
    BSV1_GetLock(&entry->lock);
    std::string row = zevs::NetworkSummaryRow(entry);
    BSV1_ReleaseLock(&entry->lock);
    return row;
  }
  // A router of the block's list (its head); the address places it in a network.
  RouterEntry* router(const std::string& name, RouterEntry* next, const char* address = "0.0.0.0") {
    auto* made = static_cast<RouterEntry*>(ZEV0_GetStorage(sizeof(RouterEntry)));
    std::memset(static_cast<void*>(made), 0, sizeof(RouterEntry));
    BSV1_InitializeLock(&made->lock);
    made->name = StorageText(name);
    made->address = Address(address);
    made->nextOnNetwork = next;
    made->next = block_->routers;
    block_->routers = made;
    return made;
  }
};

TEST_F(NetworkSummaryRowTest, ANetworkIsReportedByItsShortAddressOrItsNameWithItsHostsTimesStateAndRouters) {
  NetworkEntry* silent = Enter("172.16.0.0", "255.255.0.0");
  ASSERT_NE(silent, nullptr);
  EXPECT_EQ(rowOf(silent), "172.16;255.255.0.0;0;0;0;0;0;No; ;") << "hosts that never answered: 0;0;0;";

  NetworkEntry* named = Enter("192.168.4.0", "255.255.255.0");
  named->symbolicName = StorageText(std::string(40, 'N'));
  named->state = ZEVS_NETWORK_MANAGED;
  named->nodeStatus[1] = 'A';
  named->nodeStatus[2] = 'A';
  named->nodeStatus[3] = 'I';
  named->minimumResponseTimes[1] = 4;
  named->minimumResponseTimes[2] = 2;
  named->maximumResponseTimes[2] = 30;
  named->currentResponseTimes[0] = 7;
  named->router = router("solo", nullptr);
  EXPECT_EQ(rowOf(named), std::string(32, 'N') + ";255.255.255.0;2;1;7;2;30;Yes;solo;");
  EXPECT_EQ(named->seenHostCount, 3);

  // Only the network-wide slot was ever timed; the state texts.
  NetworkEntry* restored = Enter("10.77.1.0", "255.255.255.128");
  restored->minimumResponseTimes[0] = 3;
  restored->maximumResponseTimes[0] = 9;
  restored->currentResponseTimes[0] = 5;
  for (const auto& [state, text] : std::vector<std::pair<int32_t, std::string>>{
           {ZEVS_NETWORK_EXCLUDED, "Excluded"}, {ZEVS_NETWORK_EXCLUDED_BY_SUBNET, "Excluded-S"}, {7, "Yes"}}) {
    restored->state = state;
    EXPECT_EQ(rowOf(restored), "10.77.1;255.255.255.128;0;0;5;3;9;" + text + "; ;");
  }

  // The routers within the network are joined, in list order, and cut to the attribute.
  for (int i = 0; i < 40; ++i)
    router("router" + std::to_string(i), nullptr, ("10.77.1." + std::to_string(i + 1)).c_str());
  restored->state = 0;
  const std::string row = rowOf(restored);
  const std::string routers = row.substr(row.find(";No;") + 4);
  EXPECT_EQ(routers.size(), 257u) << routers;
  EXPECT_EQ(routers.substr(0, 18), "router39, router38");
  EXPECT_EQ(routers.back(), ';');
}

// A ';' inside a network's or a router's name would split the row: it is written ','.
TEST_F(NetworkSummaryRowTest, RegressionASemicolonInANameKeepsTheRowsFieldsInPlace) {
  NetworkEntry* named = Enter("192.168.6.0", "255.255.255.0");
  named->symbolicName = StorageText("lab;six");
  named->router = router("core;1", nullptr);
  EXPECT_EQ(rowOf(named), "lab,six;255.255.255.0;0;0;0;0;0;No;core,1;");
  router("edge;2", nullptr, "192.168.6.1");
  router("edge;3", block_->routers, "192.168.6.2");
  EXPECT_EQ(rowOf(named), "lab,six;255.255.255.0;0;0;0;0;0;No;edge,3, edge,2;");
}

TEST_F(NetworkSummaryRowTest, AnAgentsNetworkGoesToTheRowsOnlyOnceAgentDiscoveryRecordedItsBlock) {
  NetworkEntry* entry = Enter("10.77.0.0", "255.255.255.0");
  TraceCapture trace("*=0x10");
  ZEVS_UpdateAgentFoundToDCH(entry);
  EXPECT_FALSE(trace.contains("QLM not yet initialized"));
  LocalNCB = block_;
  ZEVS_UpdateAgentFoundToDCH(entry);
  EXPECT_TRUE(trace.contains("QLM not yet initialized")) << "the block has no anchor with a NETSUMMARY table here";
  LocalNCB = nullptr;
}

TEST_F(NetworkSummaryRowTest, TheNamesOfTheListedNetworksFollowAReloadOfTheNameFile) {
  NetworkWorkDirectory().write("ZEVSNAME", "10.78 LAB78\n");
  ASSERT_EQ(ZEVP_LoadSNMPNetworkName(), 1);
  NetworkEntry* lab = Enter("10.78.0.0", "255.255.0.0");
  NetworkEntry* other = Enter("10.79.0.0", "255.255.0.0");
  ASSERT_NE(other, nullptr);
  ASSERT_NE(lab->symbolicName, nullptr);
  EXPECT_STREQ(lab->symbolicName, "LAB78");
  EXPECT_EQ(other->symbolicName, nullptr);

  NetworkWorkDirectory().write("ZEVSNAME", "10.79 LAB79\n");
  ASSERT_EQ(ZEVP_LoadSNMPNetworkName(), 1);
  BareAnchor anchor;
  anchor->networkConfiguration = block_;
  ZEVP_UpdateMonitorNetworkSymbolicName(anchor.get());
  EXPECT_EQ(lab->symbolicName, nullptr);
  ASSERT_NE(other->symbolicName, nullptr);
  EXPECT_STREQ(other->symbolicName, "LAB79");
  anchor->networkConfiguration = nullptr;
}

}  // namespace
