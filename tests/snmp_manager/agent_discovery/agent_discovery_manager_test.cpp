// The agent discovery manager in process: requests probed by its clients against test
// agents on loopback, the recheck of every agent with the agents file, requests for
// routers, the growth of the client pool, and the shut-down.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <pthread.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include "agent_discovery_manager.h"
#include "agent_discovery_server.h"
#include "agents_file.h"
#include "default_product_work_directory.h"
#include "discovery_client.h"
#include "discovery_requests.h"
#include "discovery_seam_overrides.h"
#include "dp_start.h"
#include "eventually.h"
#include "fixed_name_service.h"
#include "gated_name_service.h"
#include "free_port.h"
#include "gated_clock.h"
#include "local_networks.h"
#include "manager_routine_overrides.h"
#include "manager_switches.h"
#include "manual_clock.h"
#include "network_configuration_block.h"
#include "ploven_agent_entry.h"
#include "refused_thread_starts.h"
#include "router_list.h"
#include "rpc_server.h"
#include "test_raf_agent.h"
#include "trace_capture.h"
#include "zev0/affinity_table.h"

namespace {

const ScratchDirectory& WorkDirectory() { return DefaultProductWorkDirectory("zev_agent_discovery"); }

// The manager goes on without a listener: its instruction names port 0, which the
// test agents do not call back, at the host's address that is not a loopback one.
std::string Instruction() { return "REGISTER(ip:#" + ZEVS_ReachableLocalAddress() + "[0])"; }

void* ListenNowhere(void* port) {
  static_cast<std::atomic<int32_t>*>(port)->store(kNoPlovenListenPort);
  return nullptr;
}

const std::string kDorvane = ZEV0_FindAffinity("AFF_DORVANE")->code;
const char kRouter[] = "10.77.0.254";

class AgentDiscoveryManager : public ::testing::Test {
 protected:
  void SetUp() override {
    WorkDirectory().remove("ZEVSAGNT");
    basePort_ = FreeLoopbackPorts(10);
    ASSERT_NE(basePort_, 0);
    setenv("PXRAF_IP_PORT", std::to_string(basePort_).c_str(), 1);
    setenv("ZEV_RPC_CALL_WAIT_MS", "150", 1);
    unsetenv("ZEVP_SNMP_PLOVEN_MAX_CLIENT_TASKS");
    overrides_.routines().listenPlovenAgentReply = ListenNowhere;
    seams_.seams().getMIB2systemDesc = [](const sockaddr_in*, const char*) -> char* { return nullptr; };
    PlovenAgentDiscoveryEnabled = 1;
    makeBlock();
  }
  void TearDown() override {
    names_.open();
    EXPECT_TRUE(stop()) << "the manager did not end";
    freeBlock();
    PlovenAgentDiscoveryEnabled = 0;
  }

  // A block that knows one router, whose address serves as a marker request.
  void makeBlock() {
    block_ = ZEVS_InitializeNCB();
    ASSERT_NE(block_, nullptr);
    sockaddr_in router{};
    router.sin_family = AF_INET;
    router.sin_addr.s_addr = inet_addr(kRouter);
    ASSERT_NE(ZEVS_UpdateDiscoveredRouter(&router, 1), nullptr);
  }
  void freeBlock() {
    if (block_ != nullptr) zevs::FreeNetworkConfigurationBlock(block_);
    block_ = nullptr;
  }

  // The manager on a thread of the test, serving requests on return. A request posted
  // before its start line would be dropped, not queued.
  void start() {
    const int started = trace_.count("agent manager process started");
    ASSERT_EQ(pthread_create(&manager_, nullptr, ZEVS_DiscoverPlovenManagerTask, block_), 0);
    running_ = true;
    ASSERT_TRUE(Eventually([&] { return trace_.count("agent manager process started") > started; }, 5000));
    awaitRequestsHandled();
  }
  // True when the manager ended within the time.
  bool join(int seconds) {
    if (!running_) return true;
    timespec deadline{};
    clock_gettime(CLOCK_REALTIME, &deadline);
    deadline.tv_sec += seconds;
    if (pthread_timedjoin_np(manager_, nullptr, &deadline) != 0) return false;
    running_ = false;
    return true;
  }
  // As the manager task stops it: the block's flag, then an empty request.
  bool stop() {
    if (!running_) return true;
    zevs::SignalBlockShutdown(block_);
    ZEVS_EnqueuePlovenDiscoveryRequest(nullptr);
    return join(20);
  }

