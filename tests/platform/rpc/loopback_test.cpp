// Client and server of the RPC stand-in on loopback, with the echo interface of the
// tests served in this process.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <cstring>
#include <map>
#include <mutex>
#include <thread>

#include "echo_interface.h"
#include "eventually.h"
#include "free_port.h"
#include "host_name_table.h"
#include "port_variable_listener.h"
#include "rpc_frame.h"
#include "rpc_test_binding.h"
#include "trace_capture.h"

namespace {

// Holds every Echo call in its routine until released, counting those inside.
class EchoGate {
 public:
  EchoGate() {
    SetEchoHook([this] {
      std::unique_lock<std::mutex> hold(mutex_);
      ++inside_;
      ++entered_;
      maximumInside_ = std::max(maximumInside_, inside_);
      released_.wait(hold, [this] { return open_; });
      --inside_;
    });
  }
  ~EchoGate() {
    release();
    SetEchoHook(nullptr);
  }
  void release() {
    std::lock_guard<std::mutex> hold(mutex_);
    open_ = true;
    released_.notify_all();
  }
  int entered() {
    std::lock_guard<std::mutex> hold(mutex_);
    return entered_;
  }
  int maximumInside() {
    std::lock_guard<std::mutex> hold(mutex_);
    return maximumInside_;
  }

 private:
  std::mutex mutex_;
  std::condition_variable released_;
  bool open_ = false;
  int inside_ = 0, entered_ = 0, maximumInside_ = 0;
};

class RpcLoopback : public ::testing::Test {
 protected:
  void SetUp() override {
    setenv("ZEV_RPC_SERVER_ADDRESS", "127.0.0.1", 1);
    setenv("ZEV_RPC_CALL_WAIT_MS", "5000", 1);
  }
  void TearDown() override {
    rpc__status_t status;
    rpc__shutdown(&status);
    if (listener_.joinable()) listener_.join();
  }

  // Opens a free port with the echo interface's port entry, registers it and listens.
  void startServer(int maxCalls = 4) {
    port_ = FreeLoopbackPort();
    ASSERT_NE(port_, 0);
    rpc__status_t status = openPort(port_);
    ASSERT_EQ(status, rpc__s_ok);
    ASSERT_TRUE(RegisterEchoInterface());
    listener_ = std::thread([maxCalls] {
      rpc__status_t ignored;
      rpc__listen(maxCalls, &ignored);
    });
  }
  static rpc__status_t openPort(unsigned short port) {
    echo_v1_if_spec.port[socket__family_internet] = port;
    socket__addr_t address;
    int addressLength = sizeof address;
    rpc__status_t status;
    rpc__use_family_wk(socket__family_internet, &echo_v1_if_spec, &address, &addressLength, &status);
    return status;
  }
  static rpc__status_t callEcho(const RpcTestBinding& binding, EchoRecord* echoed = nullptr,
                                std::string* callerName = nullptr) {
    EchoRecord answer;
    std::string name;
    rpc::FaultFrame frame;
    CallEcho(binding.handle(), {"text", 7, {1, 2, 3}, "ABCDEFGH"}, echoed ? echoed : &answer,
             callerName ? callerName : &name);
    return frame.close();
  }

