// The target agents of a collection, in process: AGENTINFO= lists resolved through
// a name service of the test's own (names, addresses, network symbolic names,
// networks expanded to their nodes), interests raised and lowered, names shown in
// rows, and communities taken after a reload of the community file.
#include "monitor_node_list.h"

#include <arpa/inet.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "action_worker.h"
#include "bare_anchor.h"
#include "dp_anchor.h"
#include "host_name_table.h"
#include "routine_overrides.h"
#include "snmp_worker_extension.h"
#include "zev/action_codes.h"
#include "zev0/storage.h"

namespace {

char* Copy(const char* text) {
  auto* copy = static_cast<char*>(ZEV0_GetStorage(static_cast<int32_t>(std::strlen(text) + 1)));
  std::strcpy(copy, text);
  return copy;
}

char* SalesNetwork(const char* name) { return std::strcmp(name, "SALES") == 0 ? Copy("192.168.5.0") : nullptr; }

// The community file names 192.168.5.7 (and, after the reload, 192.168.7.10).
bool reloaded = false;
char* ConfiguredCommunity(uint32_t address) {
  if (address == inet_addr("192.168.5.7")) return Copy("lan-comm");
  if (reloaded && address == inet_addr("192.168.7.10")) return Copy("new-comm");
  return nullptr;
}

void NoLog(DPAB*, int32_t, const char*, const char*, const char*, const char*, const char*) {}

struct Agent {
  std::string name, address, community;
  int interest, fromNetwork;
};

class MonitorNodeListTest : public ::testing::Test {
 protected:
  MonitorNodeListTest() {
    overrides_.routines().locateNetworkBySymbolicName = SalesNetwork;
    overrides_.routines().locateSNMPnodeCommunityName = ConfiguredCommunity;
    overrides_.routines().sendDPlogMessage = NoLog;
    reloaded = false;
    std::memset(&extension_, 0, sizeof extension_);
    extension_.interval = ZEVP_NO_INTERVAL_YET;
    BSV1_InitializeLock(&extension_.nodeListLock);
    BSV1_InitializeLock(&extension_.intervalLock);
  }
  ~MonitorNodeListTest() override {
    while (SNMPMonitorNodeEntry* node = extension_.nodes) {
      extension_.nodes = node->next;
      zevp::FreeMonitorNode(node);
    }
    ZEV0_FreeStorage(&extension_.agentInfo);
    ZEVP_FreeMonitorAgentNames(&names_);
    BSV1_DestroyLock(&extension_.nodeListLock);
    BSV1_DestroyLock(&extension_.intervalLock);
  }

  int add(const char* agentInfo, int namesOnly = 0) {
    ZEVP_FreeMonitorAgentNames(&names_);
    return ZEVP_SNMPaddAgentNodes(anchor_.get(), &extension_, agentInfo, &names_, namesOnly);
  }
  std::vector<Agent> agents() const {
    std::vector<Agent> found;
    for (const SNMPMonitorNodeEntry* node = extension_.nodes; node != nullptr; node = node->next)
      found.push_back({node->agentName, node->agentAddress, node->community, node->interestCount, node->fromNetwork});
    return found;
  }
  std::vector<std::string> names() const {
    std::vector<std::string> found;
    for (const MonitorAgentNameEntry* name = names_; name != nullptr; name = name->next)
      found.push_back(name->agentAddress);
    return found;
  }

