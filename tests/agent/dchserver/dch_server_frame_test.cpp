// The DCH server frame, spoken to by a raw peer on loopback: DCH messages are written
// out byte by byte here, never built by the library. Most cases run the server in the
// host program zevdchhost, as the agent core hosts it; the cases that need to reach
// inside the process (a failing ring, the destructor) run it in this process.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <memory>
#include <new>
#include <string>
#include <thread>

#include "dch/channel_functions.h"
#include "dch_host_process.h"
#include "dch_server.h"
#include "dch_test_settings.h"
#include "eventually.h"
#include "free_port.h"
#include "proc_text.h"
#include "raw_dch_peer.h"
#include "trace_capture.h"

// --- Fault injection: one array allocation of a chosen size fails --------------
//
// The request ring and its reader get their buffers from the nothrow array form,
// which this program replaces. Armed, it fails the allocation of `size` bytes that
// comes after `skip` others of that size; then it is disarmed.
namespace {

std::atomic<size_t> failingSize{0};
std::atomic<int> skipBeforeFailure{0};
std::atomic<bool> failureInjected{false};

void failArrayAllocation(size_t size, int skip) {
  failureInjected = false;
  skipBeforeFailure = skip;
  failingSize = size;
}

}  // namespace

void* operator new[](std::size_t size, const std::nothrow_t&) noexcept {
  if (size != 0 && size == failingSize.load() && skipBeforeFailure.fetch_sub(1) == 0) {
    failingSize = 0;
    failureInjected = true;
    return nullptr;
  }
  try {
    return ::operator new[](size);
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
}

namespace {

using Clock = std::chrono::steady_clock;

constexpr int kReplyWaitMs = 3000;
// How long a reply that must not come is given to come.
constexpr int kSilenceMs = 300;
// Only a bound on a hang: the host ends as soon as it can, which on a busy machine
// may be seconds after it was told to.
constexpr int kEndWaitMs = 30000;

// --- DCH bytes, written out by hand ---------------------------------------------

using rawdch::Hex;
using rawdch::TcpPeer;
using rawdch::UdpPeer;

// 0x1025 offline for handle 5 (which no store holds): total 22, the request-code
// field, the handle field.
const std::string kOfflineRequest = Hex("00000016  00000008 0010 1025  0000000a 0080 00000005");
// The status reply -1 (all bits set) that it gets.
const std::string kStatusMinusOne = Hex("0000000e  0000000a 0011 ffffffff");
const std::string kStatusResend = Hex("0000000e  0000000a 0011 00000007");
// 0x1015 online of APP / GRP / SRC (network character code), 39 bytes.
const std::string kOnlineRequest =
    Hex("00000027  00000008 0010 1015  00000009 0020 c1d7d7  00000009 0022 c7d9d7  00000009 0021 e2d9c3");
// 0x2090 wait for the results of action 3.
const std::string kWaitForResultsRequest = Hex("00000016  00000008 0010 2090  0000000a 0120 00000003");
// A message whose first field is no request code: a status reply sent to the server.
const std::string kStray = Hex("0000000e  0000000a 0011 00000000");

// --- The host program -------------------------------------------------------------

int Occurrences(const std::string& text, const std::string& piece) {
  int count = 0;
  for (size_t at = text.find(piece); at != std::string::npos; at = text.find(piece, at + piece.size())) ++count;
  return count;
}

class DCHhostTest : public ::testing::Test {
 protected:
  void startReady() { ASSERT_TRUE(host_.startReady()) << host_.failure(); }

  // Ends the host with SIGTERM and checks that it went, cleanly.
  void expectCleanEndOnSigterm() {
    int status = host_.terminate(kEndWaitMs);
    ASSERT_NE(status, -1) << "the host did not end after SIGTERM";
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "wait status " << status;
    EXPECT_EQ(host_.errorText().find("Sanitizer"), std::string::npos) << host_.errorText();
  }

  // Proves the server still serves: a request gets its reply.
  void expectServing() {
    UdpPeer peer(host_.port());
    ASSERT_TRUE(peer.send(kOfflineRequest));
    EXPECT_EQ(peer.receive(kReplyWaitMs), kStatusMinusOne);
  }

  std::string traceText() const { return host_.traceText(); }

  DCHhostProcess host_;
};

TEST_F(DCHhostTest, ReadyHandshakeThenRepliesThenEndsCleanlyOnSigterm) {
  startReady();
  expectServing();
  expectCleanEndOnSigterm();
}

TEST_F(DCHhostTest, EndsWhenItsStandardInputCloses) {
  startReady();
  host_.closeInput();
  int status = host_.waitForEnd(kEndWaitMs);
  ASSERT_NE(status, -1);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
}

TEST_F(DCHhostTest, AnUnknownTransportTypeEndsTheProgramWithExitCodeOne) {
  ASSERT_TRUE(host_.start({"ZEVA_DCH_IPCTYPE=3"})) << host_.failure();
  int status = host_.waitForEnd(kEndWaitMs);
  ASSERT_NE(status, -1);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 1) << "wait status " << status;
  EXPECT_EQ(host_.readLine(100), "");
  EXPECT_NE(traceText().find("Error: Unrecognized IPC type 3"), std::string::npos);
}

TEST_F(DCHhostTest, RequestsAreAnsweredTheWayTheyCame) {
  startReady();
  TcpPeer provider(host_.port());
  ASSERT_TRUE(provider.send(kOfflineRequest));
  EXPECT_EQ(provider.receiveBytes(kStatusMinusOne.size(), kReplyWaitMs), kStatusMinusOne) << "on the TCP connection";

  UdpPeer consumer(host_.port());
  ASSERT_TRUE(consumer.send(kOfflineRequest));
  EXPECT_EQ(consumer.receive(kReplyWaitMs), kStatusMinusOne) << "as a datagram to the sender";
  expectCleanEndOnSigterm();
}

// A failed online still carries the handle field, with 0; 0x2090 gets a status reply.
TEST_F(DCHhostTest, OnlineIsAnsweredWithAHandleFieldAndWaitForResultsWithAStatus) {
  startReady();
  UdpPeer peer(host_.port());
  ASSERT_TRUE(peer.send(kOnlineRequest));
  std::string reply = peer.receive(kReplyWaitMs);
  ASSERT_EQ(reply.size(), 24u);
  EXPECT_EQ(reply.substr(0, 4), Hex("00000018"));
  EXPECT_NE(reply.substr(10, 4), Hex("00000000")) << "the request cannot succeed";
  EXPECT_EQ(reply.substr(14), Hex("0000000a 0080 00000000"));

  ASSERT_TRUE(peer.send(kWaitForResultsRequest));
  reply = peer.receive(kReplyWaitMs);
  ASSERT_EQ(reply.size(), 14u);
  EXPECT_EQ(reply.substr(0, 10), Hex("0000000e 0000000a 0011"));
  expectCleanEndOnSigterm();
}

TEST_F(DCHhostTest, RequestsWithoutAReplyGetNone) {
  startReady();
  const struct {
    const char* what;
    std::string request;
  } cases[] = {
      {"an unknown request code", Hex("0000000c  00000008 0010 1011")},
      {"the server's own action message", Hex("0000000c  00000008 0010 1060")},
      {"a cancel", Hex("0000000c  00000008 0010 10ff")},
  };
  UdpPeer peer(host_.port());
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    ASSERT_TRUE(peer.send(c.request));
    EXPECT_EQ(peer.receive(kSilenceMs), "");
  }
  expectServing();
  EXPECT_EQ(Occurrences(traceText(), "Error: Invalid DCHserver requestType"), 2);
  EXPECT_NE(traceText().find("Error: Invalid DCHserver requestType 4113"), std::string::npos);
  expectCleanEndOnSigterm();
}

