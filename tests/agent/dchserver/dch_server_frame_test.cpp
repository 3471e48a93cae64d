// The DCH server frame, spoken to by a raw peer on loopback: DCH messages are written
// out byte by byte here, never built by the library. Most cases run the server in the
// host program zevdchhost, as the agent core hosts it; the cases that need to reach
// inside the process (a failing ring, the destructor) run it in this process.
#include <arpa/inet.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cctype>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <memory>
#include <new>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "dch/channel_functions.h"
#include "dch_server.h"
#include "trace_capture.h"
#include "zev0/threads.h"

extern char** environ;

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

// --- DCH bytes, written out by hand ---------------------------------------------

// Hex digits, blanks between them for reading.
std::string Bytes(const char* hex) {
  std::string bytes;
  int high = -1;
  for (const char* c = hex; *c != '\0'; ++c) {
    if (std::isspace(static_cast<unsigned char>(*c))) continue;
    int digit = std::isdigit(static_cast<unsigned char>(*c)) ? *c - '0' : std::tolower(*c) - 'a' + 10;
    if (high < 0) {
      high = digit;
    } else {
      bytes.push_back(static_cast<char>(high * 16 + digit));
      high = -1;
    }
  }
  return bytes;
}

// 0x1025 offline for handle 5 (which no store holds): total 22, the request-code
// field, the handle field.
const std::string kOfflineRequest = Bytes("00000016  00000008 0010 1025  0000000a 0080 00000005");
// The status reply -1 (all bits set) that it gets.
const std::string kStatusMinusOne = Bytes("0000000e  0000000a 0011 ffffffff");
const std::string kStatusResend = Bytes("0000000e  0000000a 0011 00000007");
// 0x1015 online of APP / GRP / SRC (network character code), 39 bytes.
const std::string kOnlineRequest =
    Bytes("00000027  00000008 0010 1015  00000009 0020 c1d7d7  00000009 0022 c7d9d7  00000009 0021 e2d9c3");
// 0x2090 wait for the results of action 3.
const std::string kWaitForResultsRequest = Bytes("00000016  00000008 0010 2090  0000000a 0120 00000003");
// A message whose first field is no request code: a status reply sent to the server.
const std::string kStray = Bytes("0000000e  0000000a 0011 00000000");

// --- A raw peer -----------------------------------------------------------------

sockaddr_in Loopback(unsigned short port) {
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(port);
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  return address;
}

bool BindLoopback(int sockFD, unsigned short port) {
  int reuse = 1;
  setsockopt(sockFD, SOL_SOCKET, SO_REUSEADDR, &reuse, sizeof reuse);
  sockaddr_in address = Loopback(port);
  return bind(sockFD, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
}

unsigned short LocalPort(int sockFD) {
  sockaddr_in bound{};
  socklen_t length = sizeof bound;
  getsockname(sockFD, reinterpret_cast<sockaddr*>(&bound), &length);
  return ntohs(bound.sin_port);
}

// Free on 127.0.0.1 for UDP and TCP alike right now.
bool PortIsFree(unsigned short port) {
  int udp = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
  int tcp = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  bool free = BindLoopback(udp, port) && BindLoopback(tcp, port);
  close(udp);
  close(tcp);
  return free;
}

unsigned short FreePort() {
  for (int attempt = 0; attempt < 20; ++attempt) {
    int udp = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    BindLoopback(udp, 0);
    unsigned short port = LocalPort(udp);
    close(udp);
    if (port != 0 && PortIsFree(port)) return port;
  }
  return 0;
}

class UdpPeer {
 public:
  UdpPeer() : sockFD_(socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0)) { EXPECT_TRUE(BindLoopback(sockFD_, 0)); }
  ~UdpPeer() { close(sockFD_); }

  void send(const std::string& bytes, unsigned short port) const {
    sockaddr_in server = Loopback(port);
    ASSERT_EQ(sendto(sockFD_, bytes.data(), bytes.size(), 0, reinterpret_cast<sockaddr*>(&server), sizeof server),
              static_cast<ssize_t>(bytes.size()));
  }
  // One datagram, or empty when none came in time.
  std::string receive(int waitMs = kReplyWaitMs) const {
    pollfd readable{sockFD_, POLLIN, 0};
    if (poll(&readable, 1, waitMs) != 1) return {};
    char datagram[65536];
    ssize_t bytes = recv(sockFD_, datagram, sizeof datagram, 0);
    return bytes > 0 ? std::string(datagram, static_cast<size_t>(bytes)) : std::string();
  }

 private:
  int sockFD_;
};

