// The SNMP manager's shared block: what it is made with, the wait for the threads
// that use it, and its release with every list it holds (the leak checker of the
// sanitizer build sees anything left); the VarBind list's release.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <string>
#include <thread>

#include "default_product_work_directory.h"
#include "managed_node_entry.h"
#include "network_configuration_block.h"
#include "zev0/storage.h"
#include "zevs/network_records.h"
#include "zevs/var_bind.h"

namespace {

char* Text(const std::string& text) {
  auto* block = static_cast<char*>(ZEV0_GetStorage(static_cast<int32_t>(text.size()) + 1));
  std::memcpy(block, text.c_str(), text.size() + 1);
  return block;
}

template <typename T>
T* Cleared(int count = 1) {
  auto* block = static_cast<T*>(ZEV0_GetStorage(static_cast<int32_t>(sizeof(T)) * count));
  std::memset(static_cast<void*>(block), 0, sizeof(T) * count);
  return block;
}

void GiveHostArrays(NetworkEntry* network) {
  network->nodeStatus = Text("0AI");
  network->minimumResponseTimes = Cleared<uint32_t>(3);
  network->currentResponseTimes = Cleared<uint32_t>(3);
  network->maximumResponseTimes = Cleared<uint32_t>(3);
}

NetworkEntry* NewNetwork(NetworkEntry* previous) {
  auto* network = Cleared<NetworkEntry>();
  BSV1_InitializeLock(&network->lock);
  network->previous = previous;
  GiveHostArrays(network);
  network->symbolicName = Text("LAB");
  for (int i = 0; i < 2; ++i) {
    auto* host = Cleared<ManagedNodeEntry>();
    host->network = network;
    host->addressText = Text("10.77.0.1");
    host->ManagedNodeName = Text("host");
    host->ManagedNodeOID = Text("1.3.6.1.4.1.9999");
    host->ManagedNodeDesc = Text("a host");
    host->ManagedNodeLocation = Text("room");
    host->ManagedNodeTypeText = Text("IP Node");
    host->next = network->hosts;
    network->hosts = host;
  }
  return network;
}

RouterEntry* NewRouter(RouterEntry* next) {
  auto* router = Cleared<RouterEntry>();
  BSV1_InitializeLock(&router->lock);
  router->next = next;
  router->description = Text("router");
  router->name = Text("gateway");
  router->networks = Cleared<NetworkEntry*>(16);
  router->metrics = Cleared<uint32_t>(16);
  router->nextHops = Cleared<uint32_t>(16);
  return router;
}

TEST(NetworkConfigurationBlockTest, IsMadeWithItsTextsAndTheDefaultCommunity) {
  unsetenv("ZEVP_SNMP_NET_COMMUNITY");
  NetworkConfigurationBlock* block = ZEVS_InitializeNCB();
  ASSERT_NE(block, nullptr);
  EXPECT_EQ(NCB.load(), block);
  EXPECT_STREQ(block->defaultCommunity, "willow");
  EXPECT_NE(block->routerWorkFileName, nullptr);
  EXPECT_NE(block->networkWorkFileName, nullptr);
  EXPECT_NE(block->lineBuffer, nullptr);
  EXPECT_EQ(block->shutdown.load(), 0);
  zevs::FreeNetworkConfigurationBlock(block);
  EXPECT_EQ(NCB.load(), nullptr);

  setenv("ZEVP_SNMP_NET_COMMUNITY", "lab", 1);
  block = ZEVS_InitializeNCB();
  EXPECT_STREQ(block->defaultCommunity, "lab");
  zevs::FreeNetworkConfigurationBlock(block);
  unsetenv("ZEVP_SNMP_NET_COMMUNITY");
}

bool EndsWith(const char* text, const std::string& end) {
  const std::string whole = text != nullptr ? text : "";
  return whole.size() >= end.size() && whole.compare(whole.size() - end.size(), end.size(), end) == 0;
}

TEST(NetworkConfigurationBlockTest, ItsPacesComeFromTheEnvironmentElseTheDefaultsAndItsCountersStartAtZero) {
  struct Case {
    const char* interval;
    const char* ping;
    int32_t checkInterval;
    int32_t pingTimeout;
  };
  const Case cases[] = {
      {nullptr, nullptr, 1800, 1000},
      {"600", "250", 600, 250},
      {"abc", "-5", 1800, 1000},
      {"0", "99999999999", 1800, 1000},
  };
  for (const Case& tested : cases) {
    SCOPED_TRACE(tested.interval != nullptr ? tested.interval : "unset");
    for (const auto& [name, value] :
         {std::pair{"ZEVP_SNMP_CHECK_CONFIG_INTERVAL", tested.interval}, std::pair{"ZEVP_SNMP_PING_TIMEOUT", tested.ping}})
      value != nullptr ? setenv(name, value, 1) : unsetenv(name);
    NetworkConfigurationBlock* block = ZEVS_InitializeNCB();
    ASSERT_NE(block, nullptr);
    EXPECT_EQ(block->checkInterval, tested.checkInterval);
    EXPECT_EQ(block->pingTimeout, tested.pingTimeout);
    EXPECT_EQ(block->networkDataTTL, 14400);
    EXPECT_EQ(block->discoverRange, 255);
    EXPECT_EQ(block->cycleToggle, 1);
    EXPECT_EQ(block->broadcastEffective, 1);
    for (int32_t counter : {block->routeTableWalkRunning, block->pollRunning, block->subnetNodeDiscoveryRunning,
                            block->monitoredNetworks, block->routerCount, block->networkCount, block->nodeCount,
                            block->discoverCycle})
      EXPECT_EQ(counter, 0);
    EXPECT_EQ(block->agents, nullptr);
    EXPECT_EQ(block->networksTail, nullptr);
    EXPECT_EQ(block->enterprisePosition, nullptr);
    EXPECT_EQ(block->pollPosition, nullptr);
    // No product specification names the work files here.
    EXPECT_TRUE(EndsWith(block->routerWorkFileName, "/ZEVSRTMP")) << block->routerWorkFileName;
    EXPECT_TRUE(EndsWith(block->networkWorkFileName, "/ZEVSNTMP")) << block->networkWorkFileName;
    zevs::FreeNetworkConfigurationBlock(block);
  }
  unsetenv("ZEVP_SNMP_CHECK_CONFIG_INTERVAL");
  unsetenv("ZEVP_SNMP_PING_TIMEOUT");
}

TEST(NetworkConfigurationBlockTest, TheDefaultProductNamesItsWorkFiles) {
  DefaultProductWorkDirectory("zev_block");
  NetworkConfigurationBlock* block = ZEVS_InitializeNCB();
  ASSERT_NE(block, nullptr);
  EXPECT_TRUE(EndsWith(block->routerWorkFileName, "/ZEVSROUT")) << block->routerWorkFileName;
  EXPECT_TRUE(EndsWith(block->networkWorkFileName, "/ZEVSNETS")) << block->networkWorkFileName;
  zevs::FreeNetworkConfigurationBlock(block);
}

TEST(NetworkConfigurationBlockTest, ItsReleaseFreesEveryListWithWhatItsEntriesOwnAndClosesTheSockets) {
  NetworkConfigurationBlock* block = ZEVS_InitializeNCB();
  ASSERT_NE(block, nullptr);
  block->routers = NewRouter(NewRouter(nullptr));
  block->networks = NewNetwork(nullptr);
  block->networks->next = NewNetwork(block->networks);
  block->routeTableWalkRunning = 1;
  NetModel = Cleared<NetworkEntry>();
  GiveHostArrays(NetModel);
  int sockets[2];
  for (int& descriptor : sockets) descriptor = socket(AF_INET, SOCK_DGRAM, 0);
  for (int descriptor : sockets) {
    auto* caller = Cleared<ShareCallerBlock>();
    caller->socket = descriptor;
    caller->buffer = Cleared<char>(1600);
    caller->next = block->shareCallers;
    block->shareCallers = caller;
  }

  zevs::FreeNetworkConfigurationBlock(block);
  EXPECT_EQ(NCB.load(), nullptr);
  EXPECT_EQ(NetModel, nullptr);
  for (int descriptor : sockets) EXPECT_EQ(fcntl(descriptor, F_GETFD), -1) << "socket " << descriptor << " closed";
}

TEST(NetworkConfigurationBlockTest, TheWaitForItsDetachedUsersEndsWhenTheLastHasEndedOrTheTimeIsUp) {
  NetworkConfigurationBlock* block = ZEVS_InitializeNCB();
  ASSERT_NE(block, nullptr);
  EXPECT_TRUE(zevs::AwaitBlockUsersEnded(block, 0)) << "no user";
  zevs::BlockUserStarted(block);
  zevs::BlockUserStarted(block);
  EXPECT_FALSE(zevs::AwaitBlockUsersEnded(block, 0));
  std::thread users([block] {
    for (int i = 0; i < 2; ++i) {
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
      zevs::BlockUserEnded(block);
    }
  });
  EXPECT_TRUE(zevs::AwaitBlockUsersEnded(block, 10));
  users.join();

  std::thread waiter([block] { zevs::AwaitBlockShutdown(block); });
  zevs::SignalBlockShutdown(block);
  waiter.join();
  EXPECT_EQ(block->shutdown.load(), 1);
  zevs::FreeNetworkConfigurationBlock(block);
}

TEST(VarBindTest, FreesEveryItemsTextsAndTheArray) {
  ZEVS_VarBindList list{Cleared<ZEVS_VarBind>(3), 3};
  for (int i = 0; i < 3; ++i) {
    list.items[i].asn1Type = 4;
    list.items[i].oid = Text("1.3.6.1.2.1.1.1.0");
    list.items[i].value = i == 1 ? nullptr : Text("value");
  }
  ZEVS_FreeVarBind(&list);
  EXPECT_EQ(list.items, nullptr);
  ZEVS_FreeVarBind(&list);
  ZEVS_FreeVarBind(nullptr);
}

}  // namespace
