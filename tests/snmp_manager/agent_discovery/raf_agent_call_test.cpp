// The client stubs of RAF_Agent: the request body byte for byte, and calls on loopback
// to the test agent zevrafagent, whose call-backs reach a RAF_Proxy of the test.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "eventually.h"
#include "free_port.h"
#include "raf_agent_client.h"
#include "rpc_frame.h"
#include "test_raf_agent.h"

namespace {

// The fixed arguments discovery sends.
struct StartAgentArguments {
  RAF_RequestId_t request{};
  RAF_Product_t product{};
  RAF_Origin_t origin{};
  RAF_Thresholds_t thresholds{};
  std::string instruction;

  explicit StartAgentArguments(const std::string& listenAddress) : instruction("REGISTER(ip:#" + listenAddress + ")") {
    std::strcpy(product.code, "HRB");
    std::strcpy(product.commandClass, "TZOCOMMAND");
    thresholds.count = 6;
  }
};

TEST(RafAgentRequest, StartAgentBodyByteForByte) {
  StartAgentArguments arguments("10.77.0.1[30303]");
  rpc::BodyWriter body(rpc__drep_big_endian_ascii);
  zevs::WriteStartAgentRequest(body, 0, arguments.request, arguments.product, "10.77.0.5", arguments.origin,
                               static_cast<int16_t>(arguments.instruction.size()), arguments.instruction.c_str(),
                               arguments.thresholds);
  ASSERT_EQ(body.fault(), rpc__s_ok);
  std::vector<uint8_t> expected(12, 0);
  auto field = [&](const char* text, size_t size) {
    std::string filled(text);
    filled.resize(size, '\0');
    expected.insert(expected.end(), filled.begin(), filled.end());
  };
  field("HRB", 12);
  field("TZOCOMMAND", 12);
  expected.insert(expected.end(), {0x00, 0x09});
  field("10.77.0.5", 10);
  expected.insert(expected.end(), 8, 0);  // origin words at 48
  expected.insert(expected.end(), {0x00, 0x00, 0x00, 0x00});  // empty origin text at 56, a pad byte
  expected.insert(expected.end(), {0x00, 0x1E, 0x00, 0x1F, 0x00, 0x1F});
  field("REGISTER(ip:#10.77.0.1[30303])", 31);
  expected.push_back(0);  // pad
  expected.insert(expected.end(), {0x00, 0x07, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x06, 0x00, 0x07});
  expected.insert(expected.end(), 7, 0);
  ASSERT_EQ(expected.size(), 117u);
  EXPECT_EQ(body.bytes(), expected);
}

// A RAF_Proxy served in this process that records the Register and Subnode_Request
// calls it gets, one line each; the other operations have no routine.
class RecordingProxy {
 public:
  RecordingProxy() {
    port_ = FreeLoopbackPort();
    RAF_Proxy_v131_if_spec.port[socket__family_internet] = port_;
    socket__addr_t address;
    int addressLength = sizeof address;
    rpc__status_t status;
    rpc__use_family_wk(socket__family_internet, &RAF_Proxy_v131_if_spec, &address, &addressLength, &status);
    opened_ = status == rpc__s_ok;
    current = this;
    rpc__register_mgr(&uuid__nil, &RAF_Proxy_v131_if_spec, serverEpv, managerEpv, &status);
    listener_ = std::thread([] {
      rpc__status_t ignored;
      rpc__listen(2, &ignored);
    });
  }
  ~RecordingProxy() {
    rpc__status_t status;
    rpc__shutdown(&status);
    listener_.join();
    current = nullptr;
  }
  bool opened() const { return opened_; }
  unsigned short port() const { return port_; }
  std::vector<std::string> calls() {
    std::lock_guard<std::mutex> hold(mutex_);
    return calls_;
  }

 private:
  using Routine = void (*)(const std::string& call);
  static void Record(const std::string& call) {
    std::lock_guard<std::mutex> hold(current->mutex_);
    current->calls_.push_back(call);
  }
  static void RegisterStub(rpc__handle_t, rpc::BodyReader& request, rpc::BodyWriter& reply, rpc__routine_t routine) {
    char name[RAF_REGISTER_NAME_MAX + 1], affinity[RAF_REGISTER_AFFINITY_MAX + 1];
    request.getCountedString(name, RAF_REGISTER_NAME_MAX);
    request.getCountedString(affinity, RAF_REGISTER_AFFINITY_MAX);
    request.align(4);
    uint32_t number = request.getU32(), version = request.getU32();
    request.getU32();
    if (request.fault() != rpc__s_ok) return;
    reinterpret_cast<Routine>(routine)("Register " + std::string(name) + " " + affinity + " " +
                                       std::to_string(number) + " " + std::to_string(version));
    reply.putU32(0);
  }
  static void SubnodeStub(rpc__handle_t, rpc::BodyReader& request, rpc::BodyWriter& reply, rpc__routine_t routine) {
    char name[RAF_SUBNODE_NAME_SIZE], affinity[RAF_SUBNODE_AFFINITY_SIZE], skipped[RAF_SUBNODE_RESERVED_SIZE],
        version[RAF_SUBNODE_VERSION_SIZE];
    request.getChars(name, sizeof name);
    request.align(2);
    int16_t length = static_cast<int16_t>(request.getU16());
    uint16_t count = request.getCount(request.getU16());
    std::string list(count, '\0');
    request.getChars(list.data(), count);
    request.getChars(affinity, sizeof affinity);
    request.getChars(skipped, sizeof skipped);
    request.getChars(version, sizeof version);
    request.getChars(skipped, RAF_SUBNODE_TRAILER_SIZE);
    if (request.fault() != rpc__s_ok) return;
    auto text = [](const char* field, size_t size) { return std::string(field, strnlen(field, size)); };
    reinterpret_cast<Routine>(routine)("Subnode_Request " + text(name, sizeof name) + " " + std::to_string(length) +
                                       " " + list + " " + text(affinity, sizeof affinity) + " " +
                                       text(version, sizeof version));
    reply.putU32(0);
  }
  static void NoRoutineStub(rpc__handle_t, rpc::BodyReader&, rpc::BodyWriter&, rpc__routine_t) {}