class TcpPeer {
 public:
  explicit TcpPeer(unsigned short port) : sockFD_(socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0)) {
    sockaddr_in server = Loopback(port);
    EXPECT_EQ(connect(sockFD_, reinterpret_cast<sockaddr*>(&server), sizeof server), 0);
  }
  ~TcpPeer() { close(sockFD_); }

  void send(const std::string& bytes) const {
    ASSERT_EQ(::send(sockFD_, bytes.data(), bytes.size(), MSG_NOSIGNAL), static_cast<ssize_t>(bytes.size()));
  }
  // Ends the sending half; replies may still come.
  void closeSending() const { shutdown(sockFD_, SHUT_WR); }
  // `count` bytes, or what came of them in time.
  std::string receive(size_t count, int waitMs = kReplyWaitMs) const {
    std::string bytes;
    auto deadline = Clock::now() + std::chrono::milliseconds(waitMs);
    while (bytes.size() < count) {
      auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
      pollfd readable{sockFD_, POLLIN, 0};
      if (left <= 0 || poll(&readable, 1, static_cast<int>(left)) != 1) break;
      char piece[256];
      ssize_t got = recv(sockFD_, piece, std::min(sizeof piece, count - bytes.size()), 0);
      if (got <= 0) break;
      bytes.append(piece, static_cast<size_t>(got));
    }
    return bytes;
  }

 private:
  int sockFD_;
};

// --- The host program -------------------------------------------------------------