  BareAnchor anchor_;
  RoutineOverrides overrides_;
  HostNameTable hosts_{{{"192.168.7.10", "host1"}, {"10.77.0.5", "host2.dom"}}};
  SNMPWorkerTaskExtension extension_;
  MonitorAgentNameEntry* names_ = nullptr;
};

TEST_F(MonitorNodeListTest, ANetworkWithItsCommunityAndABareHostWithTheDefault) {
  ASSERT_EQ(add("AGENTINFO=( {192.168.5 private}, host1 ) INTERVAL=30"), 1);
  std::vector<Agent> found = agents();
  ASSERT_EQ(found.size(), 255u);
  EXPECT_EQ(found.front().address, "192.168.5.1");
  EXPECT_EQ(found.front().name, "192.168.5.0");
  EXPECT_EQ(found.front().fromNetwork, 1);
  EXPECT_EQ(found[253].address, "192.168.5.254");
  for (size_t i = 0; i < 254; ++i) EXPECT_EQ(found[i].community, "private") << found[i].address;
  EXPECT_EQ(found.back().name, "host1");
  EXPECT_EQ(found.back().address, "192.168.7.10");
  EXPECT_EQ(found.back().community, "willow");
  EXPECT_EQ(found.back().fromNetwork, 0);
  EXPECT_EQ(names().size(), 255u);
  EXPECT_STREQ(extension_.agentInfo, "AGENTINFO=( {192.168.5 private}, host1 ) INTERVAL=30");
}

TEST_F(MonitorNodeListTest, EachEntryResolvesAsItsKindSays) {
  const struct {
    const char* agentInfo;
    std::vector<std::string> addresses;
    const char* community;  // of the first agent
  } cases[] = {
      {"AGENTINFO=( {host1} )", {"192.168.7.10"}, "willow"},
      {"AGENTINFO=( {host1 } )", {"192.168.7.10"}, "willow"},
      {"AGENTINFO=( host1, ), host2.dom )", {"192.168.7.10"}, "willow"},
      {"AGENTINFO=( 10.1.2 )", {}, ""},        // undiscovered and not class C
      {"AGENTINFO=( 10.1.2.0 )", {}, ""},      // the same, written whole
      {"AGENTINFO=( 10.1.2.3 )", {"10.1.2.3"}, "willow"},  // no name: a node all the same
      {"AGENTINFO=( 10.77.0.5 )", {"10.77.0.5"}, "willow"},
      {"AGENTINFO=( nosuch, XXXXXX )", {}, ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.agentInfo);
    while (SNMPMonitorNodeEntry* node = extension_.nodes) {
      extension_.nodes = node->next;
      zevp::FreeMonitorNode(node);
    }
    ASSERT_EQ(add(c.agentInfo), 1);
    EXPECT_EQ(names(), c.addresses);
    std::vector<Agent> found = agents();
    ASSERT_EQ(found.size(), c.addresses.size());
    if (!found.empty()) {
      EXPECT_EQ(found[0].community, c.community);
    }
  }
  EXPECT_EQ(add("AGENTINFO=host1"), 0) << "a list needs its parenthesis";
}

TEST_F(MonitorNodeListTest, ASymbolicNetworkNameTakesTheConfiguredCommunityOfEachNode) {
  ASSERT_EQ(add("AGENTINFO=( SALES )"), 1);
  std::vector<Agent> found = agents();
  ASSERT_EQ(found.size(), 254u);
  EXPECT_EQ(found[5].address, "192.168.5.6");
  EXPECT_EQ(found[5].community, "willow");
  EXPECT_EQ(found[6].address, "192.168.5.7");
  EXPECT_EQ(found[6].community, "lan-comm");
}

TEST_F(MonitorNodeListTest, NamesOnlyListsTheAgentsAndLeavesTheCollectionAlone) {
  ASSERT_EQ(add("AGENTINFO=( host1, 10.1.2.3 )", 1), 1);
  EXPECT_EQ(names(), (std::vector<std::string>{"192.168.7.10", "10.1.2.3"}));
  EXPECT_TRUE(agents().empty());
  EXPECT_EQ(extension_.agentInfo, nullptr);
}

TEST_F(MonitorNodeListTest, AnAgentStartedTwiceStaysUntilItsLastInterestGoes) {
  ASSERT_EQ(add("AGENTINFO=( host1 )"), 1);
  MonitorAgentNameEntry* first = names_;
  names_ = nullptr;
  ASSERT_EQ(add("AGENTINFO=( host1, 10.1.2.3 )"), 1);
  MonitorAgentNameEntry* second = names_;
  names_ = nullptr;
  ASSERT_EQ(agents().size(), 2u);
  EXPECT_EQ(agents()[0].interest, 2);

  ZEVP_SNMPdeleteAgentNodes(anchor_.get(), &extension_, &first);
  EXPECT_EQ(first, nullptr) << "the list is taken";
  ASSERT_EQ(agents().size(), 2u);
  EXPECT_EQ(agents()[0].interest, 1);
  ZEVP_SNMPdeleteAgentNodes(anchor_.get(), &extension_, &second);
  EXPECT_TRUE(agents().empty());
}

TEST_F(MonitorNodeListTest, AReloadedCommunityReachesTheMonitoredAgents) {
  ASSERT_EQ(add("AGENTINFO=( {host1 mine}, 10.1.2.3 )"), 1);
  ActionWorkerTaskEntry worker;
  worker.NextWorker = nullptr;
  worker.ActionWorkerType = ZEV_ACTION_SNMP;
  worker.WorkerExtension = &extension_;
  anchor_->actionWorkers = &worker;
  extension_.interestChanged = 0;
  ZEVP_UpdateMonitorNodeCommunity(anchor_.get());
  EXPECT_EQ(agents()[0].community, "mine");
  EXPECT_EQ(extension_.interestChanged, 0) << "nothing changed";
  reloaded = true;
  ZEVP_UpdateMonitorNodeCommunity(anchor_.get());
  anchor_->actionWorkers = nullptr;
  EXPECT_EQ(agents()[0].community, "new-comm");
  EXPECT_EQ(agents()[1].community, "willow") << "no configured community: kept";
  EXPECT_EQ(extension_.interestChanged, 1);
}

TEST(MonitorNodeNameTest, RowsShowTheHostWithoutTheLocalDomainAndNetworkMembersByAddress) {
  setenv("ZEV_TCPIP_DOMAIN_NAME", "dom", 1);
  const struct {
    const char* name;
    const char* address;
    int fromNetwork;
    const char* shown;
  } cases[] = {
      {"host.dom", "10.0.0.1", 0, "host"},
      {"host.other", "10.0.0.1", 0, "host.other"},
      {"host.dom.x", "10.0.0.1", 0, "host"},
      {"192.168.5.0", "192.168.5.9", 1, "192.168.5.9"},
  };
  for (const auto& c : cases) {
    SNMPMonitorNodeEntry node{};
    node.agentName = const_cast<char*>(c.name);
    node.agentAddress = const_cast<char*>(c.address);
    node.fromNetwork = c.fromNetwork;
    EXPECT_EQ(zevp::ShownAgentName(&node), c.shown) << c.name;
  }
}

}  // namespace
