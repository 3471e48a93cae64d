// The network monitoring server of a running SNMP data provider, in a namespace
// of the test's own: the requests it takes, a stop while a worker has the network,
// the data provider's end while workers visit silent hosts, and the sysDescr query.
#include <arpa/inet.h>
#include <gtest/gtest.h>

#include <netdb.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <string>
#include <thread>

#include "eventually.h"
#include "net_snmp.h"
#include "network_configuration_block.h"
#include "network_manage_entry.h"
#include "network_monitor.h"
#include "network_monitor_seams.h"
#include "network_namespace.h"
#include "network_state.h"
#include "pdu_exchange.h"
#include "share_caller.h"
#include "snmp_provider_run.h"
#include "snmp_thread.h"
#include "zev0/hostnames.h"
#include "zev0/storage.h"
#include "zevs/network_records.h"

namespace {

constexpr char kManagerRunning[] = "----- Start Network Monitor Server Task -----";
const NamespaceNetwork kNetwork = {{"10.77.0.1", "10.77.0.2"}, ""};

NetworkManageEntry* Request(const char* network, int32_t action, int32_t interval) {
  auto* request = static_cast<NetworkManageEntry*>(ZEV0_GetStorage(sizeof(NetworkManageEntry)));
  std::memset(static_cast<void*>(request), 0, sizeof(NetworkManageEntry));
  request->NetworkAddress = inet_addr(network);
  request->ManageAction = action;
  request->PollInterval = interval;
  return request;
}

// A copy of the network's monitored record, taken under the list's mutex; false
// when the network is not monitored.
bool MonitoredRecord(const char* network, NetworkManageEntry* copy) {
  NetworkManageEntry probe{};
  probe.NetworkAddress = inet_addr(network);
  pthread_mutex_lock(zevs::MonitoredNetworksLock());
  NetworkManageEntry* record = ZEVS_LocateExistingNME(&probe);
  if (record != nullptr) *copy = *record;
  pthread_mutex_unlock(zevs::MonitoredNetworksLock());
  return record != nullptr;
}

// The monitored record's interval, or -1 when the network is not monitored.
int32_t MonitoredInterval(const char* network) {
  NetworkManageEntry record{};
  return MonitoredRecord(network, &record) ? record.PollInterval : -1;
}

NetworkEntry* Network(const char* address) {
  uint32_t network = inet_addr(address);
  return zevs::MonitorSeams().locateKnownNetwork(&network);
}

int NoAgent(int, char*, const sockaddr_in*, const char*, const char*, char**, int32_t*) { return 0; }
int Silent(const uint32_t*, uint16_t, int, NetworkEntry*, NetworkEntry*, int32_t) { return 0; }

// Names as the system finds them, but no address has a name: a reverse look-up in
// the namespace would wait for a name server nobody runs, and hold a worker that
// is told to end.
class NoReverseNames : public zev0::Resolver {
 public:
  NoReverseNames() : previous_(zev0::SetResolver(this)) {}
  ~NoReverseNames() override { zev0::SetResolver(previous_); }
  NoReverseNames(const NoReverseNames&) = delete;
  NoReverseNames& operator=(const NoReverseNames&) = delete;

  int hostByName(const char* name, hostent* entry, char* buffer, size_t size, int* hostError) override {
    hostent* found = nullptr;
    int rc = gethostbyname_r(name, entry, buffer, size, &found, hostError);
    return rc != 0 ? rc : found == nullptr ? ENOENT : 0;
  }
  int hostByAddress(const in_addr&, hostent*, char*, size_t, int* hostError) override {
    *hostError = HOST_NOT_FOUND;
    return ENOENT;
  }
  int systemHostName(char* name, size_t size) override { return gethostname(name, size) == 0 ? 0 : errno; }