  HostNameTable names_{std::map<std::string, std::string>{{"127.0.0.1", "loopback.test"}}};
  unsigned short port_ = 0;
  std::thread listener_;
};

TEST_F(RpcLoopback, CallReachesTheRoutineWithEveryFieldInEveryRepresentation) {
  startServer();
  const EchoRecord sent = {"host[1]:^x", 0xA1B2C3D4, {0, 1, 0xFF}, "FIXED_8!"};
  for (rpc__drep_t drep : {rpc__drep_big_endian_ascii, rpc__drep_little_endian, rpc__drep_ebcdic,
                           static_cast<rpc__drep_t>(rpc__drep_little_endian | rpc__drep_ebcdic)}) {
    SCOPED_TRACE(static_cast<int>(drep));
    RpcTestBinding binding(port_, "127.0.0.1", drep);
    EchoRecord echoed;
    std::string callerName;
    rpc::FaultFrame frame;
    CallEcho(binding.handle(), sent, &echoed, &callerName);
    ASSERT_EQ(frame.close(), rpc__s_ok);
    EXPECT_EQ(echoed.text, sent.text);
    EXPECT_EQ(echoed.number, sent.number);
    EXPECT_EQ(echoed.bytes, sent.bytes);
    EXPECT_EQ(echoed.fixed, sent.fixed);
    EXPECT_EQ(callerName, "ip:loopback.test");
  }
}

TEST_F(RpcLoopback, CallsThatCannotBeRoutedAreAnsweredWithFaults) {
  startServer();
  RpcTestBinding binding(port_);
  rpc__if_spec_t otherVersion = echo_v1_if_spec;
  otherVersion.version = 2;
  rpc__if_spec_t otherInterface = echo_v1_if_spec;
  otherInterface.id.bytes[15] ^= 0xFF;
  otherInterface.opcnt = 9;
  struct Case {
    const char* name;
    uint32_t operation;
    const rpc__if_spec_t& ifspec;
    rpc__status_t fault;
  } cases[] = {
      {"operation out of range", 3, echo_v1_if_spec, rpc__s_op_rng_error},
      {"stub without routine", kRoutinelessOperation, echo_v1_if_spec, rpc__s_no_routine},
      {"empty slot", kEmptySlotOperation, echo_v1_if_spec, rpc__s_no_routine},
      {"other version", kEchoOperation, otherVersion, rpc__s_unknown_if},
      {"unknown interface", 8, otherInterface, rpc__s_unknown_if},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    rpc::FaultFrame frame;
    EXPECT_EQ(CallOperation(binding.handle(), c.operation, c.ifspec), c.fault);
    EXPECT_EQ(frame.close(), c.fault);
  }
  EXPECT_EQ(callEcho(binding), rpc__s_ok);
}

TEST_F(RpcLoopback, UnregisterWaitsForTheRunningCallThenRefusesCalls) {
  startServer();
  RpcTestBinding binding(port_);
  EchoGate gate;
  std::atomic<rpc__status_t> held{~0u};
  std::thread call([&] { held = callEcho(binding); });
  ASSERT_TRUE(Eventually([&] { return gate.entered() == 1; }, 5000));

  std::atomic<bool> unregistered{false};
  std::thread unregister([&] {
    rpc__status_t status;
    rpc__unregister(&echo_v1_if_spec, &status);
    unregistered = status == rpc__s_ok;
  });
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  EXPECT_FALSE(unregistered) << "returned while a routine of the interface ran";
  gate.release();
  unregister.join();
  call.join();
  EXPECT_TRUE(unregistered);
  EXPECT_EQ(held, rpc__s_ok);

  EXPECT_EQ(callEcho(binding), rpc__s_unknown_if);
  rpc__status_t status;
  rpc__unregister(&echo_v1_if_spec, &status);
  EXPECT_EQ(status, rpc__s_not_registered);
}

TEST_F(RpcLoopback, ListenServesAtMostItsNumberOfCallsAtOnce) {
  struct Case {
    int maxCalls;
    int atOnce;
  } cases[] = {{0, 1}, {2, 2}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.maxCalls);
    startServer(c.maxCalls);
    RpcTestBinding binding(port_);
    {
      EchoGate gate;
      std::thread first([&] { EXPECT_EQ(callEcho(binding), rpc__s_ok); });
      std::thread second([&] { EXPECT_EQ(callEcho(binding), rpc__s_ok); });
      ASSERT_TRUE(Eventually([&] { return gate.entered() == c.atOnce; }, 5000));
      std::this_thread::sleep_for(std::chrono::milliseconds(100));
      EXPECT_EQ(gate.entered(), c.atOnce);
      gate.release();
      first.join();
      second.join();
      EXPECT_EQ(gate.maximumInside(), c.atOnce);
    }
    TearDown();
  }
}

TEST_F(RpcLoopback, TakenPortIsRefusedAndTheNextOneServes) {
  unsigned short first = FreeLoopbackPorts(2);
  ASSERT_NE(first, 0);
  ASSERT_EQ(openPort(first), rpc__s_ok);
  EXPECT_EQ(openPort(first), rpc__s_port_in_use);
  ASSERT_EQ(openPort(static_cast<unsigned short>(first + 1)), rpc__s_ok);
  ASSERT_TRUE(RegisterEchoInterface());
  listener_ = std::thread([] {
    rpc__status_t ignored;
    rpc__listen(1, &ignored);
  });
  for (unsigned short port : {first, static_cast<unsigned short>(first + 1)}) {
    RpcTestBinding binding(port);
    EXPECT_EQ(callEcho(binding), rpc__s_ok) << port;
  }
  rpc__status_t status;
  rpc__listen(1, &status);
  EXPECT_EQ(status, rpc__s_already_listening);
}