// A TCP message cut short: the server answers status 7 on the connection; a message
// without a request code right after it is taken for the rest of the cut one.
TEST_F(DCHhostTest, AMessageCutShortIsAnsweredWithTheResendStatus) {
  startReady();
  // Declares 100 bytes; 60 come.
  const std::string cut = Hex("00000064  00000008 0010 1030  0000000a 0080 00000005") + std::string(38, '\0');
  {
    TcpPeer provider(host_.port());
    // No more comes within the DCH time-out (1 second).
    ASSERT_TRUE(provider.send(cut));
    EXPECT_EQ(provider.receiveBytes(kStatusResend.size(), kReplyWaitMs), kStatusResend);
    ASSERT_TRUE(provider.send(kStray));
    usleep(100000);  // read apart from the next one
    ASSERT_TRUE(provider.send(kOfflineRequest));
    EXPECT_EQ(provider.receiveBytes(kStatusMinusOne.size(), kReplyWaitMs), kStatusMinusOne);
  }  // the connection closes
  expectServing();
  EXPECT_NE(traceText().find("Warning: Buffer expansion stage. Message ignored."), std::string::npos);
  {
    // The sender stops in mid-message: the transport asks for the message again and sees
    // the connection end at once, so the status 7 may find the connection gone already.
    TcpPeer provider(host_.port());
    ASSERT_TRUE(provider.send(cut));
    provider.closeSending();
    std::string reply = provider.receiveBytes(kStatusResend.size(), kSilenceMs);
    EXPECT_TRUE(reply.empty() || reply == kStatusResend) << reply.size() << " bytes";
  }
  expectServing();
  expectCleanEndOnSigterm();
}

