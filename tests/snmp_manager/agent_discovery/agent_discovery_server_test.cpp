// The listen task and the RAF_Proxy stubs served on loopback: the port it claims,
// hostile datagrams in either data representation, and the shut-down while a
// registration is in progress.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <memory>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "agent_discovery_scope.h"
#include "agent_discovery_server.h"
#include "agent_registration.h"
#include "datagram.h"
#include "dp_start.h"
#include "eventually.h"
#include "fixed_name_service.h"
#include "gated_name_service.h"
#include "free_port.h"
#include "hostile_peer.h"
#include "network_block_fixture.h"
#include "network_namespace.h"
#include "ploven_agent_entry.h"
#include "ploven_agent_list.h"
#include "proc_text.h"
#include "product_affinity.h"
#include "raf_interfaces.h"
#include "raf_proxy_bodies.h"
#include "rpc_server.h"
#include "socket_tables.h"
#include "trace_capture.h"
#include "udp_peer.h"

namespace {

const std::string kDorvane = DorvaneAffinity();

// The listen task on a thread of the test, as the manager starts it in an independent
// program (or, agentProgram, as the agent program calls it); ended by the runtime's
// shut-down.
class ListenTask {
 public:
  explicit ListenTask(bool agentProgram = false) : previousStart_(DPpgmStart) {
    DPpgmStart = agentProgram ? 0 : 1;
    thread_ = std::thread([this] {
      ZEVS_ListenPlovenAgentReply(&port_);
      finished_ = true;
    });
  }
  ~ListenTask() {
    // A shut-down before the task listens ends nothing: ask until it has ended.
    while (!finished_.load()) {
      rpc__status_t status;
      rpc__shutdown(&status);
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    thread_.join();
    rpc__status_t status;
    rpc__shutdown(&status);
    DPpgmStart = previousStart_;
  }
  // The port once the task chose it (0 while it has not within the wait).
  int32_t port() {
    Eventually([this] { return port_.load() != 0; }, 5000);
    return port_.load();
  }
  bool finished() { return Eventually([this] { return finished_.load(); }, 5000); }

 private:
  int32_t previousStart_;
  std::atomic<int32_t> port_{0};
  std::atomic<bool> finished_{false};
  std::thread thread_;
};

// The ports the listen task tries, for the life of the object.
class ListenPorts {
 public:
  ListenPorts(int32_t first, int32_t last) : previous_(zevs::PlovenListenPorts()) {
    zevs::PlovenListenPorts() = {first, last};
  }
  ~ListenPorts() { zevs::PlovenListenPorts() = previous_; }

 private:
  zevs::ListenPortRange previous_;
};

// What the listener answered to one datagram.
struct Answer {
  bool came = false;
  rpc::PacketType type = rpc::PacketType::request;
  uint32_t status = 0;  // the fault's code, or the reply's status

