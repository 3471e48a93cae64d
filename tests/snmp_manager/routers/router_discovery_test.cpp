// Router discovery in process: the RIP request and the router port, RIP responses
// read into the network list and the sender's arrays, routers found or added, their
// ROUTER rows, the router work file, the chain of a network's routers, the status
// scan, the route walk's exclusion of networks by interface type and the report
// pace. Names come from a fixed name service and every probe is played by the test:
// nothing leaves the process.
#include <arpa/inet.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "discovery_seam_overrides.h"
#include "fixed_name_service.h"
#include "manual_clock.h"
#include "network_block_fixture.h"
#include "network_masks.h"
#include "network_summary_row.h"
#include "rip_message_bytes.h"
#include "rip_messages.h"
#include "route_table_walk.h"
#include "router_discovery.h"
#include "router_list.h"
#include "router_row.h"
#include "router_status_scan.h"
#include "router_work_file.h"
#include "trace_capture.h"
#include "zev0/ber.h"
#include "zev0/storage.h"

namespace {

std::string Dotted(uint32_t address) { return zevs::DottedAddress(address); }

int refusedPings = 0;
int refusedGets = 0;

int SilentPing(const uint32_t*, uint16_t, int, NetworkEntry*, NetworkEntry*, int32_t) {
  ++refusedPings;
  return 0;
}

int SilentGet(int, char*, const sockaddr_in*, const char*, int32_t*, int32_t*, const int32_t*, const char*, int32_t*,
              char**, int32_t, int) {
  ++refusedGets;
  return 0;
}

class RouterDiscoveryTest : public NetworkBlockTest {
 protected:
  void SetUp() override {
    NetworkBlockTest::SetUp();
    refusedPings = refusedGets = 0;
    seams_.seams().checkActiveNode = SilentPing;
    seams_.seams().retrieveOneMIBvariable = SilentGet;
    seams_.seams().getMIB2systemDesc = [](const sockaddr_in*, const char*) -> char* { return nullptr; };
    ShowPassiveRouters = 1;
  }

  static RouterEntry* Register(const char* address, int32_t status) {
    sockaddr_in socketAddress{};
    socketAddress.sin_family = AF_INET;
    socketAddress.sin_addr.s_addr = inet_addr(address);
    return ZEVS_UpdateDiscoveredRouter(&socketAddress, status);
  }

  static std::string Row(RouterEntry* router) {
    std::vector<char> buffer(ZEVS_ROUTER_ROW_SIZE, '\0');
    const int32_t length = ZEVS_FormatRouterInfoBuffer(router, buffer.data());
    EXPECT_EQ(static_cast<size_t>(length), std::strlen(buffer.data()));
    return std::string(buffer.data(), static_cast<size_t>(length));
  }

  std::vector<std::string> routerAddresses() const {
    std::vector<std::string> all;
    for (RouterEntry* router = block_->routers; router != nullptr; router = router->next)
      all.emplace_back(router->addressText);
    return all;
  }