  static inline RecordingProxy* current = nullptr;
  static inline const rpc__server_stub_t serverEpv[5] = {RegisterStub, NoRoutineStub, NoRoutineStub, SubnodeStub,
                                                         NoRoutineStub};
  static inline const rpc__routine_t managerEpv[5] = {reinterpret_cast<rpc__routine_t>(Record), nullptr, nullptr,
                                                      reinterpret_cast<rpc__routine_t>(Record), nullptr};

  std::mutex mutex_;
  std::vector<std::string> calls_;
  unsigned short port_ = 0;
  bool opened_ = false;
  std::thread listener_;
};

rpc__handle_t BindLoopback(unsigned short port, rpc__drep_t drep) {
  socket__addr_t address;
  int addressLength = sizeof address;
  rpc__status_t status;
  socket__from_name(socket__family_internet, "127.0.0.1", 9, 0, &address, &addressLength, &status);
  socket__set_port(&address, addressLength, port, &status);
  rpc__handle_t binding = rpc__bind(&uuid__nil, &address, addressLength, &status);
  rpc__set_binding_drep(binding, drep, &status);
  return binding;
}

class RafAgentCalls : public ::testing::Test {
 protected:
  void SetUp() override {
    setenv("ZEV_RPC_SERVER_ADDRESS", "127.0.0.1", 1);
    setenv("ZEV_RPC_CALL_WAIT_MS", "5000", 1);
  }