std::string FileText(const std::string& path) {
  std::ifstream in(path);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

int Occurrences(const std::string& text, const std::string& piece) {
  int count = 0;
  for (size_t at = text.find(piece); at != std::string::npos; at = text.find(piece, at + piece.size())) ++count;
  return count;
}

class DCHhostTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const char* tools = std::getenv("ZEV_TEST_TOOLS");
    ASSERT_NE(tools, nullptr);
    program_ = std::string(tools) + "/zevdchhost";
    char scratch[] = "/tmp/dch_server_frame_test.XXXXXX";
    ASSERT_NE(mkdtemp(scratch), nullptr);
    scratch_ = scratch;
    port_ = FreePort();
    ASSERT_NE(port_, 0);
  }

  void TearDown() override {
    if (pid_ > 0) {
      kill(pid_, SIGKILL);
      waitpid(pid_, nullptr, 0);
    }
    closeInput();
    if (output_ >= 0) close(output_);
    unlink(tracePath().c_str());
    unlink(errorPath().c_str());
    rmdir(scratch_.c_str());
  }

  std::string tracePath() const { return scratch_ + "/host.trc"; }
  std::string errorPath() const { return scratch_ + "/host.err"; }

  // Starts the host with its standard input and output on pipes, its standard error in
  // a file, and its trace (errors only) in another.
  void start(const std::vector<std::string>& extraEnvironment = {}) {
    int input[2], output[2];
    ASSERT_EQ(pipe2(input, O_CLOEXEC), 0);
    ASSERT_EQ(pipe2(output, O_CLOEXEC), 0);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, input[0], STDIN_FILENO);
    posix_spawn_file_actions_adddup2(&actions, output[1], STDOUT_FILENO);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, errorPath().c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    std::vector<std::string> settings = {"ZEVA_DCH_PORT=" + std::to_string(port_), "QFEB0_HOSTNAME=localhost",
                                         "ZEVA_DCH_ADDR=127.0.0.1", "ZEVA_DCH_TIMEOUT=1",
                                         "ZEV_TRACE=*=0x80 >" + tracePath()};
    settings.insert(settings.end(), extraEnvironment.begin(), extraEnvironment.end());
    // The process's own environment, but for what the settings replace.
    auto replaced = [&settings](const char* variable) {
      for (const std::string& setting : settings) {
        size_t nameLength = setting.find('=') + 1;
        if (std::strncmp(variable, setting.c_str(), nameLength) == 0) return true;
      }
      return false;
    };
    std::vector<char*> environment;
    for (char** variable = environ; *variable != nullptr; ++variable)
      if (!replaced(*variable)) environment.push_back(*variable);
    for (std::string& setting : settings) environment.push_back(setting.data());
    environment.push_back(nullptr);
    char* argv[] = {program_.data(), nullptr};
    int rc = posix_spawn(&pid_, program_.c_str(), &actions, nullptr, argv, environment.data());
    posix_spawn_file_actions_destroy(&actions);
    close(input[0]);
    close(output[1]);
    input_ = input[1];
    output_ = output[0];
    ASSERT_EQ(rc, 0) << "posix_spawn " << program_;
  }

  void startReady() {
    ASSERT_NO_FATAL_FAILURE(start());
    ASSERT_EQ(readLine(), "ready " + std::to_string(port_));
  }

  // One line of the host's standard output; what came of it when it ends or time runs out.
  std::string readLine(int waitMs = 5000) {
    std::string line;
    auto deadline = Clock::now() + std::chrono::milliseconds(waitMs);
    while (line.empty() || line.back() != '\n') {
      auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
      pollfd readable{output_, POLLIN, 0};
      if (left <= 0 || poll(&readable, 1, static_cast<int>(left)) != 1) return line;
      char c;
      if (read(output_, &c, 1) != 1) return line;
      line.push_back(c);
    }
    line.pop_back();
    return line;
  }

  // The host's wait status once it has ended within the time; -1 when it has not.
  int waitForEnd(int waitMs) {
    auto deadline = Clock::now() + std::chrono::milliseconds(waitMs);
    for (;;) {
      int status = 0;
      if (waitpid(pid_, &status, WNOHANG) == pid_) {
        pid_ = -1;
        return status;
      }
      if (Clock::now() >= deadline) return -1;
      usleep(5000);
    }
  }

  void closeInput() {
    if (input_ >= 0) close(input_);
    input_ = -1;
  }

  // Ends the host with SIGTERM and checks that it went within a second, cleanly.
  void expectCleanEndOnSigterm() {
    ASSERT_EQ(kill(pid_, SIGTERM), 0);
    int status = waitForEnd(1000);
    ASSERT_NE(status, -1) << "the host did not end within a second of SIGTERM";
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "wait status " << status;
    EXPECT_EQ(FileText(errorPath()).find("Sanitizer"), std::string::npos) << FileText(errorPath());
  }

  // Proves the server still serves: a request gets its reply.
  void expectServing() const {
    UdpPeer peer;
    peer.send(kOfflineRequest, port_);
    EXPECT_EQ(peer.receive(), kStatusMinusOne);
  }

  std::string traceText() const { return FileText(tracePath()); }

  std::string program_, scratch_;
  unsigned short port_ = 0;
  pid_t pid_ = -1;
  int input_ = -1;
  int output_ = -1;
};

TEST_F(DCHhostTest, ReadyHandshakeThenRepliesThenEndsWithinASecondOfSigterm) {
  startReady();
  expectServing();
  expectCleanEndOnSigterm();
}