  int clientsReady() { return trace_.count("Discover Ploven agent client task ready"); }
  int tries(int32_t port, const std::string& host) {
    return trace_.count("Trying port " + std::to_string(port) + " on host " + host + "\n");
  }
  // Posts a request for a known router and waits until the manager has dropped it:
  // every request posted before has then been handled.
  void awaitRequestsHandled() {
    const int dropped = trace_.count("bypassed for network router");
    ZEVS_EnqueuePlovenDiscoveryRequest(kRouter);
    ASSERT_TRUE(Eventually([&] { return trace_.count("bypassed for network router") > dropped; }, 10000));
  }
  // The agent entry at the index of the list, or null.
  PlovenAgentEntry* agent(int index) {
    BSV1_GetLock(&block_->agentListLock);
    PlovenAgentEntry* entry = block_->agents;
    for (; entry != nullptr && index > 0; --index) entry = entry->next;
    BSV1_ReleaseLock(&block_->agentListLock);
    return entry;
  }
  static std::string FileLine(const std::string& system, const std::string& address) {
    return "host;" + address + ";" + system + ";Product;02.00.00;No feature reported;" + kDorvane + ";\n";
  }

  // The local host "dphost" is 127.0.0.1; names that begin with "busy" keep the
  // clients that resolve them busy while the gate is closed.
  GatedNameService names_{{{"127.0.0.1", "dphost"}}, "busy"};
  ManualClock clock_;
  TraceCapture trace_{"*=0x1ff"};
  ManagerRoutineOverrides overrides_;
  DiscoverySeamOverrides seams_;
  unsigned short basePort_ = 0;
  NetworkConfigurationBlock* block_ = nullptr;
  pthread_t manager_{};
  bool running_ = false;
};

// The next StartAgent that the agent served (its call-backs' lines passed by).
std::map<std::string, std::string> NextStartAgent(TestRafAgent& agent) {
  for (;;) {
    const std::string line = agent.nextLine();
    if (line.empty() || line.rfind("StartAgent|", 0) == 0) return AgentLineFields(line);
  }
}

TEST_F(AgentDiscoveryManager, NewAddressIsProbedOnTheTenPortsEvenWhenTheFirstAnswers) {
  TestRafAgent first("127.0.0.1", basePort_), last("127.0.0.1", basePort_ + 9);
  ASSERT_TRUE(first.started()) << first.process().errorText();
  ASSERT_TRUE(last.started()) << last.process().errorText();
  start();
  EXPECT_EQ(clientsReady(), 5);
  ZEVS_EnqueuePlovenDiscoveryRequest("127.0.0.1");
  for (TestRafAgent* agent : {&first, &last}) {
    std::map<std::string, std::string> call = NextStartAgent(*agent);
    EXPECT_EQ(call[""], "StartAgent");
    EXPECT_EQ(call["target"], "127.0.0.1");
    EXPECT_EQ(call["instruction"], Instruction());
    EXPECT_EQ(call["length"], std::to_string(Instruction().size()));
  }
  EXPECT_TRUE(Eventually([&] { return trace_.count("Trying port ") == 10; }, 5000));
  for (int32_t port = basePort_; port < basePort_ + 10; ++port) EXPECT_EQ(tries(port, "127.0.0.1"), 1) << port;
  EXPECT_EQ(trace_.count("Dispatch RPC client "), 1);
}

TEST_F(AgentDiscoveryManager, RecheckProbesEachHostOnceOnItsBasePortAndRewritesTheFileAfterARegistration) {
  TestRafAgent hostA("127.0.0.1", basePort_), hostB("127.0.0.2", basePort_);
  ASSERT_TRUE(hostA.started()) << hostA.process().errorText();
  ASSERT_TRUE(hostB.started()) << hostB.process().errorText();
  // An agent and its subnode on one host, an agent of another host, then the first
  // host again.
  const std::string file = std::string(zevs::kAgentsFileHeader) + "\n" + FileLine("a1", "127.0.0.1") +
                           FileLine("a2", "127.0.0.1") + FileLine("b1", "127.0.0.2") + FileLine("a3", "127.0.0.1");
  WorkDirectory().write("ZEVSAGNT", file);

  // The manager's start loads the file and rechecks.
  start();
  auto expectRecheck = [&](int round) {
    for (int probe = 0; probe < 2; ++probe)
      EXPECT_EQ(NextStartAgent(hostA)["target"], "127.0.0.1") << round;
    EXPECT_EQ(NextStartAgent(hostB)["target"], "127.0.0.2") << round;
    EXPECT_TRUE(Eventually([&] { return tries(basePort_, "127.0.0.1") == 2 * round; }, 5000)) << round;
    EXPECT_EQ(tries(basePort_, "127.0.0.2"), round);
    EXPECT_EQ(trace_.count("Trying port "), 3 * round) << "the base port only";
  };
  expectRecheck(1);
  ASSERT_NE(agent(3), nullptr);

  // Nobody registered since the start: the file stays as it was.
  WorkDirectory().remove("ZEVSAGNT");
  ZEVS_EnqueuePlovenDiscoveryRequest("0.0.0.0");
  awaitRequestsHandled();
  expectRecheck(2);
  EXPECT_EQ(WorkDirectory().read("ZEVSAGNT"), "");

  // a2 registers: the next recheck writes the list.
  clock_.advance(1000);
  PlovenAgentEntry* a2 = agent(1);
  BSV1_GetLock(&a2->lock);
  a2->lastReplyTime = clock_.now().seconds;
  BSV1_ReleaseLock(&a2->lock);
  ZEVS_EnqueuePlovenDiscoveryRequest("0.0.0.0");
  awaitRequestsHandled();
  expectRecheck(3);
  std::string written = WorkDirectory().read("ZEVSAGNT");
  EXPECT_EQ(written.substr(0, written.find('\n') + 1), std::string(zevs::kAgentsFileHeader) + "\n");
  for (const char* system : {"a1", "a2", "b1", "a3"})
    EXPECT_NE(written.find(std::string(";") + system + ";"), std::string::npos) << system;
  EXPECT_EQ(trace_.count("Dispatch RPC client "), 9) << "no probe of the router";
  EXPECT_EQ(trace_.count(std::string("Agent discovery request bypassed for network router ") + kRouter), 3);
}

TEST_F(AgentDiscoveryManager, PoolGrowsByOneClientPerScanAfterTenInTheFirstUnusedBlockUpToItsMaximum) {
  setenv("ZEVP_SNMP_PLOVEN_MAX_CLIENT_TASKS", "7", 1);
  names_.close();
  GatedClock gate;
  start();
  ASSERT_EQ(clientsReady(), 3);
  for (int client = 0; client < 3; ++client) {
    const std::string name = "busy" + std::to_string(client);
    ZEVS_EnqueuePlovenDiscoveryRequest(name.c_str());
    ASSERT_TRUE(Eventually(
        [&] { return trace_.contains("Dispatch RPC client " + std::to_string(client) + " "); }, 5000));
  }
  trace_.take();
  // One look of a dispatch that finds no idle client, up to its sleep.
  auto scan = [&](int wait) {
    ASSERT_TRUE(gate.waitForSleeper(5000)) << wait;
    EXPECT_EQ(trace_.count("No available rpc client for request. Max client 7 Wait " + std::to_string(wait) + "\n"),
              1);
  };

  // Every client busy: the eleventh look starts a client in block 3, which the next
  // look finds idle.
  ZEVS_EnqueuePlovenDiscoveryRequest("busy3");
  for (int wait = 1; wait <= 10; ++wait) {
    scan(wait);
    EXPECT_EQ(clientsReady(), 0) << wait;
    gate.release();
  }
  scan(11);
  EXPECT_EQ(clientsReady(), 1);
  gate.release();
  EXPECT_TRUE(Eventually([&] { return trace_.contains("Dispatch RPC client 3 "); }, 5000));
  trace_.take();

  // Each later look of a dispatch adds a client (here refused: its block stays
  // starting) until seven blocks are in use.
  {
    RefusedThreadStarts refused;
    ZEVS_EnqueuePlovenDiscoveryRequest("busy4");
    for (int wait = 1; wait <= 15; ++wait) {
      scan(wait);
      EXPECT_EQ(refused.refused(), std::min(std::max(wait - 10, 0), 3)) << wait;
      gate.release();
    }
    ASSERT_TRUE(gate.waitForSleeper(5000));
  }
  EXPECT_EQ(trace_.count("*****Ploven agent rpc request task creation failed. Errno"), 3);
  EXPECT_EQ(clientsReady(), 0);
  // Names resolve again: the clients fall idle and the waiting dispatch goes out.
  names_.open();
  gate.open();
  EXPECT_TRUE(Eventually([&] { return trace_.contains("for target node busy4"); }, 5000));
  EXPECT_TRUE(stop()) << "blocks whose thread was refused are left alone";
}

TEST_F(AgentDiscoveryManager, MaxClientTasksBelowOneOrNoNumberTakesTheDefaultAndOneStartsWithNone) {
  struct Case {
    const char* value;
    int clientsAtStart;
  } cases[] = {{"0", 5}, {"-3", 5}, {"many", 5}, {"4", 2}, {"1", 0}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.value);
    setenv("ZEVP_SNMP_PLOVEN_MAX_CLIENT_TASKS", c.value, 1);
    const int readyBefore = clientsReady();
    start();
    EXPECT_EQ(clientsReady() - readyBefore, c.clientsAtStart);
    ASSERT_TRUE(stop());
    freeBlock();
    makeBlock();
  }