// The fault: after 100 messages without a request code the request loop ended for the
// life of the process, while the agent ran on without its server.
TEST_F(DCHhostTest, RegressionStrayDatagramsDoNotStopTheServer) {
  startReady();
  constexpr int kStrays = 150;
  constexpr int kBurst = 25;
  UdpPeer stranger(host_.port());
  for (int sent = 0; sent < kStrays; ++sent) {
    ASSERT_TRUE(stranger.send(kStray));
    if (sent % kBurst == kBurst - 1) usleep(20000);  // within what the socket buffers
  }
  expectServing();
  std::string trace = traceText();
  EXPECT_EQ(Occurrences(trace, "Error: dataType of DCH_requestType missing"), kStrays);
  EXPECT_EQ(trace.find("cannot continue"), std::string::npos);
  expectCleanEndOnSigterm();
}

// The local-procedure-call transport never delivers a message, so the server never
// becomes ready; it must still end cleanly.
TEST_F(DCHhostTest, AServerThatNeverBecomesReadyStillEndsCleanly) {
  ASSERT_TRUE(host_.start({"ZEVA_DCH_IPCTYPE=2"})) << host_.failure();
  EXPECT_EQ(host_.readLine(kSilenceMs), "");
  // Before the host takes SIGTERM (a busy machine may not have run it that far yet),
  // the signal would end it as it ends any process.
  ASSERT_TRUE(Eventually([this] { return SignalBlocked(host_.pid(), SIGTERM); }, kReplyWaitMs));
  expectCleanEndOnSigterm();
}

// --- The server in this process -------------------------------------------------

// A server that hangs ends this program (SIGALRM) rather than the whole run.
class Watchdog {
 public:
  Watchdog() { alarm(10); }
  ~Watchdog() { alarm(0); }
};

// The fault: a take that failed left the previous request in the buffer, and the loop
// handled it again. Here the reader's buffer cannot be had for a larger message once.
TEST(DCHserverInProcessTest, RegressionAFailedTakeDoesNotHandleThePreviousRequestAgain) {
  unsigned short port = LoopbackDCHPort();
  Watchdog watchdog;
  TraceCapture capture("*=0x80");
  DCHserver server;
  ASSERT_TRUE(WaitUntilReady(server));
  UdpPeer peer(port);
  ASSERT_TRUE(peer.send(kOnlineRequest));
  ASSERT_EQ(peer.receive(kReplyWaitMs).size(), 24u);

  // 0x1025 offline for handle 5, padded with a help-text field to 5000 bytes: the
  // ring's fresh slot and then the reader's buffer are allocated with 5001 bytes.
  constexpr size_t kLarge = 5000;
  std::string large = Hex("00001388  00000008 0010 1025  0000000a 0080 00000005") + Hex("00001372 0090") +
                      std::string(kLarge - 22 - 6, '\x40');
  ASSERT_EQ(large.size(), kLarge);
  failArrayAllocation(kLarge + 1, 1);
  ASSERT_TRUE(peer.send(large));
  EXPECT_EQ(peer.receive(kReplyWaitMs), kStatusMinusOne) << "the first reply is the large request's own";
  EXPECT_EQ(peer.receive(kSilenceMs), "");
  EXPECT_TRUE(failureInjected.load());
  EXPECT_TRUE(capture.contains("Error: no message taken from the request ring"));
}

// The fault: the destructor freed the ring, the store and the lists while the request
// thread and the transport's thread still used them. Here datagrams keep coming while
// the server is destroyed, so the ring is full and both threads are busy; after it,
// both threads are gone: the port is free again and the connection is closed.
TEST(DCHserverInProcessTest, RegressionDestroyingTheServerStopsBothThreadsFirst) {
  unsigned short port = LoopbackDCHPort();
  Watchdog watchdog;
  auto server = std::make_unique<DCHserver>();
  ASSERT_TRUE(WaitUntilReady(*server));
  TcpPeer provider(port);
  ASSERT_TRUE(provider.send(kOfflineRequest));
  ASSERT_EQ(provider.receiveBytes(kStatusMinusOne.size(), kReplyWaitMs), kStatusMinusOne);

  std::atomic<bool> destroyed{false};
  std::thread consumers([port, &destroyed] {
    int sockFD = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    sockaddr_in server = rawdch::LoopbackAddress(port);
    while (!destroyed.load())
      sendto(sockFD, kOfflineRequest.data(), kOfflineRequest.size(), 0, reinterpret_cast<sockaddr*>(&server),
             sizeof server);
    close(sockFD);
  });
  usleep(20000);
  auto started = Clock::now();
  server.reset();
  auto took = Clock::now() - started;
  destroyed = true;
  consumers.join();
  EXPECT_LT(took, std::chrono::seconds(1));
  EXPECT_TRUE(LoopbackPortIsFree(port));
  EXPECT_EQ(provider.receiveBytes(1, 1000), "") << "the connection is closed";
}

}  // namespace