TEST_F(RpcLoopback, DatagramsThatAreNotWellFormedAreDroppedAndTheNextCallAnswered) {
  startServer();
  TraceCapture trace;
  int raw = socket(AF_INET, SOCK_DGRAM, 0);
  ASSERT_GE(raw, 0);
  sockaddr_in server{};
  server.sin_family = AF_INET;
  server.sin_port = htons(port_);
  server.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  // A whole request of the echo interface to cut and spoil.
  std::vector<uint8_t> good = {'Z', 'R', 'P', 'C', 0, 0, 0, 0};
  good.insert(good.end(), echo_v1_if_spec.id.bytes, echo_v1_if_spec.id.bytes + 16);
  for (uint8_t byte : {0, 0, 0, 1, 0, 0, 0, 0, 0, 0, 0, 9, 0, 0, 0, 4}) good.push_back(byte);
  good.insert(good.end(), {0, 0, 0, 0});
  std::vector<uint8_t> foreign = good, cut = good, answer = good;
  foreign[0] = 'X';
  cut.resize(cut.size() - 1);
  answer[4] = 1;
  for (const std::vector<uint8_t>& datagram :
       {std::vector<uint8_t>{'Z', 'R', 'P', 'C', 0}, cut, foreign, answer})
    ASSERT_GT(sendto(raw, datagram.data(), datagram.size(), 0, reinterpret_cast<sockaddr*>(&server), sizeof server),
              0);
  close(raw);

  RpcTestBinding binding(port_);
  EXPECT_EQ(callEcho(binding), rpc__s_ok);
  for (const char* reason : {"dropped: shorter than a header", "dropped: body length does not match the datagram",
                             "dropped: not marked as a call datagram", "dropped: not a request"})
    EXPECT_TRUE(trace.contains(reason)) << reason;
}

TEST_F(RpcLoopback, NoServerEndsTheCallAfterTheCallWait) {
  setenv("ZEV_RPC_CALL_WAIT_MS", "200", 1);
  unsigned short nobody = FreeLoopbackPort();
  ASSERT_NE(nobody, 0);
  RpcTestBinding binding(nobody);
  auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(callEcho(binding), rpc__s_comm_failure);
  EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(200));
}

TEST_F(RpcLoopback, OnlyIdempotentCallsAreSentAgain) {
  setenv("ZEV_RPC_CALL_WAIT_MS", "200", 1);
  PortVariableListener silent("ZEV_RPC_TEST_SILENT_PORT");
  RpcTestBinding binding(silent.port());
  auto sent = [&] {
    int datagrams = 0;
    while (!silent.next(0).empty()) ++datagrams;
    return datagrams;
  };
  rpc::FaultFrame notIdempotent;
  CallOperation(binding.handle(), kRoutinelessOperation, echo_v1_if_spec);
  EXPECT_EQ(notIdempotent.close(), rpc__s_comm_failure);
  EXPECT_EQ(sent(), 1);
  EXPECT_EQ(callEcho(binding), rpc__s_comm_failure);
  EXPECT_GE(sent(), 3);
}

TEST(RpcAddresses, NamesPortsAndCallerNames) {
  HostNameTable names(std::map<std::string, std::string>{{"127.0.0.1", "loopback.test"}});
  socket__addr_t address;
  int addressLength = sizeof address;
  rpc__status_t status;
  socket__from_name(socket__family_internet, "loopback.test", 13, 0, &address, &addressLength, &status);
  EXPECT_EQ(status, rpc__s_ok);
  EXPECT_EQ(address.in.sin_addr.s_addr, htonl(INADDR_LOOPBACK));
  socket__from_name(socket__family_internet, "nowhere.test", 12, 0, &address, &addressLength, &status);
  EXPECT_EQ(status, rpc__s_name_not_found);

  struct PortCase {
    long port;
    rpc__status_t status;
  } ports[] = {{0, rpc__s_invalid_port}, {1, rpc__s_ok}, {65535, rpc__s_ok}, {65536, rpc__s_invalid_port}};
  for (const PortCase& c : ports) {
    socket__set_port(&address, addressLength, c.port, &status);
    EXPECT_EQ(status, c.status) << c.port;
  }

  struct NameCase {
    const char* address;
    int room;
    rpc__status_t status;
    const char* name;
  } names_[] = {{"127.0.0.1", 256, rpc__s_ok, "ip:loopback.test"},
                {"127.0.0.2", 256, rpc__s_ok, "ip:127.0.0.2"},
                {"127.0.0.1", 10, rpc__s_invalid_argument, ""}};
  for (const NameCase& c : names_) {
    SCOPED_TRACE(c.address);
    socket__addr_t caller{};
    caller.in.sin_family = AF_INET;
    caller.in.sin_port = htons(4711);
    inet_pton(AF_INET, c.address, &caller.in.sin_addr);
    char name[256];
    int nameLength = c.room;
    unsigned port = 0;
    rpc__sockaddr_to_name(&caller, sizeof caller.in, name, &nameLength, &port, &status);
    EXPECT_EQ(status, c.status);
    EXPECT_STREQ(name, c.name);
    if (c.status == rpc__s_ok) {
      EXPECT_EQ(nameLength, static_cast<int>(std::strlen(c.name)));
      EXPECT_EQ(port, 4711u);
    }
  }
}

}  // namespace