TEST_F(DCHhostTest, EndsWhenItsStandardInputCloses) {
  startReady();
  closeInput();
  int status = waitForEnd(2000);
  ASSERT_NE(status, -1);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
}

TEST_F(DCHhostTest, AnUnknownTransportTypeEndsTheProgramWithExitCodeOne) {
  ASSERT_NO_FATAL_FAILURE(start({"ZEVA_DCH_IPCTYPE=3"}));
  int status = waitForEnd(3000);
  ASSERT_NE(status, -1);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 1) << "wait status " << status;
  EXPECT_EQ(readLine(100), "");
  EXPECT_NE(traceText().find("Error: Unrecognized IPC type 3"), std::string::npos);
}

TEST_F(DCHhostTest, RequestsAreAnsweredTheWayTheyCame) {
  startReady();
  TcpPeer provider(port_);
  provider.send(kOfflineRequest);
  EXPECT_EQ(provider.receive(kStatusMinusOne.size()), kStatusMinusOne) << "on the TCP connection";

  UdpPeer consumer;
  consumer.send(kOfflineRequest, port_);
  EXPECT_EQ(consumer.receive(), kStatusMinusOne) << "as a datagram to the sender";
  expectCleanEndOnSigterm();
}

// A failed online still carries the handle field, with 0; 0x2090 gets a status reply.
TEST_F(DCHhostTest, OnlineIsAnsweredWithAHandleFieldAndWaitForResultsWithAStatus) {
  startReady();
  UdpPeer peer;
  peer.send(kOnlineRequest, port_);
  std::string reply = peer.receive();
  ASSERT_EQ(reply.size(), 24u);
  EXPECT_EQ(reply.substr(0, 4), Bytes("00000018"));
  EXPECT_NE(reply.substr(10, 4), Bytes("00000000")) << "the request cannot succeed";
  EXPECT_EQ(reply.substr(14), Bytes("0000000a 0080 00000000"));

  peer.send(kWaitForResultsRequest, port_);
  reply = peer.receive();
  ASSERT_EQ(reply.size(), 14u);
  EXPECT_EQ(reply.substr(0, 10), Bytes("0000000e 0000000a 0011"));
  expectCleanEndOnSigterm();
}

