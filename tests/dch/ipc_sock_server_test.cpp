// The socket transport's server: the DCH port on loopback, read through the request ring.
// Readiness first; datagrams whole and only when they are as long as they declare; TCP
// messages joined from pieces; short, surplus, stalled and oversized TCP messages; 64 clients
// and a 65th; destruction while flooded; a second server on the port; replies only onto the
// connection of their generation, and never blocked by a peer that stops reading.
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "dch/ipc_sock.h"
#include "sock_test_support.h"
#include "trace_capture.h"
#include "trc1.h"

namespace {

using std::chrono::milliseconds;
using std::chrono::seconds;
using std::chrono::steady_clock;

class SockServerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    port_ = UseLoopbackDCH();
    server_ = std::make_unique<ipcSock>(DCHIPC_SERVER, 0, 1);
    ASSERT_EQ(server_->ipcGetError(), 0);
    ready_ = TakeFromRing(*server_);
  }
  void TearDown() override {
    server_.reset();
    for (int sockFD : peers_) close(sockFD);
  }

  int connectPeer() {
    int sockFD = ConnectLoopbackTcp(port_);
    if (sockFD >= 0) peers_.push_back(sockFD);
    return sockFD;
  }
  int udpPeer() {
    int sockFD = OpenLoopbackUdp();
    if (sockFD >= 0) peers_.push_back(sockFD);
    return sockFD;
  }
  void sendDatagram(int sockFD, const std::string& bytes) {
    sockaddr_in server = LoopbackAddress(port_);
    ASSERT_EQ(sendto(sockFD, bytes.data(), bytes.size(), 0, reinterpret_cast<sockaddr*>(&server), sizeof server),
              static_cast<ssize_t>(bytes.size()));
  }
  RingEntry take() { return TakeFromRing(*server_); }

  TraceCapture capture_{"*=0x90"};
  unsigned short port_ = 0;
  std::unique_ptr<ipcSock> server_;
  RingEntry ready_;
  std::vector<int> peers_;
};

TEST_F(SockServerTest, ReadinessIsTheFirstEntry) {
  EXPECT_EQ(ready_.kind, DCHmessageKind::serverReady);
  EXPECT_EQ(ready_.body, "IPC-SERVER_READY");
  EXPECT_EQ(ready_.sockFD, 0u);
  EXPECT_EQ(ready_.generation, 0u);
  EXPECT_EQ(ready_.clientName, std::string(255, ' '));
  EXPECT_TRUE(capture_.contains("Successfully opened Dorvane Agent DCH port " + std::to_string(port_)));
  EXPECT_EQ(server_->sockPortNo(), port_);
  EXPECT_EQ(server_->sockPortUDP(), port_);
  EXPECT_EQ(server_->sockPortTCP(), port_);
}

TEST_F(SockServerTest, DatagramArrivesAsOneMessageWithItsSender) {
  int peer = udpPeer();
  for (size_t size : {size_t{300}, size_t{60000}}) {
    SCOPED_TRACE(size);
    std::string message = DchMessage(size);
    sendDatagram(peer, message);
    RingEntry entry = take();
    EXPECT_EQ(entry.kind, DCHmessageKind::message);
    EXPECT_EQ(entry.body, message);
    EXPECT_EQ(entry.sockFD, 0u);
    EXPECT_EQ(entry.clientName, "127.0.0.1");
    EXPECT_EQ(ntohs(entry.address.sin_port), LocalPort(peer));
  }
}

// Among them a datagram of the 13 bytes "DP-DISCONNECT": only the transport marks a
// disconnection, never a peer's bytes.
TEST_F(SockServerTest, DatagramNotAsLongAsItDeclaresIsDropped) {
  int peer = udpPeer();
  const std::string misstated[] = {"DP-DISCONNECT", DchBytes(300, 200), DchBytes(100, 300), std::string("\0\2", 2)};
  for (const std::string& datagram : misstated) sendDatagram(peer, datagram);
  std::string proper = DchMessage(40);
  sendDatagram(peer, proper);
  RingEntry entry = take();
  EXPECT_EQ(entry.kind, DCHmessageKind::message);
  EXPECT_EQ(entry.body, proper);
  EXPECT_EQ(capture_.count("Error: UDP datagram of "), 4);
  EXPECT_TRUE(capture_.contains("Error: UDP datagram of 13 bytes from 127.0.0.1 declares 1146105156 bytes: dropped"));
}

