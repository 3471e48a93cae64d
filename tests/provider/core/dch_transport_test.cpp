// The transport and the receive thread against a raw agent on loopback, which
// does what the real server never does: several replies in one segment, a reply
// in pieces, frames that no agent sends, an early close, and, over UDP, datagrams
// of strangers; and the send slot on its own.
#include "dch_receive_task.h"

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netdb.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <future>
#include <memory>
#include <string>
#include <thread>

#include "bare_anchor.h"
#include "data_provider_run.h"
#include "dch_client_player.h"
#include "dch_requests.h"
#include "dch_tcp_transport.h"
#include "dch_transport_table.h"
#include "free_port.h"
#include "no_name_service.h"
#include "raw_dch_peer.h"
#include "send_slot_recorder.h"
#include "trace_capture.h"
#include "zev0/hostnames.h"

namespace {

using rawdch::Hex;
using std::chrono::milliseconds;

constexpr int kWaitMs = 2000;

// The request the data provider sends in these tests: an offline of handle 5.
const std::string kRequest = Hex("00000016 00000008 0010 1025 0000000A 0080 00000005");

std::string StatusReply(uint32_t status) {
  return rawdch::Message().u32(rawdch::kStatus, status).bytes();
}
std::string StatusReplyWithHandle(uint32_t status, uint32_t handle) {
  return rawdch::Message().u32(rawdch::kStatus, status).u32(rawdch::kHandle, handle).bytes();
}

// The agent's end of one data provider's connection, on a port of its own.
class RawAgent {
 public:
  RawAgent() : port_(FreeLoopbackPort()) {
    sockaddr_in address = rawdch::LoopbackAddress(port_);
    listener_ = socket(AF_INET, SOCK_STREAM, 0);
    int reuse = 1;
    setsockopt(listener_, SOL_SOCKET, SO_REUSEADDR, &reuse, sizeof reuse);
    EXPECT_EQ(bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    EXPECT_EQ(listen(listener_, 4), 0);
  }
  ~RawAgent() {
    closeConnection();
    close(listener_);
  }
  unsigned short port() const { return port_; }

  bool accept() {
    pollfd ready{listener_, POLLIN, 0};
    if (poll(&ready, 1, kWaitMs) != 1) return false;
    closeConnection();
    connection_ = ::accept(listener_, nullptr, nullptr);
    return connection_ >= 0;
  }
  // One whole request, framed by its length word.
  std::string receive() {
    std::string bytes = receiveBytes(4);
    if (bytes.size() < 4) return bytes;
    return bytes + receiveBytes(rawdch::Big32(bytes, 0) - 4);
  }
  void send(const std::string& bytes) { ASSERT_EQ(::send(connection_, bytes.data(), bytes.size(), MSG_NOSIGNAL), static_cast<ssize_t>(bytes.size())); }
  void closeConnection() {
    if (connection_ >= 0) close(connection_);
    connection_ = -1;
  }

 private:
  std::string receiveBytes(size_t count) {
    std::string bytes;
    while (bytes.size() < count) {
      pollfd ready{connection_, POLLIN, 0};
      char buffer[4096];
      if (poll(&ready, 1, kWaitMs) != 1) break;
      ssize_t got = recv(connection_, buffer, std::min(sizeof buffer, count - bytes.size()), 0);
      if (got <= 0) break;
      bytes.append(buffer, static_cast<size_t>(got));
    }
    return bytes;
  }

  unsigned short port_;
  int listener_ = -1;
  int connection_ = -1;
};

class DCHreceiveTaskTest : public ::testing::Test {
 protected:
  void SetUp() override {
    setenv("ZEVP_DCH_HOST", "127.0.0.1", 1);
    setenv("ZEVA_DCH_PORT", std::to_string(agent_.port()).c_str(), 1);
    anchor_->transport = &TCPIP_DSFT;
    wire_ = std::make_unique<SendSlotRecorder>(anchor_.get());
    client_ = std::make_unique<DCHclientPlayer>(anchor_.get());
    ASSERT_TRUE(agent_.accept());
  }
  void TearDown() override {
    client_.reset();
    wire_.reset();
  }