  // With one, the first dispatch waits eleven scans, then starts the one client.
  trace_.take();
  start();
  ZEVS_EnqueuePlovenDiscoveryRequest("127.0.0.9");
  EXPECT_TRUE(Eventually([&] { return trace_.contains("Dispatch RPC client 0 "); }, 5000));
  EXPECT_EQ(trace_.count("No available rpc client for request. Max client 1 Wait "), 11);
  EXPECT_EQ(clientsReady(), 1);
}

TEST_F(AgentDiscoveryManager, RequestPostedAfterShutdownIsNotQueuedButEndsTheManager) {
  TestRafAgent agent("127.0.0.1", basePort_);
  ASSERT_TRUE(agent.started()) << agent.process().errorText();
  start();
  zevs::SignalBlockShutdown(block_);
  EXPECT_FALSE(join(0)) << "the manager waits for a request";
  ZEVS_EnqueuePlovenDiscoveryRequest("127.0.0.1");
  EXPECT_TRUE(join(10));
  EXPECT_EQ(trace_.count("agent manager process ended"), 1);
  EXPECT_EQ(trace_.count("Dispatch RPC client "), 0);
  EXPECT_EQ(agent.nextLine(300), "") << "nothing was probed";
}

TEST_F(AgentDiscoveryManager, ShutdownWhileClientsCallSilentPortsStopsThemAndReleasesTheEntriesOnce) {
  setenv("ZEV_RPC_CALL_WAIT_MS", "1000", 1);
  WorkDirectory().write("ZEVSAGNT", std::string(zevs::kAgentsFileHeader) + "\n" + FileLine("a1", "127.0.0.1") +
                                        FileLine("b1", "127.0.0.2"));
  start();
  for (const char* address : {"127.0.0.3", "127.0.0.4", "127.0.0.5"}) ZEVS_EnqueuePlovenDiscoveryRequest(address);
  ASSERT_TRUE(Eventually([&] { return trace_.count("Trying port ") >= 5; }, 5000)) << "every client calls";
  ASSERT_NE(agent(1), nullptr);
  EXPECT_TRUE(stop());
  EXPECT_EQ(block_->agents, nullptr);
  const int tried = trace_.count("Trying port ");
  EXPECT_LE(tried, 10) << "each client stopped after the port in hand";
  usleep(300000);
  EXPECT_EQ(trace_.count("Trying port "), tried) << "no client runs on";
}