TEST_F(SockServerTest, TcpMessageInPiecesArrivesWhole) {
  const struct {
    const char* name;
    std::vector<size_t> pieces;
  } cases[] = {
      {"three pieces", {4096, 4096, 808}},
      {"length word split", {2, 8998}},
      {"one write", {9000}},
  };
  int peer = connectPeer();
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    std::string message = DchMessage(9000);
    size_t at = 0;
    for (size_t piece : c.pieces) {
      ASSERT_TRUE(SendAll(peer, message.substr(at, piece)));
      at += piece;
      std::this_thread::sleep_for(milliseconds(20));
    }
    RingEntry entry = take();
    EXPECT_EQ(entry.kind, DCHmessageKind::message);
    EXPECT_EQ(entry.body, message);
    EXPECT_GT(entry.sockFD, 0u);
    EXPECT_NE(entry.generation, 0u);
    EXPECT_EQ(entry.clientName, "127.0.0.1");
  }
}

TEST_F(SockServerTest, ShortMessageThenCloseGivesResendThenDisconnect) {
  int peer = connectPeer();
  ASSERT_TRUE(SendAll(peer, DchBytes(100, 60)));
  std::this_thread::sleep_for(milliseconds(20));
  shutdown(peer, SHUT_WR);
  RingEntry resend = take();
  RingEntry disconnect = take();
  EXPECT_EQ(resend.kind, DCHmessageKind::resend);
  EXPECT_EQ(resend.body, "RESEND_MESSAGE");
  EXPECT_EQ(resend.clientName, "127.0.0.1");
  EXPECT_EQ(disconnect.kind, DCHmessageKind::disconnect);
  EXPECT_EQ(disconnect.body, "DP-DISCONNECT");
  EXPECT_EQ(disconnect.clientName, std::string(255, ' '));
  EXPECT_EQ(disconnect.sockFD, resend.sockFD);
  EXPECT_EQ(disconnect.generation, resend.generation);
  EXPECT_TRUE(capture_.contains("Error: TCP received 60 bytes, expected 100 bytes"));
}

TEST_F(SockServerTest, TwoMessagesReadTogetherAreAskedForAgainOnAKeptConnection) {
  int peer = connectPeer();
  ASSERT_TRUE(SendAll(peer, DchMessage(50) + DchMessage(50)));
  RingEntry resend = take();
  EXPECT_EQ(resend.kind, DCHmessageKind::resend);
  EXPECT_TRUE(capture_.contains("Error: TCP received 100 bytes, expected 50 bytes"));
  std::string next = DchMessage(50);
  ASSERT_TRUE(SendAll(peer, next));
  RingEntry entry = take();
  EXPECT_EQ(entry.kind, DCHmessageKind::message);
  EXPECT_EQ(entry.body, next);
  EXPECT_EQ(entry.sockFD, resend.sockFD);
}

// A peer's declaration alone once ended the agent (too many pieces) or left the server
// reading for ever; now only that connection goes.
TEST_F(SockServerTest, DeclaredTotalOutsideTheLimitsClosesOnlyThatConnection) {
  const uint32_t declared[] = {0xFFFFFFFFu, 1023u * 4096u + 1u, 11u, 0u};
  int bystander = connectPeer();
  for (uint32_t total : declared) {
    SCOPED_TRACE(total);
    int peer = connectPeer();
    ASSERT_TRUE(SendAll(peer, DchBytes(total, 4096)));
    RingEntry disconnect = take();
    EXPECT_EQ(disconnect.kind, DCHmessageKind::disconnect);
    EXPECT_TRUE(PeerClosed(peer, 1000));
  }
  EXPECT_EQ(capture_.count("declares a message of "), 4);
  std::string message = DchMessage(30);
  ASSERT_TRUE(SendAll(bystander, message));
  EXPECT_EQ(take().body, message);
}

TEST_F(SockServerTest, StalledMessageDoesNotHoldUpOtherClients) {
  int stalled = connectPeer();
  int other = connectPeer();
  auto start = steady_clock::now();
  ASSERT_TRUE(SendAll(stalled, DchBytes(100, 10)));
  std::this_thread::sleep_for(milliseconds(20));
  std::string message = DchMessage(40);
  ASSERT_TRUE(SendAll(other, message));
  RingEntry served = take();
  EXPECT_EQ(served.kind, DCHmessageKind::message);
  EXPECT_EQ(served.body, message);
  EXPECT_LT(steady_clock::now() - start, milliseconds(900));
  // The rest is due within the DCH time-out (1 second here).
  RingEntry resend = take();
  EXPECT_EQ(resend.kind, DCHmessageKind::resend);
  EXPECT_NE(resend.sockFD, served.sockFD);
  EXPECT_LT(steady_clock::now() - start, milliseconds(2500));
  EXPECT_TRUE(capture_.contains("Error: TCP received 10 bytes, expected 100 bytes"));
  std::string again = DchMessage(100);
  ASSERT_TRUE(SendAll(stalled, again));
  EXPECT_EQ(take().body, again);
}