  // Sends the request on the client thread; the agent has received it when this returns.
  std::future<int32_t> sendRequest() {
    std::future<int32_t> status = std::async(std::launch::async, [this] {
      client_->run([](DCHcomm* comm) { ZEVP_DCHsendAndReceive(static_cast<int>(kRequest.size()), kRequest.data(), comm, 0); });
      return client_->status();
    });
    EXPECT_EQ(agent_.receive(), kRequest);
    return status;
  }
  static int32_t Outcome(std::future<int32_t>& status) {
    if (status.wait_for(milliseconds(kWaitMs)) != std::future_status::ready) {
      ADD_FAILURE() << "the request still waits";
      return INT32_MIN;
    }
    return status.get();
  }

  RawAgent agent_;
  BareAnchor anchor_;
  std::unique_ptr<SendSlotRecorder> wire_;
  std::unique_ptr<DCHclientPlayer> client_;
};

TEST_F(DCHreceiveTaskTest, MessagesSharingASegmentAreTakenOneAfterTheOther) {
  TraceCapture trace("*=0xff");
  std::future<int32_t> first = sendRequest();
  const std::string unsupported = rawdch::Message().text(rawdch::kApplName, "Abc").bytes();
  agent_.send(unsupported + StatusReplyWithHandle(0, 0x11) + StatusReplyWithHandle(0, 0x22));
  EXPECT_EQ(Outcome(first), 0);
  // The second reply is taken before the next request goes: it answers none.
  EXPECT_TRUE(WaitUntil([&trace] { return trace.contains("Received DCH Handle 00000022"); }));
  std::future<int32_t> second = sendRequest();
  agent_.send(StatusReply(9));
  EXPECT_EQ(Outcome(second), 9);
  EXPECT_EQ(client_->handle(), 0u) << "a reply without a handle leaves none";
  EXPECT_EQ(trace.count("***** unsupported DCH request ignored"), 1);
  EXPECT_EQ(trace.count("Received DCH Handle 00000011"), 1);
  EXPECT_EQ(trace.count("Received DCH Handle 00000022"), 1);
  EXPECT_EQ(trace.count(">>>>>Notifying request"), 2);
  EXPECT_EQ(trace.count(">>>>>Signal DCH client bypassed. No receive outstanding"), 1);
  EXPECT_EQ(trace.count("#####Received data concatenated to residual data"), 0);
}

TEST_F(DCHreceiveTaskTest, AReplyInPiecesIsTakenOnceWhole) {
  const std::string reply = StatusReplyWithHandle(3, 0x0A0B0C0D);
  for (size_t cut : {size_t{1}, size_t{3}, size_t{4}, size_t{10}, reply.size() - 1}) {
    SCOPED_TRACE("cut at " + std::to_string(cut));
    TraceCapture trace("*=0xff");
    std::future<int32_t> status = sendRequest();
    agent_.send(reply.substr(0, cut));
    std::this_thread::sleep_for(milliseconds(20));
    EXPECT_EQ(status.wait_for(milliseconds(0)), std::future_status::timeout);
    agent_.send(reply.substr(cut));
    EXPECT_EQ(Outcome(status), 3);
    EXPECT_EQ(client_->handle(), 0x0A0B0C0Du);
    EXPECT_EQ(trace.count("Received DCH status 3"), 1);
    EXPECT_EQ(trace.count("#####Received data concatenated to residual data"), 1);
  }
}

TEST_F(DCHreceiveTaskTest, FramesNoAgentSendsDropTheConnection) {
  struct {
    const char* name;
    std::string bytes;  // empty: the agent closes the connection
  } const cases[] = {
      {"a length of 0, which would never advance", Hex("00000000 00000000")},
      {"a length shorter than a field", Hex("00000009 0000000000")},
      {"a length over 64 KiB", Hex("00010001")},
      {"a status of two bytes", Hex("0000000C 00000008 0011 0000")},
      {"the agent closes", ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    std::future<int32_t> status = sendRequest();
    if (c.bytes.empty())
      agent_.closeConnection();
    else
      agent_.send(c.bytes);
    EXPECT_EQ(Outcome(status), -3);
    EXPECT_EQ(client_->socket(), 0);
    // The next request connects again.
    std::future<int32_t> next = std::async(std::launch::async, [this] {
      client_->run([](DCHcomm* comm) { ZEVP_DCHsendAndReceive(static_cast<int>(kRequest.size()), kRequest.data(), comm, 0); });
      return client_->status();
    });
    ASSERT_TRUE(agent_.accept());
    EXPECT_EQ(agent_.receive(), kRequest);
    agent_.send(StatusReply(0));
    EXPECT_EQ(Outcome(next), 0);
  }
}

TEST_F(DCHreceiveTaskTest, ASendTheAgentClosedConnectsAgainAndReportsTheLoss) {
  wire_->failNextWith(EPIPE);
  std::future<int32_t> status = std::async(std::launch::async, [this] {
    client_->run([](DCHcomm* comm) { ZEVP_DCHsendAndReceive(static_cast<int>(kRequest.size()), kRequest.data(), comm, 0); });
    return client_->status();
  });
  ASSERT_TRUE(agent_.accept()) << "no new connection";
  EXPECT_EQ(Outcome(status), -3);
  EXPECT_NE(client_->socket(), 0);
  EXPECT_EQ(client_->connectionState(), 2);
}

// The send slot on a connection of its own, without a receive thread.
class DCHsendSlotTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ZEVP_InitializeDCHcomm(&comm_, nullptr);
    ASSERT_EQ(socketpair(AF_UNIX, SOCK_STREAM, 0, pair_), 0);
    comm_.Socket = pair_[0];
  }
  void TearDown() override {
    close(pair_[0]);
    if (pair_[1] >= 0) close(pair_[1]);
    ZEVP_DestroyDCHcomm(&comm_);
  }
  int send(const std::string& message, int* errorNumber) {
    return ZEVP_TCPIP_DCHsend(&comm_, message.data(), static_cast<int>(message.size()), errorNumber);
  }