// The real listen task on a loopback port of the test, whose calls the test serves:
// an agent's registration is held in its caller's name look-up while the manager
// ends, which waits for it before the entries go.
TEST_F(AgentDiscoveryManager, ShutdownWaitsForARegistrationInProgressBeforeTheEntriesGo) {
  setenv("ZEV_RPC_SERVER_ADDRESS", "127.0.0.1", 1);
  const unsigned short listenPort = FreeLoopbackPort();
  ASSERT_NE(listenPort, 0);
  const zevs::ListenPortRange ports = zevs::PlovenListenPorts();
  zevs::PlovenListenPorts() = {listenPort, listenPort};
  overrides_.routines().listenPlovenAgentReply = ZEVS_ListenPlovenAgentReply;
  std::thread serving([] {
    rpc__status_t status;
    rpc__listen(2, &status);
  });
  WorkDirectory().write("ZEVSAGNT", std::string(zevs::kAgentsFileHeader) + "\n" + FileLine("a1", "127.0.0.1"));
  TestRafAgent registering("127.0.0.1", basePort_, {"--name", "late:XX"});
  ASSERT_TRUE(registering.started()) << registering.process().errorText();
  names_.close();
  start();
  EXPECT_EQ(NextStartAgent(registering)["instruction"], "REGISTER(ip:#127.0.0.1[" + std::to_string(listenPort) + "])");
  ASSERT_TRUE(names_.waitedOn()) << "the registration is in progress";

  zevs::SignalBlockShutdown(block_);
  ZEVS_EnqueuePlovenDiscoveryRequest(nullptr);
  usleep(300000);
  EXPECT_FALSE(join(0)) << "the manager ended while a registration was in progress";
  EXPECT_NE(agent(0), nullptr);
  names_.open();
  EXPECT_TRUE(join(10));
  EXPECT_EQ(block_->agents, nullptr);
  EXPECT_EQ(registering.nextLine(), "Register|status=0");

  rpc__status_t status;
  rpc__shutdown(&status);
  serving.join();
  zevs::PlovenListenPorts() = ports;
}

