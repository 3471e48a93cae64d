// The socket transport's client side against a small UDP responder on the DCH port: one
// exchange, replies joined from datagrams, replies that cannot be completed, time-outs with
// and without retry (each read its own, on a pooled socket too), strays from other
// senders, a failed piece allocation; and the server's reply transport, whose datagrams
// leave from the DCH port.
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <new>
#include <string>
#include <thread>
#include <vector>

#include "dch/ipc_sock.h"
#include "manual_clock.h"
#include "sock_test_support.h"
#include "trace_capture.h"
#include "zev0/hostnames.h"

// Fails the next 8192-byte allocations made without exceptions (the reader's pieces) while
// set; everything else is allocated as usual.
std::atomic<bool> failPieceAllocations{false};

void* operator new[](std::size_t size, const std::nothrow_t&) noexcept {
  if (failPieceAllocations.load() && size == 8192) return nullptr;
  try {
    return ::operator new[](size);
  } catch (...) {
    return nullptr;
  }
}

namespace {

using std::chrono::milliseconds;
using std::chrono::steady_clock;

// The DCH server as a client sees it: a UDP socket on the DCH port that answers the next
// request with the given datagrams.
class Responder {
 public:
  explicit Responder(unsigned short port) : sockFD_(OpenLoopbackUdp(port)) {}
  ~Responder() {
    finish();
    close(sockFD_);
  }

  void answer(std::vector<std::string> datagrams, milliseconds delay = milliseconds(0)) {
    thread_ = std::thread([this, datagrams, delay] {
      sockaddr_in client{};
      request_ = ReceiveWithin(sockFD_, 3000, &client);
      std::this_thread::sleep_for(delay);
      for (const std::string& datagram : datagrams)
        sendto(sockFD_, datagram.data(), datagram.size(), 0, reinterpret_cast<sockaddr*>(&client), sizeof client);
    });
  }
  // The request it received (once it has answered).
  std::string request() {
    finish();
    return request_;
  }
  bool bound() const { return sockFD_ >= 0; }

 private:
  void finish() {
    if (thread_.joinable()) thread_.join();
  }

  int sockFD_;
  std::thread thread_;
  std::string request_;
};

// Pieces of one message as its sender cuts them.
std::vector<std::string> cut(const std::string& message, const std::vector<size_t>& sizes) {
  std::vector<std::string> pieces;
  size_t at = 0;
  for (size_t size : sizes) {
    pieces.push_back(message.substr(at, size));
    at += size;
  }
  return pieces;
}

class SockClientTest : public ::testing::Test {
 protected:
  void SetUp() override { port_ = UseLoopbackDCH(); }

  // A DCHclient's transport with its socket from the pool, failing a read that times out.
  std::unique_ptr<ipcSock> client(int useFromSockPool = 1) {
    auto transport = std::make_unique<ipcSock>(DCHIPC_DCHCLIENT, 0, useFromSockPool);
    transport->ipcSetRetryRead(0);
    return transport;
  }

  // Reads one reply; the buffer (if any) becomes `reply`.
  int read(ipcSock& transport, std::string* reply, size_t expectedLength, int wait = 1) {
    void* buffer = nullptr;
    int result = transport.ipcRead(&buffer, wait);
    if (buffer != nullptr) reply->assign(static_cast<char*>(buffer), expectedLength);
    delete[] static_cast<char*>(buffer);
    return result;
  }