TEST_F(SockServerTest, SixtyFourClientsAreServedAndASixtyFifthIsTurnedAway) {
  std::vector<int> clients;
  std::vector<unsigned int> serverSockets;
  for (int n = 0; n < IPCSOCK_MAX_CLIENTS; ++n) {
    int client = connectPeer();
    ASSERT_GE(client, 0) << n;
    std::string message = DchMessage(20 + static_cast<size_t>(n));
    ASSERT_TRUE(SendAll(client, message));
    RingEntry entry = take();
    ASSERT_EQ(entry.body, message) << n;
    clients.push_back(client);
    serverSockets.push_back(entry.sockFD);
  }
  int turnedAway = connectPeer();
  ASSERT_GE(turnedAway, 0);
  EXPECT_TRUE(PeerClosed(turnedAway, 1000));
  EXPECT_TRUE(capture_.contains("Error: Maximum of 64 TCP clients has been reached."));

  // The full table goes on serving its clients.
  std::string later = DchMessage(33);
  ASSERT_TRUE(SendAll(clients[10], later));
  RingEntry entry = take();
  EXPECT_EQ(entry.body, later);
  EXPECT_EQ(entry.sockFD, serverSockets[10]);

  // A slot that frees up takes the next connection.
  close(clients[5]);
  EXPECT_EQ(take().kind, DCHmessageKind::disconnect);
  int next = connectPeer();
  std::string message = DchMessage(44);
  ASSERT_TRUE(SendAll(next, message));
  EXPECT_EQ(take().body, message);
}

// Its owner no longer takes from the ring, whose fill then holds the receive loop.
TEST_F(SockServerTest, ServerFloodedWithNobodyTakingCanStillBeDestroyed) {
  int peer = udpPeer();
  for (int n = 0; n < 12; ++n) sendDatagram(peer, DchMessage(30));
  int connection = connectPeer();
  ASSERT_TRUE(SendAll(connection, DchBytes(100, 10)));
  std::this_thread::sleep_for(milliseconds(100));
  // A bound only against a hang: the receive loop, held by the full ring, still sees
  // the end, when a busy machine lets it.
  auto start = steady_clock::now();
  server_.reset();
  EXPECT_LT(steady_clock::now() - start, seconds(30));
  EXPECT_TRUE(PeerClosed(connection, 1000));
}

TEST_F(SockServerTest, SecondServerOnThePortEndsTheProcess) {
  EXPECT_EXIT(
      {
        TRC1_Configure("*=0x80");
        ipcSock second(DCHIPC_SERVER, 0, 1);
        sleep(5);
      },
      ::testing::ExitedWithCode(1),
      "Error: Could not open TCP/UDP sockets bound to Dorvane Agent DCH port [0-9]+(.|\n)*"
      "Determine if another copy of Dorvane Agent is already active on this system\\.  Exiting\\.\\.\\.");
}

// The descriptor of a closed connection is often the next connection's: a reply for the old
// one must not reach the new one.
TEST_F(SockServerTest, ReplyGoesOnlyOntoTheConnectionOfItsGeneration) {
  ipcSock replies(DCHIPC_CLIENT, 1, 0);
  ASSERT_EQ(replies.ipcGetError(), 0);
  int first = connectPeer();
  ASSERT_TRUE(SendAll(first, DchMessage(20)));
  RingEntry old = take();
  close(first);
  ASSERT_EQ(take().kind, DCHmessageKind::disconnect);
  int second = connectPeer();
  ASSERT_TRUE(SendAll(second, DchMessage(20)));
  RingEntry current = take();
  ASSERT_NE(current.generation, old.generation);

  std::string reply = DchMessage(14);
  EXPECT_EQ(replies.ipcWriteConnection(reply.data(), 14, old.sockFD, old.generation), -1);
  EXPECT_TRUE(capture_.contains("is no longer open: 14 bytes not sent"));
  EXPECT_EQ(replies.ipcWriteConnection(reply.data(), 14, current.sockFD, current.generation), 14);
  EXPECT_EQ(ReceiveWithin(second, 1000), reply);
  // A descriptor that is no connection of the server at all.
  EXPECT_EQ(replies.ipcWrite(reply.data(), 14, 999), -1);
}

TEST_F(SockServerTest, PeerThatStopsReadingCostsItsReplyOnlyTheTimeOut) {
  ipcSock replies(DCHIPC_CLIENT, 1, 0);
  int silent = connectPeer();
  ASSERT_TRUE(SendAll(silent, DchMessage(20)));
  RingEntry entry = take();
  std::string huge = DchMessage(32u << 20);
  auto start = steady_clock::now();
  EXPECT_EQ(replies.ipcWriteConnection(huge.data(), static_cast<int>(huge.size()), entry.sockFD, entry.generation), -1);
  EXPECT_LT(steady_clock::now() - start, milliseconds(2500));
  EXPECT_TRUE(capture_.contains("Error: [@"));
  // The server went on serving meanwhile.
  int other = connectPeer();
  std::string message = DchMessage(25);
  ASSERT_TRUE(SendAll(other, message));
  EXPECT_EQ(take().body, message);
}

}  // namespace