// A listen task that finds no port and never says so, in a data-provider program of its
// own: the manager's wait for the port ends with the shut-down.
TEST_F(AgentDiscoveryManager, WaitForTheListenPortEndsAtShutdown) {
  overrides_.routines().listenPlovenAgentReply = [](void*) -> void* { return nullptr; };
  GatedClock gate;
  struct IndependentProgram {
    IndependentProgram() { DPpgmStart = 1; }
    ~IndependentProgram() { DPpgmStart = 0; }
  } program;
  ASSERT_EQ(pthread_create(&manager_, nullptr, ZEVS_DiscoverPlovenManagerTask, block_), 0);
  running_ = true;
  for (int look = 0; look < 3; ++look) {
    ASSERT_TRUE(gate.waitForSleeper(5000)) << "the manager waits for the port";
    gate.release();
  }
  zevs::SignalBlockShutdown(block_);
  gate.open();
  EXPECT_TRUE(join(10));
  EXPECT_EQ(clientsReady(), 0);
  EXPECT_EQ(trace_.count("agent manager process ended"), 1);
}

// One client by itself: the fixed arguments of its calls, a wake-up that is no
// dispatch, and its stop.
TEST(DiscoveryClient, ProbesOnlyWhenDispatchedAndEndsWhenStopped) {
  setenv("ZEV_RPC_CALL_WAIT_MS", "150", 1);
  FixedNameService names(std::map<std::string, std::string>{});
  TraceCapture trace("*=0x1ff");
  TestRafAgent agent;
  ASSERT_TRUE(agent.started()) << agent.process().errorText();
  DiscoveryClientBlock client{};
  ZEVS_CreateDiscoverPlovenAgentClientTask(&client, agent.port(), "127.0.0.1[0]");
  ASSERT_EQ(client.state.load(), kClientIdle);
  auto signal = [&](int32_t state, const char* target, int32_t ports) {
    pthread_mutex_lock(&client.mutex);
    if (target != nullptr) std::snprintf(client.target, sizeof client.target, "%s", target);
    client.portCount = ports;
    if (state >= 0) client.state.store(state);
    pthread_cond_broadcast(&client.condition);
    pthread_mutex_unlock(&client.mutex);
  };

  signal(-1, "127.0.0.1", 1);  // a wake-up without a dispatch
  EXPECT_EQ(agent.nextLine(300), "");
  EXPECT_EQ(trace.count("Trying port "), 0);
  EXPECT_EQ(client.state.load(), kClientIdle);

  for (int dispatch = 0; dispatch < 2; ++dispatch) {
    signal(kClientDispatched, "127.0.0.1", 2);
    std::map<std::string, std::string> call = AgentLineFields(agent.nextLine());
    EXPECT_EQ(call[""], "StartAgent");
    EXPECT_EQ(call["argument"], "0");
    EXPECT_EQ(call["request"], "0,0") << "sent as zeros on every call";
    EXPECT_EQ(call["product"], "HRB");
    EXPECT_EQ(call["class"], "TZOCOMMAND");
    EXPECT_EQ(call["target"], "127.0.0.1");
    EXPECT_EQ(call["origin"], "0,0,");
    EXPECT_EQ(call["instruction"], "REGISTER(ip:#127.0.0.1[0])");
    EXPECT_EQ(call["thresholds"], "0,0,0,6");
    EXPECT_EQ(call["data"], "00000000000000");
    EXPECT_TRUE(Eventually([&] { return trace.count("Trying port ") == 2 * (dispatch + 1); }, 5000));
    zevs::AwaitClientState(&client, kClientIdle);
  }
  EXPECT_EQ(trace.count("Trying port " + std::to_string(agent.port() + 1) + " on host 127.0.0.1"), 2);

  signal(kClientDispatched, "no.such.host", 3);
  EXPECT_TRUE(Eventually([&] { return trace.contains("***** socket__from_name addr no.such.host failed - "); }, 5000));
  zevs::AwaitClientState(&client, kClientIdle);

  signal(kClientStopRequested, nullptr, 0);
  zevs::AwaitClientState(&client, kClientIdle);
  EXPECT_EQ(agent.nextLine(300), "");
  pthread_mutex_destroy(&client.mutex);
  pthread_cond_destroy(&client.condition);
}

}  // namespace