  TraceCapture capture_{"*=0x90"};
  unsigned short port_ = 0;
};

TEST_F(SockClientTest, RequestGoesAsOneDatagramAndTheReplyComesBack) {
  for (int pooled : {1, 0}) {
    SCOPED_TRACE(pooled);
    Responder responder(port_);
    ASSERT_TRUE(responder.bound());
    auto transport = client(pooled);
    ASSERT_EQ(transport->ipcGetError(), 0);
    std::string reply = DchMessage(14);
    responder.answer({reply});
    std::string request = DchMessage(300);
    EXPECT_EQ(transport->ipcWrite(request.data(), 300, 0), 300);
    std::string received;
    EXPECT_EQ(read(*transport, &received, 8192), 14);
    EXPECT_EQ(received, reply + std::string(8192 - 14, '\0'));
    EXPECT_EQ(responder.request(), request);
    EXPECT_EQ(transport->releaseIPC(), 0);
  }
}

TEST_F(SockClientTest, ReplyOfSeveralDatagramsIsJoinedInOrder) {
  Responder responder(port_);
  auto transport = client();
  std::string reply = DchMessage(2 * 8192 + 3000);
  responder.answer(cut(reply, {8192, 8192, 3000}));
  std::string request = DchMessage(40);
  ASSERT_EQ(transport->ipcWrite(request.data(), 40, 0), 40);
  std::string received;
  EXPECT_EQ(read(*transport, &received, reply.size()), 3000);
  EXPECT_EQ(received, reply);
  transport->releaseIPC();
}

TEST_F(SockClientTest, ReplyThatCannotBeCompletedFails) {
  const struct {
    const char* name;
    std::vector<std::string> datagrams;
    const char* trace;
  } cases[] = {
      {"declares more than 16 datagrams hold", {DchBytes(17 * 8192, 8192)}, "totalLen=139264, bytesRead=8192"},
      {"16 datagrams and still short", std::vector<std::string>(16, DchBytes(20000, 1000)),
       "Max 16 number of 16K buffers already read."},
      {"more than declared", {DchBytes(100, 300)}, "totalLen=100, bytesRead=300"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Responder responder(port_);
    auto transport = client();
    responder.answer(c.datagrams);
    std::string request = DchMessage(12);
    ASSERT_EQ(transport->ipcWrite(request.data(), 12, 0), 12);
    std::string received;
    EXPECT_EQ(read(*transport, &received, 0), -1);
    EXPECT_TRUE(capture_.contains(c.trace));
    transport->releaseIPC();
  }
}

TEST_F(SockClientTest, TimeOutWithoutRetryEndsTheReadWithNothing) {
  auto transport = client();
  void* untouched = &transport;
  void* buffer = untouched;
  auto start = steady_clock::now();
  EXPECT_EQ(transport->ipcRead(&buffer, 1), 0);
  EXPECT_EQ(buffer, untouched);
  EXPECT_LT(steady_clock::now() - start, milliseconds(1500));
  EXPECT_TRUE(capture_.contains("select timed out - wait=1 count=0 errno="));
  transport->releaseIPC();
}

// The socket keeps the time-out of its last wait: the next borrower must not inherit it.
TEST_F(SockClientTest, ReadWaitsItsOwnTimeOnAPooledSocketThatWaitedLongerBefore) {
  Responder responder(port_);
  auto first = client();
  std::string reply = DchMessage(14);
  responder.answer({reply});
  std::string request = DchMessage(12);
  ASSERT_EQ(first->ipcWrite(request.data(), 12, 0), 12);
  std::string received;
  ASSERT_EQ(read(*first, &received, 14, 5), 14);
  int sockFD = first->sockUDP();
  first->releaseIPC();
  auto second = client();
  ASSERT_EQ(second->sockUDP(), sockFD);
  auto start = steady_clock::now();
  EXPECT_EQ(read(*second, &received, 14, 1), 0);
  EXPECT_LT(steady_clock::now() - start, milliseconds(3000));
  second->releaseIPC();
}

TEST_F(SockClientTest, TimeOutWithRetryWaitsAgain) {
  Responder responder(port_);
  auto transport = client();
  transport->ipcSetRetryRead(1);
  std::string reply = DchMessage(14);
  responder.answer({reply}, milliseconds(1100));
  std::string request = DchMessage(12);
  ASSERT_EQ(transport->ipcWrite(request.data(), 12, 0), 12);
  std::string received;
  EXPECT_EQ(read(*transport, &received, 14), 14);
  EXPECT_EQ(received, reply);
  EXPECT_TRUE(capture_.contains("...trying again"));
  transport->releaseIPC();
}

TEST_F(SockClientTest, DatagramFromAnotherSenderIsIgnored) {
  Responder responder(port_);
  auto transport = client();
  int stray = OpenLoopbackUdp();
  sockaddr_in clientAddress = LoopbackAddress(transport->sockPortUDP());
  std::string forged = DchMessage(14);
  forged[13] = '!';
  ASSERT_EQ(sendto(stray, forged.data(), forged.size(), 0, reinterpret_cast<sockaddr*>(&clientAddress),
                   sizeof clientAddress),
            14);
  std::string reply = DchMessage(14);
  responder.answer({reply}, milliseconds(100));
  std::string request = DchMessage(12);
  ASSERT_EQ(transport->ipcWrite(request.data(), 12, 0), 12);
  std::string received;
  EXPECT_EQ(read(*transport, &received, 14), 14);
  EXPECT_EQ(received, reply);
  EXPECT_TRUE(capture_.contains("datagram of 14 bytes from 127.0.0.1:" + std::to_string(LocalPort(stray)) +
                                " ignored: not the DCH server"));
  close(stray);
  transport->releaseIPC();
}

// It once tried again for ever.
TEST_F(SockClientTest, PieceThatCannotBeAllocatedFailsTheRead) {
  Responder responder(port_);
  auto transport = client();
  responder.answer({DchMessage(14)});
  std::string request = DchMessage(12);
  ASSERT_EQ(transport->ipcWrite(request.data(), 12, 0), 12);
  responder.request();
  failPieceAllocations = true;
  void* buffer = nullptr;
  int result = transport->ipcRead(&buffer, 1);
  failPieceAllocations = false;
  EXPECT_EQ(result, -1);
  EXPECT_EQ(buffer, nullptr);
  EXPECT_TRUE(capture_.contains("Error: allocating 8192 bytes for ipcBuffer"));
  transport->releaseIPC();
}

TEST_F(SockClientTest, ReplyTransportSendsFromItsOwnSocketsWhereItIsPointed) {
  ipcSock replies(DCHIPC_CLIENT, 1, 0);
  ASSERT_EQ(replies.ipcGetError(), 0);
  EXPECT_GE(replies.sockUDP(), 0);
  EXPECT_GE(replies.sockTCP(), 0);
  EXPECT_NE(replies.sockPortUDP(), 0);
  EXPECT_NE(replies.sockPortTCP(), 0);
  int peer = OpenLoopbackUdp();
  sockaddr_in destination = LoopbackAddress(LocalPort(peer));
  replies.setClientAddr(&destination, sizeof destination);
  std::string message = DchMessage(50);
  EXPECT_EQ(replies.ipcWrite(message.data(), 50, 0), 50);
  sockaddr_in sender{};
  EXPECT_EQ(ReceiveWithin(peer, 1000, &sender), message);
  EXPECT_EQ(ntohs(sender.sin_port), replies.sockPortUDP());
  EXPECT_EQ(replies.releaseIPC(), 0);
  close(peer);
}

// The whole road in one process: a DCHclient's request reaches the server's ring, and the
// reply transport's answer, cut into datagrams with a pause between them, leaves from the
// DCH port, so the client takes it.
TEST_F(SockClientTest, ServerRepliesLeaveFromTheDCHPortAndAreJoined) {
  ManualClock clock;
  ipcSock server(DCHIPC_SERVER, 0, 1);
  ASSERT_EQ(TakeFromRing(server).kind, DCHmessageKind::serverReady);
  ipcSock replies(DCHIPC_CLIENT, 1, 0);
  auto transport = client();
  std::string request = DchMessage(300);
  ASSERT_EQ(transport->ipcWrite(request.data(), 300, 0), 300);
  RingEntry entry = TakeFromRing(server);
  ASSERT_EQ(entry.body, request);

  std::string reply = DchMessage(20000);
  replies.setClientAddr(&entry.address, entry.addressLength);
  EXPECT_EQ(replies.ipcWrite(reply.data(), 20000, 0), 20000);
  EXPECT_EQ(clock.sleptSeconds(), 2);
  std::string received;
  EXPECT_EQ(read(*transport, &received, reply.size()), 20000 - 2 * 8192);
  EXPECT_EQ(received, reply);
  transport->releaseIPC();
}

// Answers no name: nothing leaves the process for a look-up.
class UnknownHosts : public zev0::Resolver {
 public:
  int hostByName(const char*, hostent*, char*, size_t, int* hostError) override {
    *hostError = HOST_NOT_FOUND;
    return 1;
  }
  int hostByAddress(const in_addr&, hostent*, char*, size_t, int* hostError) override {
    *hostError = HOST_NOT_FOUND;
    return 1;
  }
  int systemHostName(char* name, size_t size) override {
    snprintf(name, size, "localhost");
    return 0;
  }
};

int unresolvableDCHHostStatus() {
  UnknownHosts resolver;
  zev0::SetResolver(&resolver);
  setenv("ZEVA_DCH_ADDR", "nowhere.invalid", 1);
  TraceCapture capture("*=0x80");
  ipcSock dchClient(DCHIPC_DCHCLIENT, 0, 0);
  if (dchClient.ipcGetError() == 0) return 1;
  if (!capture.contains("Error: ZEV0_ConvertNameToAddr failed for[nowhere.invalid]")) return 2;
  ipcSock replies(DCHIPC_CLIENT, 1, 0);
  if (replies.ipcGetError() != 0) return 3;
  return 0;
}

TEST_F(SockClientTest, UnresolvableDCHHostFailsOnlyTheTransportsThatSendToIt) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");  // the DCH settings are read once per process
  EXPECT_EXIT(_exit(unresolvableDCHHostStatus()), ::testing::ExitedWithCode(0), "");
}

}  // namespace