 private:
  zev0::Resolver* previous_;
};

// A ping that holds the worker until the test lets it go.
std::atomic<int> heldPings{0};
std::atomic<bool> released{false};
int HeldPing(const uint32_t*, uint16_t, int, NetworkEntry*, NetworkEntry*, int32_t) {
  ++heldPings;
  while (!released.load()) usleep(1000);
  return 0;
}
// Lets the held pings go when the test body leaves, however it leaves: declared
// after the data provider's run, so that the run's end never waits on a held worker.
struct ReleasePingsOnExit {
  ~ReleasePingsOnExit() { released = true; }
};

TEST(NetworkMonitorTest, RequestsToStartExcludeAndStop) {
  RunInNetworkNamespace(kNetwork, [] {
    zevs::MonitorSeams().retrieveOneMIBvariable = NoAgent;
    zevs::MonitorSeams().checkActiveNode = Silent;
    SnmpProviderRun run(SnmpTestProduct({"ENABLE_SNMP_DISCOVERY=N"}));
    ASSERT_TRUE(run.start());
    ASSERT_TRUE(run.waitForTrace(kManagerRunning)) << run.trace();
    DPAB* anchor = run.anchor();

    ASSERT_EQ(ZEVP_EnqueueNetManageToServer(anchor, Request("10.77.0.0", ZEVP_MANAGE_START, 600)), 1);
    ASSERT_EQ(ZEVP_EnqueueNetManageToServer(anchor, Request("10.77.0.0", ZEVP_MANAGE_START, 300)), 1);
    ASSERT_TRUE(run.waitForTrace("Monitoring interval changed from 600 to 300")) << run.trace();
    ZEVP_EnqueueNetManageToServer(anchor, Request("10.77.0.0", ZEVP_MANAGE_START, 900));
    ASSERT_TRUE(Eventually([&] { return run.trace().find(">>>>>Network 10.77.0.0 already being monitored") !=
                                        run.trace().rfind(">>>>>Network 10.77.0.0 already being monitored"); },
                           5000));
    EXPECT_EQ(MonitoredInterval("10.77.0.0"), 300) << "the smaller interval wins";
    ASSERT_TRUE(run.waitForTrace("10.77.0.0, Cycle Time")) << "a worker walked the network";
    // Only once the worker gave it back: a worker that finds it excluded drops it.
    ASSERT_TRUE(Eventually(
        [] {
          NetworkManageEntry record{};
          return MonitoredRecord("10.77.0.0", &record) && record.ManageAction == ZEVS_MANAGE_SCHEDULED;
        },
        5000));
    ASSERT_NE(Network("10.77.0.0"), nullptr);
    EXPECT_EQ(zevs::NetworkState(Network("10.77.0.0")), ZEVS_NETWORK_MANAGED);

    // Exclude with interval 0: a monitored network in state 2 or 3 goes back to 1.
    for (int32_t state : {ZEVS_NETWORK_EXCLUDED, ZEVS_NETWORK_EXCLUDED_BY_SUBNET}) {
      zevs::SetNetworkState(Network("10.77.0.0"), state);
      ZEVP_EnqueueNetManageToServer(anchor, Request("10.77.0.0", ZEVP_MANAGE_EXCLUDE, 0));
      EXPECT_TRUE(Eventually([] { return zevs::NetworkState(Network("10.77.0.0")) == ZEVS_NETWORK_MANAGED; }, 5000)) << state;
    }
    // An unmonitored network in state 2 goes to 0; an unknown one is traced.
    uint32_t other = inet_addr("10.77.5.0");
    NetworkEntry* unmonitored = zevs::MonitorSeams().updateNetworkListEntry(&other, 0, 0);
    ASSERT_NE(unmonitored, nullptr);
    ZEVP_EnqueueNetManageToServer(anchor, Request("10.77.5.0", ZEVP_MANAGE_EXCLUDE, 1));
    ASSERT_TRUE(run.waitForTrace("Network 10.77.5.0 exclude set"));
    EXPECT_EQ(zevs::NetworkState(unmonitored), ZEVS_NETWORK_EXCLUDED);
    ZEVP_EnqueueNetManageToServer(anchor, Request("10.77.5.0", ZEVP_MANAGE_EXCLUDE, 0));
    ASSERT_TRUE(run.waitForTrace("Network 10.77.5.0 exclude reset"));
    EXPECT_EQ(zevs::NetworkState(unmonitored), ZEVS_NETWORK_NOT_MANAGED);
    ZEVP_EnqueueNetManageToServer(anchor, Request("10.77.9.0", ZEVP_MANAGE_EXCLUDE, 1));
    EXPECT_TRUE(run.waitForTrace("Network 10.77.9.0 not found. Exclude ignored"));
    ZEVP_EnqueueNetManageToServer(anchor, Request("10.77.9.0", 7, 1));
    EXPECT_TRUE(run.waitForTrace(">>>>>unsupported network management action type 7")) << "and freed";

    ZEVP_EnqueueNetManageToServer(anchor, Request("10.77.5.0", ZEVP_MANAGE_STOP, 0));
    EXPECT_TRUE(run.waitForTrace(">>>>>Network 10.77.5.0 not being monitored, stop request ignored"));
    ZEVP_EnqueueNetManageToServer(anchor, Request("10.77.0.0", ZEVP_MANAGE_STOP, 0));
    EXPECT_TRUE(run.waitForTrace("Network monitoring deactivated for 10.77.0.0"));
    EXPECT_EQ(MonitoredInterval("10.77.0.0"), -1);
    EXPECT_EQ(zevs::NetworkState(Network("10.77.0.0")), ZEVS_NETWORK_NOT_MANAGED);
    run.stop();
  });
}

TEST(NetworkMonitorTest, AStopWhileAWorkerHasTheNetworkIsFreedByTheWorker) {
  RunInNetworkNamespace(kNetwork, [] {
    zevs::MonitorSeams().retrieveOneMIBvariable = NoAgent;
    zevs::MonitorSeams().checkActiveNode = HeldPing;
    SnmpProviderRun run(SnmpTestProduct({"ENABLE_SNMP_DISCOVERY=N"}));
    ReleasePingsOnExit releasePings;
    ASSERT_TRUE(run.start());
    ASSERT_TRUE(run.waitForTrace(kManagerRunning)) << run.trace();
    ZEVP_EnqueueNetManageToServer(run.anchor(), Request("10.77.0.0", ZEVP_MANAGE_START, 60));
    ASSERT_TRUE(Eventually([] { return heldPings.load() > 0; }, 5000)) << "a worker visits the first host";
    ZEVP_EnqueueNetManageToServer(run.anchor(), Request("10.77.0.0", ZEVP_MANAGE_STOP, 0));
    ASSERT_TRUE(run.waitForTrace("Network monitoring deactivated for 10.77.0.0"));
    EXPECT_EQ(run.trace().find("Do dp_offline for network 10.77.0.0"), std::string::npos)
        << "the server leaves the record to the worker";
    released = true;
    EXPECT_TRUE(run.waitForTrace(">>>>> Do dp_offline for network 10.77.0.0")) << "the worker frees it";
    run.stop();
  });
}

TEST(NetworkMonitorTest, TheDataProviderEndsWhileWorkersVisitSilentHosts) {
  RunInNetworkNamespace(kNetwork, [] {
    // Under the fixture's clock the data provider waits about two seconds for its
    // threads' end: an SNMP wait "second" of 20 ms and no reverse look-ups keep the
    // workers' end well within it.
    zevp::SetPDUwaitSecondForTests(20);
    NoReverseNames names;
    SnmpProviderRun run(SnmpTestProduct({"ENABLE_SNMP_DISCOVERY=N"}));
    ASSERT_TRUE(run.start());
    ASSERT_TRUE(run.waitForTrace(kManagerRunning)) << run.trace();
    for (const char* network : {"10.77.0.0", "10.77.1.0"}) {
      ZEVP_EnqueueNetManageToServer(run.anchor(), Request(network, ZEVP_MANAGE_START, 60));
    }
    ASSERT_TRUE(run.waitForTrace(">>>>>Network Monitor work task now managing network 10.77.1.0"));
    ASSERT_TRUE(run.waitForTrace(">>>>>Check #1 node 10.77.1."));
    EXPECT_EQ(run.stop(), &ZEVS_ThreadRC);
    EXPECT_NE(run.trace().find(">>>>> SNMP network monitor worker process ended."), std::string::npos);
  });
}

TEST(NetworkMonitorTest, TheSysDescrOfAnAgentOverOneSocketPerThread) {
  RunInNetworkNamespace(kNetwork, [] {
    zevp::SetPDUwaitSecondForTests(100);
    SnmpAgentSettings settings;
    settings.address = "10.77.0.1";
    settings.sysDescr = "Lab router";
    SnmpAgentProcess agent(settings);
    ASSERT_TRUE(agent.start()) << agent.failure();
    NetworkConfigurationBlock* block = ZEVS_InitializeNCB();
    ASSERT_NE(block, nullptr);
    ZEV0_FreeStorage(&block->defaultCommunity);
    block->defaultCommunity = static_cast<char*>(ZEV0_GetStorage(7));
    std::strcpy(block->defaultCommunity, "public");
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = inet_addr("10.77.0.1");
    char* description = ZEVS_GetMIB2systemDesc(&address, nullptr);
    ASSERT_NE(description, nullptr);
    EXPECT_STREQ(description, "Lab router");
    ZEV0_FreeStorage(&description);
    ShareCallerBlock* first = block->shareCallers;
    ASSERT_NE(first, nullptr);
    description = ZEVS_GetMIB2systemDesc(&address, "public");
    EXPECT_STREQ(description, "Lab router");
    ZEV0_FreeStorage(&description);
    EXPECT_EQ(block->shareCallers, first);
    EXPECT_EQ(first->next, nullptr) << "the thread's block is reused";

    address.sin_addr.s_addr = inet_addr("10.77.0.9");
    EXPECT_EQ(ZEVS_GetMIB2systemDesc(&address, nullptr), nullptr) << "a silent host";
    std::thread other([&] {
      address.sin_addr.s_addr = inet_addr("10.77.0.1");
      char* text = ZEVS_GetMIB2systemDesc(&address, nullptr);
      EXPECT_STREQ(text, "Lab router");
      ZEV0_FreeStorage(&text);
    });
    other.join();
    ASSERT_NE(first->next, nullptr) << "another thread gets a block of its own";
    EXPECT_EQ(first->next->next, nullptr);
    zevs::FreeNetworkConfigurationBlock(block);
  });
}

}  // namespace