  FixedNameService names_{{{"10.77.0.254", "gw1.example"}, {"10.1.1.1", "gw2"}}};
  DiscoverySeamOverrides seams_;
};

TEST_F(RouterDiscoveryTest, TheRequestAsksForTheWholeTableOnTheRouterPort) {
  char request[64];
  std::memset(request, 0x55, sizeof request);
  ASSERT_EQ(ZEVS_FormatRouteRequest(request), 24);
  const unsigned char expected[24] = {1, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 16};
  EXPECT_EQ(std::memcmp(request, expected, sizeof expected), 0);

  // Debian's services name the RIP port "route" with the alias "router".
  EXPECT_EQ(ntohs(ZEVS_GetRouterPort()), 520);

  static char route[] = "route";
  static char router[] = "router";
  static char other[] = "other";
  static char* routerFirst[] = {router, nullptr};
  static char* routerSecond[] = {other, router, nullptr};
  static servent named{route, routerFirst, static_cast<int>(htons(1520)), nullptr};
  static servent aliasedLater{other, routerSecond, static_cast<int>(htons(1521)), nullptr};
  struct Case {
    zevs::ServiceLookup lookup;
    uint16_t port;
  };
  const Case cases[] = {
      {[](const char*, const char*) -> const servent* { return nullptr; }, 520},
      {[](const char*, const char*) -> const servent* { return &named; }, 1520},
      {[](const char*, const char*) -> const servent* { return &aliasedLater; }, 520},
  };
  for (const Case& c : cases) EXPECT_EQ(ntohs(zevs::RouterPortFrom(c.lookup)), c.port);
}

TEST_F(RouterDiscoveryTest, ResponsesEnterTheirNetworksAndTheSendersSlots) {
  RouterEntry* sender = Register("10.77.0.254", ZEVS_ROUTER_ONLINE);
  ASSERT_NE(sender, nullptr);
  Enter("10.3.0.0", "255.255.0.0");
  TraceCapture trace;

  // Version 2: the mask, metric and next hop are the entry's.
  std::vector<char> message = RIPmessage(2, 2, {{"10.2.0.0", "255.255.0.0", "10.1.1.254", 3}});
  ZEVS_ProcessRIPmessage(message.data(), static_cast<int32_t>(message.size()), sender);
  NetworkEntry* added = ZEVS_LocateKnownNetwork(&(const uint32_t&)inet_addr("10.2.0.0"));
  ASSERT_NE(added, nullptr);
  EXPECT_EQ(added->networkMask, 0xFFFF0000u);
  ASSERT_EQ(sender->networkCount, 1);
  EXPECT_EQ(sender->networks[0], added);
  EXPECT_EQ(sender->metrics[0], 3u);
  EXPECT_EQ(Dotted(sender->nextHops[0]), "10.1.1.254");

  // Metric 16 adds no network but links a known one.
  message = RIPmessage(2, 1, {{"10.3.0.0", "0.0.0.0", "0.0.0.0", 16}, {"10.4.0.0", "0.0.0.0", "0.0.0.0", 16}});
  ZEVS_ProcessRIPmessage(message.data(), static_cast<int32_t>(message.size()), sender);
  EXPECT_EQ(listed(), (std::vector<std::string>{"10.3.0.0", "10.2.0.0"}));
  ASSERT_EQ(sender->networkCount, 2);
  EXPECT_EQ(Dotted(sender->networks[1]->networkAddress), "10.3.0.0");
  EXPECT_EQ(sender->metrics[1], 16u);

  // Requests, version 0, unknown versions, short and cut datagrams add nothing.
  const std::vector<char> request = RIPmessage(1, 2, {{"10.5.0.0", "255.255.0.0", "0.0.0.0", 1}});
  const std::vector<char> version0 = RIPmessage(2, 0, {{"10.6.0.0", "255.255.0.0", "0.0.0.0", 1}});
  const std::vector<char> version3 = RIPmessage(2, 3, {{"10.7.0.0", "255.255.0.0", "0.0.0.0", 1}});
  std::vector<char> cut = RIPmessage(2, 2, {{"10.8.0.0", "255.255.0.0", "0.0.0.0", 1}, {"10.9.0.0", "255.255.0.0", "0.0.0.0", 1}});
  cut.resize(cut.size() - 1);
  const std::vector<char> tiny(cut.begin(), cut.begin() + 3);
  for (const std::vector<char>* datagram : {&request, &version0, &version3, &tiny}) {
    // Exactly as long as the datagram, so that a read past it is seen.
    std::vector<char> exact(*datagram);
    ZEVS_ProcessRIPmessage(exact.data(), static_cast<int32_t>(exact.size()), sender);
  }
  std::vector<char> exact(cut);
  ZEVS_ProcessRIPmessage(exact.data(), static_cast<int32_t>(exact.size()), sender);
  EXPECT_EQ(listed(), (std::vector<std::string>{"10.3.0.0", "10.2.0.0", "10.8.0.0"}));
  const std::string traced = trace.take();
  EXPECT_NE(traced.find("unsupported router message version 3 ignored"), std::string::npos);
  EXPECT_EQ(traced.find("version 0"), std::string::npos);
}

TEST_F(RouterDiscoveryTest, AConfirmedSenderWithABetterMetricBecomesTheNetworksRouter) {
  // The list's first network is the host's own, of metric 0.
  Enter("10.77.0.0", "255.255.255.0");
  NetworkEntry* network = Enter("10.3.0.0", "255.255.0.0");
  ASSERT_NE(network, nullptr);
  RouterEntry* unconfirmed = Register("10.77.0.254", ZEVS_ROUTER_ONLINE);
  RouterEntry* confirmed = Register("10.1.1.1", ZEVS_ROUTER_ONLINE);
  confirmed->unconfirmed = 0;
  const std::vector<char> message = RIPmessage(2, 2, {{"10.3.0.0", "255.255.0.0", "0.0.0.0", 4}});
  ZEVS_ProcessRIPmessage(message.data(), static_cast<int32_t>(message.size()), unconfirmed);
  EXPECT_EQ(network->router, nullptr);
  ZEVS_ProcessRIPmessage(message.data(), static_cast<int32_t>(message.size()), confirmed);
  EXPECT_EQ(network->router, confirmed);
  EXPECT_EQ(network->routeMetric, 4);
}

TEST_F(RouterDiscoveryTest, RoutersAreFoundByAddressAndLoopbackAndZeroAreNone) {
  EXPECT_EQ(Register("0.0.0.0", ZEVS_ROUTER_VERIFY), nullptr);
  EXPECT_EQ(Register("127.0.0.1", ZEVS_ROUTER_VERIFY), nullptr);
  RouterEntry* gateway = Register("10.77.0.254", ZEVS_ROUTER_VERIFY);
  ASSERT_NE(gateway, nullptr);
  EXPECT_STREQ(gateway->name, "gw1");
  EXPECT_STREQ(gateway->addressText, "10.77.0.254");
  EXPECT_EQ(gateway->unconfirmed, 1);
  EXPECT_EQ(gateway->capacity, 16);
  EXPECT_EQ(Register("10.77.0.254", ZEVS_ROUTER_ONLINE), gateway);
  EXPECT_EQ(gateway->status, ZEVS_ROUTER_ONLINE);
  RouterEntry* unnamed = Register("10.9.9.9", ZEVS_ROUTER_VERIFY);
  ASSERT_NE(unnamed, nullptr);
  EXPECT_STREQ(unnamed->name, "10.9.9.9");
  EXPECT_EQ(routerAddresses(), (std::vector<std::string>{"10.77.0.254", "10.9.9.9"}));
  EXPECT_EQ(block_->routerCount, 2);
}

TEST_F(RouterDiscoveryTest, RowsShowStatusNetworksAndPassiveRouters) {
  RouterEntry* gateway = Register("10.77.0.254", ZEVS_ROUTER_ONLINE);
  NetworkEntry* first = Enter("10.78.0.0", "255.255.0.0");
  NetworkEntry* second = Enter("10.79.0.0", "255.255.0.0");
  ASSERT_TRUE(zevs::AddRouterNetwork(gateway, first, 1, 0));
  EXPECT_FALSE(zevs::AddRouterNetwork(gateway, first, 1, 0));

  EXPECT_EQ(Row(gateway), "gw1;10.77.0.254; ;Passive;0;10.78.0.0 ;");
  ShowPassiveRouters = 0;
  EXPECT_EQ(Row(gateway), "");
  ShowPassiveRouters = 1;

  ASSERT_TRUE(zevs::AddRouterNetwork(gateway, second, 1, 0));
  gateway->status = ZEVS_ROUTER_VERIFY;
  EXPECT_EQ(Row(gateway), "gw1;10.77.0.254; ;On-line;2;10.78.0.0, 10.79.0.0 ;");
  EXPECT_EQ(gateway->status, ZEVS_ROUTER_ONLINE);

  struct Case {
    int32_t status;
    const char* word;
  };
  for (const Case& c : {Case{ZEVS_ROUTER_OFFLINE, "Off-line;2;"}, Case{7, "Unknown;2;"}}) {
    gateway->status = c.status;
    EXPECT_NE(Row(gateway).find(c.word), std::string::npos) << c.word;
  }

  // A ';' of a name or a description stays inside its field.
  ZEV0_FreeStorage(&gateway->name);
  gateway->name = static_cast<char*>(ZEV0_GetStorage(16));
  std::snprintf(gateway->name, 16, "gw;1");
  gateway->description = static_cast<char*>(ZEV0_GetStorage(32));
  std::snprintf(gateway->description, 32, "Linux; router ;");
  gateway->status = ZEVS_ROUTER_OFFLINE;
  EXPECT_EQ(Row(gateway), "gw,1;10.77.0.254;Linux, router ,;Off-line;2;10.78.0.0, 10.79.0.0 ;");
}

TEST_F(RouterDiscoveryTest, TheSeventeenthNetworkGrowsTheArraysToThirtyTwo) {
  RouterEntry* gateway = Register("10.77.0.254", ZEVS_ROUTER_ONLINE);
  TraceCapture trace;
  for (int i = 0; i < 17; ++i) {
    NetworkEntry* network = Enter(("10.100." + std::to_string(i) + ".0").c_str(), "255.255.255.0");
    ASSERT_TRUE(zevs::AddRouterNetwork(gateway, network, static_cast<uint32_t>(i), 0));
  }
  EXPECT_EQ(gateway->capacity, 32);
  EXPECT_EQ(Dotted(gateway->networks[16]->networkAddress), "10.100.16.0");
  EXPECT_EQ(gateway->metrics[16], 16u);
  EXPECT_EQ(gateway->metrics[3], 3u);
  EXPECT_EQ(gateway->networks[17], nullptr);
  EXPECT_TRUE(trace.contains("Router network array increased to 32"));
  EXPECT_NE(Row(gateway).find(";On-line;17;10.100.0.0, "), std::string::npos);
}

TEST_F(RouterDiscoveryTest, TheWorkFileListsTheRoutersAndIsReadBackAsVerify) {
  Register("10.77.0.254", ZEVS_ROUTER_ONLINE);
  ZEVS_WriteRouterConfigToExt(block_);
  std::ifstream written(block_->routerWorkFileName);
  std::stringstream text;
  text << written.rdbuf();
  EXPECT_EQ(text.str(), "Router Address,Router Name\n10.77.0.254,gw1,\n");

  const std::string overLong = "10.5.5.5," + std::string(600, 'x') + "9.9.9.9,\n";
  FILE* file = std::fopen(block_->routerWorkFileName, "w");
  std::fprintf(file, "Router Address,Router Name\n10.1.1.1,gw2,\n%s300.1.1.1,bad,\n127.0.0.1,lo,\n", overLong.c_str());
  std::fclose(file);
  ZEVS_ReadRouterConfigFromExt(block_);
  EXPECT_EQ(routerAddresses(), (std::vector<std::string>{"10.77.0.254", "10.1.1.1"}));
  EXPECT_EQ(block_->routers->next->status, ZEVS_ROUTER_VERIFY);
}

TEST_F(RouterDiscoveryTest, ANetworksRoutersAreThoseWithinIt) {
  NetworkEntry* network = Enter("10.77.0.0", "255.255.255.0");
  RouterEntry* inside = Register("10.77.0.254", ZEVS_ROUTER_ONLINE);
  Register("10.1.1.1", ZEVS_ROUTER_ONLINE);
  RouterEntry* alsoInside = Register("10.77.0.1", ZEVS_ROUTER_ONLINE);
  ZEVS_LocateNetworkRouters(network);
  ASSERT_EQ(network->routers, inside);
  EXPECT_EQ(inside->nextOnNetwork, alsoInside);
  EXPECT_EQ(alsoInside->nextOnNetwork, nullptr);
}

TEST_F(RouterDiscoveryTest, TheStatusScanPingsThenAsksAndLeavesVerifyAlone) {
  Enter("10.77.0.0", "255.255.255.0");
  RouterEntry* silent = Register("10.77.0.254", ZEVS_ROUTER_ONLINE);
  RouterEntry* verify = Register("10.77.0.1", ZEVS_ROUTER_VERIFY);
  RouterEntry* homeless = Register("10.1.1.1", ZEVS_ROUTER_ONLINE);
  zevs::RouterScanChannel channel;
  TraceCapture trace;
  zevs::ScanRouterStatus(block_, channel);
  EXPECT_EQ(silent->status, ZEVS_ROUTER_OFFLINE);
  EXPECT_EQ(homeless->status, ZEVS_ROUTER_OFFLINE);
  EXPECT_EQ(verify->status, ZEVS_ROUTER_VERIFY);
  EXPECT_EQ(refusedPings, 1);
  EXPECT_EQ(refusedGets, 1);
  EXPECT_TRUE(trace.contains("Router 10.77.0.254 did not respond to ping, attempting SNMP Get request..."));

  // An answer to the get, or to the ping, makes it On-line.
  seams_.seams().retrieveOneMIBvariable = [](int, char*, const sockaddr_in*, const char*, int32_t*, int32_t*,
                                             const int32_t*, const char*, int32_t*, char**, int32_t, int) { return 2; };
  zevs::ScanRouterStatus(block_, channel);
  EXPECT_EQ(silent->status, ZEVS_ROUTER_ONLINE);
  silent->status = ZEVS_ROUTER_OFFLINE;
  seams_.seams().retrieveOneMIBvariable = SilentGet;
  seams_.seams().checkActiveNode = [](const uint32_t*, uint16_t, int, NetworkEntry*, NetworkEntry*, int32_t) {
    return 1;
  };
  zevs::ScanRouterStatus(block_, channel);
  EXPECT_EQ(silent->status, ZEVS_ROUTER_ONLINE);
}

// A router's MIB as the route walk reads it, column after column in walk order:
// each value is the BER tag and the value's bytes.
struct PlayedVariable {
  std::string oid;
  int tag;
  std::string bytes;
};
std::vector<PlayedVariable> playedMIB;

PlayedVariable Integer(const std::string& oid, int32_t value) {
  std::string bytes;
  for (int shift = 24; shift >= 0; shift -= 8) bytes += static_cast<char>(static_cast<uint32_t>(value) >> shift);
  return {oid, ZEV0_ASN_INTEGER, bytes};
}
PlayedVariable IpAddress(const std::string& oid, const char* dotted) {
  const uint32_t address = inet_addr(dotted);
  return {oid, 0x40, std::string(reinterpret_cast<const char*>(&address), sizeof address)};
}

// The GetNext of the walk: the next variable of the column after the instance.
int PlayedRowStep(int, char* buffer, int32_t, int32_t bufferSize, char instance[zevs::kInstanceTextSize], int32_t,
                  const sockaddr_in*, const char* columnOID) {
  std::memset(buffer, 0, static_cast<size_t>(bufferSize));
  const std::string column = std::string(columnOID) + ".";
  const std::string current = std::string(columnOID) + instance;
  bool passed = instance[0] == '\0';
  for (const PlayedVariable& variable : playedMIB) {
    if (variable.oid.rfind(column, 0) != 0) continue;
    if (passed) {
      std::snprintf(instance, zevs::kInstanceTextSize, "%s", variable.oid.substr(column.size() - 1).c_str());
      return 1;
    }
    passed = variable.oid == current;
  }
  return 0;
}

// The Get of the walk: the variable whose encoded OID is the one asked.
int PlayedGet(int, char*, const sockaddr_in*, const char*, int32_t*, int32_t*, const int32_t* oidLength,
              const char* oid, int32_t* valueLength, char** value, int32_t valueSize, int) {
  for (const PlayedVariable& variable : playedMIB) {
    char* field = nullptr;
    int32_t length = 0;
    if (ZEV0_FormatOIDfromString(variable.oid.c_str(), &field, &length) == 0) continue;
    const bool same = length == *oidLength && std::memcmp(field, oid, static_cast<size_t>(length)) == 0;
    ZEV0_FreeStorage(&field);
    if (!same || static_cast<int32_t>(variable.bytes.size()) > valueSize) continue;
    std::memcpy(*value, variable.bytes.data(), variable.bytes.size());
    *valueLength = static_cast<int32_t>(variable.bytes.size());
    return variable.tag;
  }
  return 0;
}

// The interface of each route decides whether its network is excluded: an interface
// of an excluded type (softwareLoopback, 24) excludes it, "Excluded-S"; an ifIndex
// below 1 or above every interface the router listed, or of another type, does not;
// one from 512 up always does.
TEST_F(RouterDiscoveryTest, ARouteOverAnExcludedInterfaceTypeExcludesItsNetwork) {
  const std::string ifIndex = "1.3.6.1.2.1.2.2.1.1";
  const std::string ifType = "1.3.6.1.2.1.2.2.1.3";
  playedMIB = {Integer(ifIndex + ".1", 1), Integer(ifIndex + ".2", 2), Integer(ifIndex + ".600", 600),
               Integer(ifType + ".1", 24), Integer(ifType + ".2", 6), Integer(ifType + ".600", 6)};
  const struct Route {
    const char* destination;
    int32_t ifIndex;
    const char* managed;
  } routes[] = {
      {"10.61.0.0", 1, "Excluded-S"}, {"10.62.0.0", 2, "No"},  {"10.63.0.0", 0, "No"},
      {"10.64.0.0", -1, "No"},        {"10.65.0.0", 600, "Excluded-S"}, {"10.66.0.0", 601, "No"},
  };
  const std::string routeTable = "1.3.6.1.2.1.4.21.1.";
  for (const std::string column : {"1", "11", "2"})
    for (const Route& route : routes) {
      const std::string oid = routeTable + column + "." + route.destination;
      if (column == "1") playedMIB.push_back(IpAddress(oid, route.destination));
      if (column == "11") playedMIB.push_back(IpAddress(oid, "255.255.0.0"));
      if (column == "2") playedMIB.push_back(Integer(oid, route.ifIndex));
    }
  seams_.seams().retrieveCurrentVarInstance = PlayedRowStep;
  seams_.seams().retrieveOneMIBvariable = PlayedGet;
  Enter("10.77.0.0", "255.255.255.0");
  RouterEntry* gateway = Register("10.77.0.254", ZEVS_ROUTER_VERIFY);
  ManualClock clock;
  ZEVS_DiscoverRouterViaSNMP(block_);
  EXPECT_EQ(gateway->status, ZEVS_ROUTER_ONLINE) << "its routes were read";
  EXPECT_EQ(block_->routeTableWalkRunning, 0);
  for (const Route& route : routes) {
    SCOPED_TRACE(route.destination);
    NetworkEntry* network = ZEVS_LocateKnownNetwork(&(const uint32_t&)inet_addr(route.destination));
    ASSERT_NE(network, nullptr);
    EXPECT_EQ(network->learnedFromRouteTable, 1);
    BSV1_GetLock(&network->lock);
    const std::string row = zevs::NetworkSummaryRow(network);
    BSV1_ReleaseLock(&network->lock);
    EXPECT_NE(row.find(std::string(";") + route.managed + ";"), std::string::npos) << row;
  }
  EXPECT_EQ(gateway->networkCount, 6);
}

TEST(RouterReportPace, TheTTLPacesReportsUpToAnHour) {
  EXPECT_EQ(zevs::NextRouterReport(1000, 600), 1600);
  EXPECT_EQ(zevs::NextRouterReport(1000, 3600), 4600);
  EXPECT_EQ(zevs::NextRouterReport(1000, 14400), 4600);
}

}  // namespace