  bool isFault(rpc__status_t code) const { return came && type == rpc::PacketType::fault && status == code; }
  bool isStatus(uint32_t value) const { return came && type == rpc::PacketType::reply && status == value; }
};

// The request datagram of a RAF_Proxy call.
std::string RequestDatagram(uint32_t operation, const rpc::BodyWriter& body) {
  rpc::PacketHeader header;
  header.drep = body.drep();
  header.interfaceId = RAF_Proxy_v131_if_spec.id;
  header.interfaceVersion = RAF_INTERFACE_VERSION;
  header.operation = operation;
  header.callId = 7;
  const std::vector<uint8_t> datagram = rpc::BuildDatagram(header, body.bytes());
  return std::string(datagram.begin(), datagram.end());
}

// Sends one RAF_Proxy request datagram to the port and reads its answer.
Answer Call(unsigned short port, uint32_t operation, const rpc::BodyWriter& body) {
  UdpPeer client;
  client.send("127.0.0.1", port, RequestDatagram(operation, body));
  Answer answer;
  const std::string received = client.receive(5000);
  const uint8_t* answerBody = nullptr;
  size_t answerLength = 0;
  rpc::PacketHeader answerHeader;
  if (received.empty() || rpc::ParseDatagram(reinterpret_cast<const uint8_t*>(received.data()), received.size(),
                                             &answerHeader, &answerBody, &answerLength) != nullptr)
    return answer;
  rpc::BodyReader reader(answerBody, answerLength, answerHeader.drep);
  answer.came = true;
  answer.type = answerHeader.type;
  answer.status = reader.getU32();
  return answer;
}

constexpr rpc__drep_t kRepresentations[] = {rpc__drep_big_endian_ascii, rpc__drep_little_endian | rpc__drep_ebcdic};

class AgentDiscoveryServerTest : public NetworkBlockTest {
 protected:
  void SetUp() override {
    NetworkBlockTest::SetUp();
    ZEVS_InitializePlovenFeatureArray();
    setenv("ZEV_RPC_SERVER_ADDRESS", "127.0.0.1", 1);
  }
  void TearDown() override {
    task_.reset();
    ports_.reset();
    unsetenv("ZEV_RPC_SERVER_ADDRESS");
    NetworkBlockTest::TearDown();
  }
  // The listen task on a free loopback port of its own, as in an independent program;
  // that port once it listens there, else 0.
  unsigned short listen() {
    const unsigned short port = FreeLoopbackPort();
    ports_ = std::make_unique<ListenPorts>(port, port);
    task_ = std::make_unique<ListenTask>();
    return port != 0 && task_->port() == port ? port : 0;
  }
  // Under the list's lock, which the server's routines took after their changes (the
  // datagrams that order them are not seen by ThreadSanitizer).
  std::vector<std::string> names() {
    zevs::AgentListHold hold(zevs::AgentScopeOf(block_).agents);
    std::vector<std::string> all;
    for (PlovenAgentEntry* entry = block_->agents; entry != nullptr; entry = entry->next)
      all.emplace_back(entry->managedSystemName);
    return all;
  }
  // Network name, address, affinity and version of the agent, under the list's lock.
  std::vector<std::string> fields(const char* name) {
    zevs::AgentListHold hold(zevs::AgentScopeOf(block_).agents);
    PlovenAgentEntry* entry = ZEVS_LocatePlovenAgentFromMS(name);
    if (entry == nullptr) return {};
    return {entry->networkName, entry->networkAddress, entry->affinity, entry->productVersion};
  }