  // StartAgent with the fixed arguments; the fault the frame caught.
  static rpc__status_t StartAgent(rpc__handle_t binding, const char* target, StartAgentArguments& arguments,
                                  int32_t* status) {
    rpc::FaultFrame frame;
    RAF_NCS_StartAgent(binding, 0, &arguments.request, &arguments.product, target, &arguments.origin,
                       static_cast<int16_t>(arguments.instruction.size()), arguments.instruction.c_str(),
                       &arguments.thresholds, status);
    return frame.close();
  }
};

TEST_F(RafAgentCalls, StartAgentReachesTheAgentAsSentInEveryRepresentation) {
  TestRafAgent agent;
  ASSERT_TRUE(agent.started()) << agent.process().errorText();
  const rpc__drep_t dreps[] = {rpc__drep_big_endian_ascii, rpc__drep_little_endian, rpc__drep_ebcdic,
                               static_cast<rpc__drep_t>(rpc__drep_little_endian | rpc__drep_ebcdic)};
  int call = 0;
  for (rpc__drep_t drep : dreps) {
    SCOPED_TRACE(static_cast<int>(drep));
    // A listen address no agent is asked to call back: the agent only prints it.
    StartAgentArguments arguments("127.0.0.1[0]");
    arguments.thresholds.data[6] = 0x5A;
    rpc__handle_t binding = BindLoopback(agent.port(), drep);
    int32_t status = -1;
    ASSERT_EQ(StartAgent(binding, "10.77.0.5", arguments, &status), rpc__s_ok);
    rpc__status_t freed;
    rpc__free_handle(binding, &freed);
    EXPECT_EQ(status, 0);
    EXPECT_EQ(arguments.request.word[0], ++call);  // the agent's answer
    std::map<std::string, std::string> line = AgentLineFields(agent.nextLine());
    EXPECT_EQ(line[""], "StartAgent");
    EXPECT_EQ(line["from"].rfind("ip:", 0), 0u) << line["from"];
    EXPECT_EQ(line["argument"], "0");
    EXPECT_EQ(line["request"], "0,0");
    EXPECT_EQ(line["product"], "HRB");
    EXPECT_EQ(line["class"], "TZOCOMMAND");
    EXPECT_EQ(line["target"], "10.77.0.5");
    EXPECT_EQ(line["origin"], "0,0,");
    EXPECT_EQ(line["length"], "26");
    EXPECT_EQ(line["instruction"], "REGISTER(ip:#127.0.0.1[0])");
    EXPECT_EQ(line["thresholds"], "0,0,0,6");
    EXPECT_EQ(line["data"], "0000000000005a");
  }

  rpc__handle_t binding = BindLoopback(agent.port(), rpc__drep_little_endian | rpc__drep_ebcdic);
  RAF_RequestId_t request = {{3, 4}};
  int32_t status = -1;
  rpc::FaultFrame frame;
  RAF_NCS_StopAgent(binding, &request, &status);
  EXPECT_EQ(frame.close(), rpc__s_ok);
  EXPECT_EQ(status, 0);
  EXPECT_EQ(agent.nextLine(), "StopAgent|request=3,4");
  rpc__status_t freed;
  rpc__free_handle(binding, &freed);
  EXPECT_EQ(agent.process().terminate(5000), 0) << "SIGTERM ends the agent";
}

TEST_F(RafAgentCalls, BoundFaultsComeThroughTheFrameAndNothingIsSent) {
  TestRafAgent agent;
  ASSERT_TRUE(agent.started()) << agent.process().errorText();
  rpc__handle_t binding = BindLoopback(agent.port(), rpc__local_drep());
  const std::string longTarget(128, '7');
  struct Case {
    const char* name;
    const char* target;
    int originLength;
    int16_t thresholdCount;
    rpc__status_t fault;
    const char* text;
  } cases[] = {
      {"128-character target", longTarget.c_str(), 0, 6, rpc__s_string_bound, "string longer than its bound"},
      {"34-character origin", "10.77.0.5", 34, 6, rpc__s_string_bound, "string longer than its bound"},
      {"thresholds over their data", "10.77.0.5", 0, RAF_THRESHOLD_DATA_SIZE, rpc__s_array_bound,
       "array count outside its bounds"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    StartAgentArguments arguments("127.0.0.1[0]");
    std::memset(arguments.origin.text, 'o', static_cast<size_t>(c.originLength));
    arguments.thresholds.count = c.thresholdCount;
    int32_t status = 0;
    rpc__status_t fault = StartAgent(binding, c.target, arguments, &status);
    EXPECT_EQ(fault, c.fault);
    EXPECT_EQ(status, static_cast<int32_t>(c.fault));
    char text[error__c_text_size];
    error__c_text(fault, text, sizeof text);
    EXPECT_STREQ(text, c.text);
  }
  // The agent's next line is that of the next good call: none of the above reached it.
  StartAgentArguments good("127.0.0.1[0]");
  int32_t status = -1;
  ASSERT_EQ(StartAgent(binding, "good.target", good, &status), rpc__s_ok);
  EXPECT_EQ(AgentLineFields(agent.nextLine())["target"], "good.target");
  rpc__status_t freed;
  rpc__free_handle(binding, &freed);
}

TEST_F(RafAgentCalls, NoAgentOnThePortEndsWithAStatusAfterTheCallWait) {
  setenv("ZEV_RPC_CALL_WAIT_MS", "200", 1);
  unsigned short nobody = FreeLoopbackPort();
  ASSERT_NE(nobody, 0);
  rpc__handle_t binding = BindLoopback(nobody, rpc__local_drep());
  StartAgentArguments arguments("127.0.0.1[0]");
  int32_t status = 0;
  auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(StartAgent(binding, "10.77.0.5", arguments, &status), rpc__s_comm_failure);
  EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(200));
  EXPECT_EQ(status, static_cast<int32_t>(rpc__s_comm_failure));
  rpc__status_t freed;
  rpc__free_handle(binding, &freed);
}

TEST_F(RafAgentCalls, AgentCallsTheProxyBackWithItsNamesInItsRepresentation) {
  RecordingProxy proxy;
  ASSERT_TRUE(proxy.opened());
  TestRafAgent agent({"--name", "AG01:host:LZ", "--affinity", "0000000000000040000000000000000000000000003",
                   "--version", "131", "--version-text", "02.00.00", "--subnodes", ",,a,b", "--drep", "big",
                   "--ebcdic", "--also", "stopped,sample,nodelookup"});
  ASSERT_TRUE(agent.started()) << agent.process().errorText();
  rpc__handle_t binding = BindLoopback(agent.port(), rpc__local_drep());
  StartAgentArguments arguments("127.0.0.1[" + std::to_string(proxy.port()) + "]");
  int32_t status = -1;
  ASSERT_EQ(StartAgent(binding, "10.77.0.5", arguments, &status), rpc__s_ok);
  rpc__status_t freed;
  rpc__free_handle(binding, &freed);

  EXPECT_EQ(AgentLineFields(agent.nextLine())[""], "StartAgent");
  EXPECT_EQ(agent.nextLine(), "Register|status=0");
  EXPECT_EQ(agent.nextLine(), "Subnode_Request|status=0");
  for (const char* operation : {"stopped", "sample", "nodelookup"})
    EXPECT_EQ(agent.nextLine(), std::string(operation) + "|fault=1c010004|no routine registered for the operation");
  EXPECT_EQ(proxy.calls(),
            (std::vector<std::string>{
                "Register AG01:host:LZ 0000000000000040000000000000000000000000003 " + std::to_string(agent.port()) +
                    " 131",
                "Subnode_Request AG01:host:LZ 5 ,,a,b 0000000000000040000000000000000000000000003 02.00.00"}));
}

}  // namespace