TEST_F(DCHhostTest, RequestsWithoutAReplyGetNone) {
  startReady();
  const struct {
    const char* what;
    std::string request;
  } cases[] = {
      {"an unknown request code", Bytes("0000000c  00000008 0010 1011")},
      {"the server's own action message", Bytes("0000000c  00000008 0010 1060")},
      {"a cancel", Bytes("0000000c  00000008 0010 10ff")},
  };
  UdpPeer peer;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    peer.send(c.request, port_);
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
  const std::string cut = Bytes("00000064  00000008 0010 1030  0000000a 0080 00000005") + std::string(38, '\0');
  {
    TcpPeer provider(port_);
    // No more comes within the DCH time-out (1 second).
    provider.send(cut);
    EXPECT_EQ(provider.receive(kStatusResend.size()), kStatusResend);
    provider.send(kStray);
    usleep(100000);  // read apart from the next one
    provider.send(kOfflineRequest);
    EXPECT_EQ(provider.receive(kStatusMinusOne.size()), kStatusMinusOne);
  }  // the connection closes
  expectServing();
  EXPECT_NE(traceText().find("Warning: Buffer expansion stage. Message ignored."), std::string::npos);
  {
    // The sender stops in mid-message: the transport asks for the message again and sees
    // the connection end at once, so the status 7 may find the connection gone already.
    TcpPeer provider(port_);
    provider.send(cut);
    provider.closeSending();
    std::string reply = provider.receive(kStatusResend.size(), kSilenceMs);
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
  UdpPeer stranger;
  for (int sent = 0; sent < kStrays; ++sent) {
    stranger.send(kStray, port_);
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
  ASSERT_NO_FATAL_FAILURE(start({"ZEVA_DCH_IPCTYPE=2"}));
  EXPECT_EQ(readLine(kSilenceMs), "");
  expectCleanEndOnSigterm();
}

// --- The server in this process -------------------------------------------------

// A server that hangs ends this program (SIGALRM) rather than the whole run.
class Watchdog {
 public:
  Watchdog() { alarm(10); }
  ~Watchdog() { alarm(0); }
};

// The DCH settings are read once per process, by its first transport.
unsigned short InProcessPort() {
  static const unsigned short port = [] {
    unsigned short free = FreePort();
    setenv("ZEVA_DCH_PORT", std::to_string(free).c_str(), 1);
    setenv("QFEB0_HOSTNAME", "localhost", 1);
    setenv("ZEVA_DCH_ADDR", "127.0.0.1", 1);
    setenv("ZEVA_DCH_TIMEOUT", "1", 1);
    return free;
  }();
  return port;
}

// As the agent core waits, but giving up after a few seconds.
bool WaitUntilReady(DCHserver& server) {
  if (ZEVA_GetLock(server.readyLock(), &server) != 0) return false;
  for (int waited = 0; server.readyState() == 0 && waited < 5; ++waited)
    ZEV0_ConditionTimedWait(server.readyCond(), server.readyLock(), 1);
  bool ready = server.readyState() == 1;
  ZEVA_ReleaseLock(server.readyLock(), &server);
  return ready;
}

// The fault: a take that failed left the previous request in the buffer, and the loop
// handled it again. Here the reader's buffer cannot be had for a larger message once.
TEST(DCHserverInProcessTest, RegressionAFailedTakeDoesNotHandleThePreviousRequestAgain) {
  unsigned short port = InProcessPort();
  Watchdog watchdog;
  TraceCapture capture("*=0x80");
  DCHserver server;
  ASSERT_TRUE(WaitUntilReady(server));
  UdpPeer peer;
  peer.send(kOnlineRequest, port);
  ASSERT_EQ(peer.receive().size(), 24u);

  // 0x1025 offline for handle 5, padded with a help-text field to 5000 bytes: the
  // ring's fresh slot and then the reader's buffer are allocated with 5001 bytes.
  constexpr size_t kLarge = 5000;
  std::string large = Bytes("00001388  00000008 0010 1025  0000000a 0080 00000005") + Bytes("00001372 0090") +
                      std::string(kLarge - 22 - 6, '\x40');
  ASSERT_EQ(large.size(), kLarge);
  failArrayAllocation(kLarge + 1, 1);
  peer.send(large, port);
  EXPECT_EQ(peer.receive(), kStatusMinusOne) << "the first reply is the large request's own";
  EXPECT_EQ(peer.receive(kSilenceMs), "");
  EXPECT_TRUE(failureInjected.load());
  EXPECT_TRUE(capture.contains("Error: no message taken from the request ring"));
}

// The fault: the destructor freed the ring, the store and the lists while the request
// thread and the transport's thread still used them. Here datagrams keep coming while
// the server is destroyed, so the ring is full and both threads are busy; after it,
// both threads are gone: the port is free again and the connection is closed.
TEST(DCHserverInProcessTest, RegressionDestroyingTheServerStopsBothThreadsFirst) {
  unsigned short port = InProcessPort();
  Watchdog watchdog;
  auto server = std::make_unique<DCHserver>();
  ASSERT_TRUE(WaitUntilReady(*server));
  TcpPeer provider(port);
  provider.send(kOfflineRequest);
  ASSERT_EQ(provider.receive(kStatusMinusOne.size()), kStatusMinusOne);

  std::atomic<bool> destroyed{false};
  std::thread consumers([port, &destroyed] {
    int sockFD = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    sockaddr_in server = Loopback(port);
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
  EXPECT_TRUE(PortIsFree(port));
  EXPECT_EQ(provider.receive(1, 1000), "") << "the connection is closed";
}

}  // namespace