  FixedNameService names_{{{"127.0.0.1", "agenthost"}}};
  std::unique_ptr<ListenPorts> ports_;
  std::unique_ptr<ListenTask> task_;
};

TEST_F(AgentDiscoveryServerTest, EveryPortTakenEndsTheTaskWithATrace) {
  const unsigned short first = FreeLoopbackPorts(2);
  ASSERT_NE(first, 0);
  UdpPeer one("127.0.0.1", first), two("127.0.0.1", static_cast<unsigned short>(first + 1));
  ASSERT_TRUE(one.bound() && two.bound());
  ListenPorts ports(first, first + 1);
  TraceCapture trace;
  ListenTask task;
  EXPECT_EQ(task.port(), kNoPlovenListenPort);
  EXPECT_TRUE(task.finished());
  EXPECT_EQ(trace.count("Try listen port"), 2);
  EXPECT_TRUE(trace.contains("No listen port free from " + std::to_string(first) + " to " +
                             std::to_string(first + 1)));
}

TEST_F(AgentDiscoveryServerTest, TakenFirstPortInTheAgentProgramGivesTheNextAndReturns) {
  RunInNetworkNamespace([] {
    UdpPeer taken("0.0.0.0", 30303);
    ASSERT_TRUE(taken.bound());
    ListenTask task(true);
    EXPECT_EQ(task.port(), 30304);
    // Inside the agent program the task only registers: the framework serves.
    EXPECT_TRUE(task.finished());
    EXPECT_TRUE(UdpPortBound(30304));
  });
}

TEST_F(AgentDiscoveryServerTest, HostileCallsAreRefusedAndTheNextGoodRegisterIsServed) {
  const unsigned short port = listen();
  ASSERT_NE(port, 0);
  for (rpc__drep_t drep : kRepresentations) {
    SCOPED_TRACE(static_cast<int>(drep));
    zevs::ReleaseAgents(zevs::AgentScopeOf(block_).agents);

    RafSubnodeFields overCount;
    overCount.count = 4;
    overCount.list = "a,bc";
    RafSubnodeFields negative;
    negative.length = -3;
    const rpc::BodyWriter goodSubnodes = RafSubnodeBody(drep, RafSubnodeFields{});
    const struct {
      const char* what;
      uint32_t operation;
      rpc::BodyWriter body;
      rpc__status_t fault;
    } refused[] = {
        {"a count over its maximum", RAF_NCS_Subnode_Request_opnum, RafSubnodeBody(drep, overCount),
         rpc__s_array_bound},
        {"a 136-character name", RAF_NCS_Register_opnum, RafRegisterBody(drep, std::string(136, 'N')),
         rpc__s_string_bound},
        {"a register cut short", RAF_NCS_Register_opnum, CutShort(RafRegisterBody(drep, "myhost:XX"), 60),
         rpc__s_bad_body},
        {"a subnode request cut short", RAF_NCS_Subnode_Request_opnum,
         CutShort(goodSubnodes, goodSubnodes.bytes().size() - 1), rpc__s_bad_body},
        {"Stopped", RAF_NCS_Stopped_opnum, RafStoppedBody(drep), rpc__s_no_routine},
        {"Sample", RAF_NCS_Sample_opnum, RafSampleBody(drep), rpc__s_no_routine},
        {"NodeLookup", RAF_NCS_NodeLookup_opnum, RafNodeLookupBody(drep), rpc__s_no_routine},
    };
    for (const auto& call : refused) {
      SCOPED_TRACE(call.what);
      EXPECT_TRUE(Call(port, call.operation, call.body).isFault(call.fault));
    }
    EXPECT_TRUE(names().empty());

    EXPECT_TRUE(Call(port, RAF_NCS_Subnode_Request_opnum, RafSubnodeBody(drep, negative)).isStatus(0));
    EXPECT_TRUE(names().empty());

    EXPECT_TRUE(Call(port, RAF_NCS_Register_opnum, RafRegisterBody(drep, std::string(135, 'N'))).isStatus(0));
    EXPECT_TRUE(Call(port, RAF_NCS_Register_opnum, RafRegisterBody(drep, "myhost:XX")).isStatus(0));
    EXPECT_EQ(names(), (std::vector<std::string>{std::string(135, 'N'), "myhost:XX"}));
    EXPECT_EQ(fields("myhost:XX"), (std::vector<std::string>{"agenthost", "127.0.0.1", kDorvane, "02.00.00"}));
  }
}

// Hostile peers at the listener: random, spoiled, cut and oversized datagrams (with
// calls of every operation in either representation as the valid ones), 0 and 65,507
// bytes, a slow trickle, a thousand datagrams and a subnode request of thousands of
// names. A well-formed registration after them is still taken, and the process's
// resident memory stays near what it was.
TEST_F(AgentDiscoveryServerTest, HostilePeersLeaveAWellFormedRegistrationServed) {
  const unsigned short port = listen();
  ASSERT_NE(port, 0);
  std::vector<std::string> calls;
  for (rpc__drep_t drep : kRepresentations) {
    calls.push_back(RequestDatagram(RAF_NCS_Register_opnum, RafRegisterBody(drep, "myhost:XX")));
    calls.push_back(RequestDatagram(RAF_NCS_Subnode_Request_opnum, RafSubnodeBody(drep, RafSubnodeFields{})));
    calls.push_back(RequestDatagram(RAF_NCS_Stopped_opnum, RafStoppedBody(drep)));
    calls.push_back(RequestDatagram(RAF_NCS_Sample_opnum, RafSampleBody(drep)));
    calls.push_back(RequestDatagram(RAF_NCS_NodeLookup_opnum, RafNodeLookupBody(drep)));
  }
  HostileBytes bytes(30303, calls);
  const long before = ResidentKilobytes(getpid());
  EXPECT_EQ(DatagramSpell(port, bytes, 1000), 1002);
  EXPECT_EQ(DatagramTrickle(port, bytes, 25, std::chrono::milliseconds(20)), 25);

  RafSubnodeFields many;
  many.list.clear();
  for (int name = 0; many.list.size() < INT16_MAX; ++name) many.list += "many" + std::to_string(name) + ",";
  many.length = INT16_MAX;
  many.count = many.maximum = static_cast<uint16_t>(many.list.size());
  EXPECT_TRUE(Call(port, RAF_NCS_Subnode_Request_opnum, RafSubnodeBody(rpc__local_drep(), many)).isStatus(0));
  std::vector<std::string> listed = names();
  EXPECT_EQ(std::count_if(listed.begin(), listed.end(), [](const std::string& name) { return name.rfind("many", 0) == 0; }),
            static_cast<long>(kMaxSubnodesPerCall));

  EXPECT_TRUE(Call(port, RAF_NCS_Register_opnum, RafRegisterBody(rpc__local_drep(), "wellbehaved:XX")).isStatus(0));
  EXPECT_FALSE(fields("wellbehaved:XX").empty());
  EXPECT_LT(ResidentKilobytes(getpid()) - before, 32 * 1024) << before << " kB before";
}

TEST_F(AgentDiscoveryServerTest, UnterminatedFixedFieldsAreReadWithinTheirSize) {
  const unsigned short port = listen();
  ASSERT_NE(port, 0);
  for (rpc__drep_t drep : kRepresentations) {
    SCOPED_TRACE(static_cast<int>(drep));
    zevs::ReleaseAgents(zevs::AgentScopeOf(block_).agents);
    RafSubnodeFields full;
    full.name = std::string(RAF_SUBNODE_NAME_SIZE, 'M');
    full.affinity = kDorvane + "99";
    full.version = "12345678901";
    TraceCapture trace;
    EXPECT_TRUE(Call(port, RAF_NCS_Subnode_Request_opnum, RafSubnodeBody(drep, full)).isStatus(0));
    EXPECT_EQ(names(), (std::vector<std::string>{"a", "b"}));
    EXPECT_EQ(fields("b"), (std::vector<std::string>{"agenthost", "127.0.0.1", kDorvane, "12345678901"}));
    EXPECT_TRUE(trace.contains("received from " + full.name + "\n"));
  }
}

TEST_F(AgentDiscoveryServerTest, ShutDownDuringARegistrationReleasesEveryEntryOnce) {
  GatedNameService gated{{{"127.0.0.1", "agenthost"}}};
  const unsigned short port = listen();
  ASSERT_NE(port, 0);
  ASSERT_TRUE(Call(port, RAF_NCS_Subnode_Request_opnum, RafSubnodeBody(rpc__local_drep(), RafSubnodeFields{})).isStatus(0));
  ASSERT_EQ(names(), (std::vector<std::string>{"a", "b"}));

  gated.close();
  Answer inProgress;
  std::thread registration(
      [&] { inProgress = Call(port, RAF_NCS_Register_opnum, RafRegisterBody(rpc__local_drep(), "late:XX")); });
  ASSERT_TRUE(gated.waitedOn());

  // The manager's end: the flag, the interface unregistered, then the entries go.
  std::atomic<bool> unregistered{false};
  std::thread shutdown([&] {
    block_->shutdown = 1;
    rpc__status_t status;
    rpc__unregister(&RAF_Proxy_v131_if_spec, &status);
    unregistered = true;
    zevs::ReleaseAgents(zevs::AgentScopeOf(block_).agents);
  });
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  EXPECT_FALSE(unregistered.load()) << "rpc__unregister returned while a call was in progress";
  gated.open();
  shutdown.join();
  registration.join();

  EXPECT_TRUE(inProgress.isStatus(0));
  EXPECT_TRUE(names().empty());
  EXPECT_TRUE(Call(port, RAF_NCS_Register_opnum, RafRegisterBody(rpc__local_drep(), "later:XX")).isFault(rpc__s_unknown_if));
  EXPECT_TRUE(names().empty());
  task_.reset();  // before its name service goes
}

}  // namespace
