// Router and network discovery of a running SNMP data provider in a network
// namespace of the test's own: the default route, the RIP broadcast and its answer,
// a RIP update heard during a listen and the route walk of snmpd's tables; and the
// end of the detached walk (also one caught in an endless interface table) and
// sweep when the data provider ends under them.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "bare_anchor.h"
#include "discovery_seam_overrides.h"
#include "fixed_name_service.h"
#include "dp_anchor.h"
#include "eventually.h"
#include "net_snmp.h"
#include "network_block_fixture.h"
#include "mib_row_step.h"
#include "network_discovery.h"
#include "network_namespace.h"
#include "no_name_service.h"
#include "rip_message_bytes.h"
#include "route_table_walk.h"
#include "run_in_child.h"
#include "router_list.h"
#include "snmp_provider_run.h"
#include "trace_capture.h"

namespace {

const NamespaceNetwork kRoutedHosts = {{"10.77.0.1", "10.77.0.2", "10.77.0.3"}, ""};

// A UDP socket on the address and port, sharing the port with the data provider's.
int BoundSocket(const char* address, unsigned short port) {
  const int socket = ::socket(AF_INET, SOCK_DGRAM, 0);
  const int on = 1;
  setsockopt(socket, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
  sockaddr_in local{};
  local.sin_family = AF_INET;
  local.sin_addr.s_addr = inet_addr(address);
  local.sin_port = htons(port);
  if (bind(socket, reinterpret_cast<sockaddr*>(&local), sizeof local) != 0) {
    close(socket);
    return -1;
  }
  return socket;
}

std::string RIPresponse(const char* destination, const char* mask, uint32_t metric) {
  const std::vector<char> message = RIPmessage(2, 2, {{destination, mask, "0.0.0.0", metric}});
  return std::string(message.begin(), message.end());
}

void SendTo(int socket, const std::string& bytes, const sockaddr_in& to) {
  sendto(socket, bytes.data(), bytes.size(), 0, reinterpret_cast<const sockaddr*>(&to), sizeof to);
}

// A router's RIP update to the router port of an address, sent again and again as
// routers do (here every 10 ms rather than every 30 seconds) until stopped.
class PeriodicUpdate {
 public:
  PeriodicUpdate(const char* from, const char* to, const std::string& update)
      : sender_(BoundSocket(from, 0)), thread_([this, to, update] {
          sockaddr_in listener{};
          listener.sin_family = AF_INET;
          listener.sin_addr.s_addr = inet_addr(to);
          listener.sin_port = htons(520);
          while (!stopped_.load()) {
            SendTo(sender_, update, listener);
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
          }
        }) {}
  ~PeriodicUpdate() {
    stop();
    close(sender_);
  }
  PeriodicUpdate(const PeriodicUpdate&) = delete;
  PeriodicUpdate& operator=(const PeriodicUpdate&) = delete;

  void stop() {
    stopped_ = true;
    if (thread_.joinable()) thread_.join();
  }

 private:
  int sender_;
  std::atomic<bool> stopped_{false};
  std::thread thread_;
};

std::atomic<int> dpLogMessage{0};

// A router of the running block, read under the list's and its own lock.
struct RouterView {
  bool known = false;
  int32_t status = -1;
  int32_t unconfirmed = -1;
};
RouterView ViewRouter(NetworkConfigurationBlock* block, const char* address) {
  RouterView view;
  BSV1_GetLock(&block->routerListLock);
  for (RouterEntry* router = block->routers; router != nullptr; router = router->next) {
    if (router->address != inet_addr(address)) continue;
    BSV1_GetLock(&router->lock);
    view = {true, router->status, router->unconfirmed};
    BSV1_ReleaseLock(&router->lock);
  }
  BSV1_ReleaseLock(&block->routerListLock);
  return view;
}

TEST(DiscoveryRoad, RoutersComeFromTheDefaultRouteRIPAndTheRouteTablesOfSnmpd) {
  RunInNetworkNamespace(kRoutedHosts, [] {
    ASSERT_EQ(std::system("ip route add 10.78.0.0/16 via 10.77.0.254"), 0);
    SnmpAgentSettings settings;
    settings.address = "10.77.0.1";
    SnmpAgentProcess agent(settings);
    ASSERT_TRUE(agent.start()) << agent.failure();

    // The RIP responder hears the broadcast request and answers from another address.
    const int responder = BoundSocket("0.0.0.0", 520);
    const int answerer = BoundSocket("10.77.0.3", 0);
    ASSERT_GE(responder, 0);
    ASSERT_GE(answerer, 0);
    std::string heard;
    std::thread respond([&] {
      pollfd wanted{responder, POLLIN, 0};
      if (poll(&wanted, 1, 30000) != 1) return;
      char request[64];
      sockaddr_in from{};
      socklen_t fromLength = sizeof from;
      const ssize_t length =
          recvfrom(responder, request, sizeof request, 0, reinterpret_cast<sockaddr*>(&from), &fromLength);
      if (length > 0) heard.assign(request, static_cast<size_t>(length));
      SendTo(answerer, RIPresponse("10.79.0.0", "255.255.0.0", 2), from);
    });

    // The data provider's sockets take the host's address on the veth (its DCH link
    // reaches the host program on loopback from there); names come from the test.
    FixedNameService names({{"10.77.0.254", "gw1"}, {"10.77.0.1", "agent"}});
    setenv("QFEB0_HOSTNAME", "10.77.0.1", 1);
    ASSERT_STREQ(ZEV0_LocalHostAddrString(), "10.77.0.1");
    SnmpProviderRun run(
        SnmpTestProduct({"ENABLE_SNMP_TRAP=N", "ENABLE_SNMP_DISCOVERY=Y", "ENABLE_DISCOVERY_DATA_UPDATE=Y"}),
        {"ZEVP_SNMP_NET_COMMUNITY=public", "ZEVP_SNMP_ROUTEREQ_WAIT=2"}, "*=0x1ff");
    std::ofstream(run.work().path() + "/ZEVSROUT") << "Router Address,Router Name\n10.77.0.1,agent,\n";
    // The route table goes through a file of the current directory: one of this run's own.
    ASSERT_EQ(chdir(run.work().path().c_str()), 0);
    run.engineRoutines().sendDPlogMessage = [](DPAB*, int32_t number, const char*, const char*, const char*,
                                               const char*, const char*) { dpLogMessage = number; };
    ASSERT_TRUE(run.start());
    ASSERT_TRUE(run.waitForTrace("Default router address 10.77.0.254", 30000)) << run.trace();
    respond.join();
    // The listen that is to hear it runs on the test's fast clock: the router sends its
    // update from before the listen opens its socket until it is heard.
    PeriodicUpdate update("10.77.0.2", "10.77.0.1", RIPresponse("10.80.0.0", "255.255.0.0", 1));
    const unsigned char request[24] = {1, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 16};
    EXPECT_EQ(heard, std::string(reinterpret_cast<const char*>(request), sizeof request));
    EXPECT_TRUE(run.waitForTrace(">>> New router 10.77.0.3(10.77.0.3) added")) << run.trace();
    EXPECT_TRUE(run.waitForTrace("Router Data->gw1;10.77.0.254; ;Verify;0; ;")) << run.trace();

    // An update heard during the listen.
    ASSERT_TRUE(run.waitForTrace(">>> socket")) << run.trace();
    EXPECT_TRUE(run.waitForTrace(">>> New router 10.77.0.2(10.77.0.2) added")) << run.trace();
    update.stop();
    EXPECT_TRUE(run.waitForTrace("Network 10.80.0.0 managed range set to 65535")) << run.trace();

    // The route walk of snmpd's tables, after the first listen.
    // The router's row once its walk has ended: On-line with the networks it routes.
    ASSERT_TRUE(run.waitForTrace("Router Data->agent;10.77.0.1;Test agent;On-line;", 90000)) << run.trace();
    EXPECT_TRUE(run.waitForTrace("Network 10.78.0.0 managed range set to 65535"));
    NetworkConfigurationBlock* block = run.anchor()->networkConfiguration.load();
    ASSERT_NE(block, nullptr);
    const RouterView gateway = ViewRouter(block, "10.77.0.254");
    EXPECT_TRUE(gateway.known);
    EXPECT_EQ(gateway.status, ZEVS_ROUTER_ONLINE);
    EXPECT_EQ(gateway.unconfirmed, 0);
    EXPECT_EQ(ViewRouter(block, "10.77.0.2").status, ZEVS_ROUTER_ONLINE);
    NetworkEntry* routed = ZEVS_LocateKnownNetwork(&(const uint32_t&)inet_addr("10.78.0.0"));
    ASSERT_NE(routed, nullptr);
    BSV1_GetLock(&routed->lock);
    EXPECT_EQ(routed->networkMask, 0xFFFF0000u);
    BSV1_ReleaseLock(&routed->lock);
    EXPECT_EQ(dpLogMessage.load(), 104);
    EXPECT_NE(access("RTINFO", F_OK), 0);
    EXPECT_NE(run.stop(), nullptr);
    EXPECT_EQ(run.trace().find("Network 0.0.0.0"), std::string::npos);
    close(responder);
    close(answerer);
  });
}

// A new block of the namespace's network 10.77.0.0/24 with the router at the
// address registered in it (Verify); null when either could not be made. The
// registration asks the sysDescr seam.
NetworkConfigurationBlock* BlockWithRouter(const char* router) {
  setenv("ZEV_DP_HOSTNAME", "10.77.0.1", 1);
  NetworkWorkDirectory();
  NetworkConfigurationBlock* block = ZEVS_InitializeNCB();
  if (block == nullptr) return nullptr;
  const uint32_t network = inet_addr("10.77.0.0");
  ZEVS_UpdateNetworkListEntry(&network, inet_addr("255.255.255.0"), 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = inet_addr(router);
  if (ZEVS_UpdateDiscoveredRouter(&address, ZEVS_ROUTER_VERIFY) != nullptr) return block;
  zevs::FreeNetworkConfigurationBlock(block);
  return nullptr;
}

std::atomic<bool> sweepProbing{false};
std::atomic<bool> walkAsking{false};

// Ends once the block is told to end: a sweep that is still probing.
int PingUntilShutdown(const uint32_t*, uint16_t, int, NetworkEntry*, NetworkEntry*, int32_t) {
  sweepProbing = true;
  NetworkConfigurationBlock* block = NCB.load();
  while (block->shutdown.load() == 0) usleep(1000);
  return 0;
}

// The walk's real row step, noted as it begins: the walk is then waiting for the
// silent router.
int NotedRowStep(int socketDescriptor, char* buffer, int32_t requestLength, int32_t bufferSize,
                 char instance[zevs::kInstanceTextSize], int32_t requestID, const sockaddr_in* agent,
                 const char* columnOID) {
  walkAsking = true;
  return ZEVP_SNMPretrieveCurrentVarInstance(socketDescriptor, buffer, requestLength, bufferSize, instance, requestID,
                                             agent, columnOID);
}

TEST(DiscoveryRoad, TheWalkOfASilentRouterAndASweepEndBeforeTheBlockGoes) {
  RunInNetworkNamespace(kRoutedHosts, [] {
    NoNameService names;
    DiscoverySeamOverrides seams;
    seams.seams().checkActiveNode = PingUntilShutdown;
    seams.seams().retrieveCurrentVarInstance = NotedRowStep;
    NetworkConfigurationBlock* block = BlockWithRouter("10.77.0.200");
    ASSERT_NE(block, nullptr);
    TraceCapture trace("*=0x1ff");
    ASSERT_TRUE(zevs::StartRouteTableWalk(block));
    ASSERT_TRUE(zevs::StartSubnetNodeDiscovery(block));
    EXPECT_FALSE(zevs::StartRouteTableWalk(block));
    // Both are under way, waiting on the network, when the block is told to end.
    ASSERT_TRUE(Eventually([] { return sweepProbing.load() && walkAsking.load(); }, 10000));
    zevs::SignalBlockShutdown(block);
    EXPECT_TRUE(zevs::AwaitBlockUsersEnded(block, 20));
    EXPECT_EQ(block->routeTableWalkRunning, 0);
    EXPECT_EQ(block->subnetNodeDiscoveryRunning, 0);
    zevs::FreeNetworkConfigurationBlock(block);
  });
}

std::atomic<int> interfaceRows{0};

// An interface table without end: ".1", ".2", …
int EndlessInterfaceRows(int, char*, int32_t, int32_t, char instance[zevs::kInstanceTextSize], int32_t,
                         const sockaddr_in*, const char*) {
  std::snprintf(instance, zevs::kInstanceTextSize, ".%d", ++interfaceRows);
  return 1;
}

// Every get answers the INTEGER 6.
int IntegerSix(int, char*, const sockaddr_in*, const char*, int32_t*, int32_t*, const int32_t*, const char*,
               int32_t* valueLength, char** value, int32_t valueSize, int) {
  if (*value == nullptr || valueSize < 1) return 0;
  (*value)[0] = 6;
  *valueLength = 1;
  return 2;
}

TEST(DiscoveryRoad, AWalkThroughAnEndlessInterfaceTableEndsWithTheBlock) {
  RunInNetworkNamespace(kRoutedHosts, [] {
    NoNameService names;
    DiscoverySeamOverrides seams;
    seams.seams().getMIB2systemDesc = [](const sockaddr_in*, const char*) -> char* { return nullptr; };
    seams.seams().retrieveCurrentVarInstance = EndlessInterfaceRows;
    seams.seams().retrieveOneMIBvariable = IntegerSix;
    NetworkConfigurationBlock* block = BlockWithRouter("10.77.0.254");
    ASSERT_NE(block, nullptr);
    ASSERT_TRUE(zevs::StartRouteTableWalk(block));
    ASSERT_TRUE(Eventually([] { return interfaceRows.load() > 1000; }, 10000));
    zevs::SignalBlockShutdown(block);
    EXPECT_TRUE(zevs::AwaitBlockUsersEnded(block, 20));
    EXPECT_EQ(block->routeTableWalkRunning, 0);
    zevs::FreeNetworkConfigurationBlock(block);
  });
}

// In a child: the settings its block reads once stay with the process.
TEST(DiscoveryRoad, TheNetworkThreadWaitingForAFirstNetworkEndsWithTheBlock) {
  RunInChild([] {
    NetworkWorkDirectory();
    BareAnchor anchor;
    NetworkConfigurationBlock* block = ZEVS_InitializeNCB();
    ASSERT_NE(block, nullptr);
    block->anchor = anchor.get();
    TraceCapture trace("*=0x1ff");
    pthread_t thread{};
    ASSERT_EQ(pthread_create(&thread, nullptr, ZEVS_DiscoverNetworkTask, block), 0);
    EXPECT_TRUE(
        Eventually([&] { return trace.contains("Wait for router task to discover some network routes"); }, 10000));
    zevs::SignalBlockShutdown(block);
    timespec deadline{};
    clock_gettime(CLOCK_REALTIME, &deadline);
    deadline.tv_sec += 10;
    ASSERT_EQ(pthread_timedjoin_np(thread, nullptr, &deadline), 0) << "the network thread did not end";
    EXPECT_TRUE(trace.contains(">>>>> SNMP discover network monitor process ended"));
    zevs::FreeNetworkConfigurationBlock(block);
  });
}

}  // namespace