  DCHcomm comm_;
  int pair_[2] = {-1, -1};
};

TEST_F(DCHsendSlotTest, ALongMessageGoesInPiecesOverTCPAndIsRefusedOverUDP) {
  std::string message(40000, 'x');
  comm_.ConnectionState = 2;
  std::future<size_t> read = std::async(std::launch::async, [this] {
    size_t total = 0;
    char buffer[8192];
    for (ssize_t got; (got = recv(pair_[1], buffer, sizeof buffer, 0)) > 0;) total += static_cast<size_t>(got);
    return total;
  });
  TraceCapture trace("*=0xff");
  int errorNumber = -1;
  EXPECT_EQ(send(message, &errorNumber), 40000);
  EXPECT_EQ(errorNumber, 0);
  EXPECT_TRUE(trace.contains("### sendto 2 rc 7233"));
  shutdown(pair_[0], SHUT_WR);
  EXPECT_EQ(read.get(), 40000u);

  comm_.ConnectionState = 1;
  EXPECT_EQ(send(message, &errorNumber), 0);
  EXPECT_EQ(errorNumber, EMSGSIZE);
}

TEST_F(DCHsendSlotTest, ASendOnAClosedConnectionIsAnErrorNotASignal) {
  comm_.ConnectionState = 2;
  close(pair_[1]);
  pair_[1] = -1;
  int errorNumber = 0;
  EXPECT_EQ(send(kRequest, &errorNumber), 0);
  EXPECT_EQ(errorNumber, EPIPE);
}

// The RPC transport has no operations: the link stays idle and a request fails.
TEST(DCHidleTransportTest, RequestOverTheRPCTransportIsNotSent) {
  BareAnchor anchor;
  anchor->transport = &RPC_DSFT;
  DCHclientPlayer client(anchor.get());
  EXPECT_EQ(client.socket(), 0);
  TraceCapture trace("*=0x80");
  client.run([](DCHcomm* comm) { ZEVP_DCHsendAndReceive(static_cast<int>(kRequest.size()), kRequest.data(), comm, 0); });
  EXPECT_EQ(client.status(), -1);
  EXPECT_TRUE(trace.contains("the DCH transport has no operations"));
}

TEST(DCHunresolvedHostTest, AHostWithoutAddressLeavesTheLinkUnconnected) {
  NoNameService resolver{"localhost"};
  setenv("ZEVP_DCH_HOST", "no-such-host.invalid", 1);
  BareAnchor anchor;
  anchor->transport = &TCPIP_DSFT;
  TraceCapture trace("*=0x80");
  DCHclientPlayer client(anchor.get());
  EXPECT_EQ(client.socket(), 0);
  EXPECT_EQ(client.connectionState(), 0);
  EXPECT_TRUE(trace.contains("*** DCH host <no-such-host.invalid> has no address, DCH not connected"));
  client.run([](DCHcomm* comm) { ZEVP_DCHsendAndReceive(static_cast<int>(kRequest.size()), kRequest.data(), comm, 0); });
  EXPECT_EQ(client.status(), -1);
  setenv("ZEVP_DCH_HOST", "127.0.0.1", 1);
}

// No TCP listener: the link goes over UDP to the agent's datagram socket, and a
// datagram from anyone else is not taken for the agent's reply.
TEST(DCHreceiveOverUDPTest, OnlyTheDCHsDatagramsAreTaken) {
  unsigned short port = FreeLoopbackPort();
  sockaddr_in address = rawdch::LoopbackAddress(port);
  int agent = socket(AF_INET, SOCK_DGRAM, 0);
  ASSERT_EQ(bind(agent, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
  int stranger = socket(AF_INET, SOCK_DGRAM, 0);
  setenv("ZEVP_DCH_HOST", "127.0.0.1", 1);
  setenv("ZEVA_DCH_PORT", std::to_string(port).c_str(), 1);
  BareAnchor anchor;
  anchor->transport = &TCPIP_DSFT;
  DCHclientPlayer client(anchor.get());
  ASSERT_EQ(client.connectionState(), 1);

  TraceCapture trace("*=0x80");
  std::future<int32_t> status = std::async(std::launch::async, [&client] {
    client.run([](DCHcomm* comm) { ZEVP_DCHsendAndReceive(static_cast<int>(kRequest.size()), kRequest.data(), comm, 0); });
    return client.status();
  });
  char datagram[64];
  sockaddr_in provider{};
  socklen_t length = sizeof provider;
  pollfd ready{agent, POLLIN, 0};
  ASSERT_EQ(poll(&ready, 1, kWaitMs), 1);
  ASSERT_EQ(recvfrom(agent, datagram, sizeof datagram, 0, reinterpret_cast<sockaddr*>(&provider), &length),
            static_cast<ssize_t>(kRequest.size()));
  const std::string foreign = StatusReply(5), own = StatusReply(6);
  sendto(stranger, foreign.data(), foreign.size(), 0, reinterpret_cast<sockaddr*>(&provider), length);
  std::this_thread::sleep_for(milliseconds(20));
  sendto(agent, own.data(), own.size(), 0, reinterpret_cast<sockaddr*>(&provider), length);
  ASSERT_EQ(status.wait_for(milliseconds(kWaitMs)), std::future_status::ready);
  EXPECT_EQ(status.get(), 6);
  EXPECT_TRUE(trace.contains("is not from the DCH, ignored"));
  close(stranger);
  close(agent);
}

}  // namespace
