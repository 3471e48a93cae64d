#include <arpa/inet.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <set>
#include <string>
#include <vector>

#include "eventually.h"
#include "socket_tables.h"
#include "trace_capture.h"
#include "zev0/hostnames.h"
#include "zev0/sockets.h"

namespace {

// No name resolves.
class UnresolvingResolver : public zev0::Resolver {
 public:
  UnresolvingResolver() : previous_(zev0::SetResolver(this)) {}
  ~UnresolvingResolver() override { zev0::SetResolver(previous_); }

  int hostByName(const char*, hostent*, char*, size_t, int* hostError) override { return notFound(hostError); }
  int hostByAddress(const in_addr&, hostent*, char*, size_t, int* hostError) override { return notFound(hostError); }
  int systemHostName(char* name, size_t size) override {
    std::snprintf(name, size, "sysname");
    return 0;
  }

 private:
  static int notFound(int* hostError) {
    *hostError = HOST_NOT_FOUND;
    return ENOENT;
  }
  zev0::Resolver* previous_;
};

class LocalSocketTest : public ::testing::Test {
 protected:
  // The name in effect is the loopback address itself: no name service is asked.
  static void SetUpTestSuite() {
    setenv("QFEB0_HOSTNAME", "127.0.0.1", 1);
    setenv("ZEV_TCPIP_DOMAIN_NAME", "test.invalid", 1);
  }
};

int socketOption(int descriptor, int level, int option) {
  int value = -1;
  socklen_t length = sizeof value;
  return getsockopt(descriptor, level, option, &value, &length) == 0 ? value : -1;
}

bool isNonBlocking(int descriptor) { return (fcntl(descriptor, F_GETFL) & O_NONBLOCK) != 0; }

sockaddr_in boundAddress(int descriptor) {
  sockaddr_in bound{};
  socklen_t length = sizeof bound;
  getsockname(descriptor, reinterpret_cast<sockaddr*>(&bound), &length);
  return bound;
}

std::string dotted(const in_addr& address) {
  char text[INET_ADDRSTRLEN];
  inet_ntop(AF_INET, &address, text, sizeof text);
  return text;
}

// True once the kernel lists a connection from the local port in TIME_WAIT; gives up
// after two seconds.
bool timeWaitOnPort(unsigned short port) {
  return Eventually([port] { return TcpSocketInState(port, "06"); }, 2000);
}

TEST_F(LocalSocketTest, BoundNonBlockingWithTheOptionsOfTheReuseFlag) {
  struct Case {
    int type;
    int noReuse;
    int expectedOption;
  };
  const Case cases[] = {
      {SOCK_STREAM, 0, 1}, {SOCK_STREAM, 1, 0}, {SOCK_STREAM, 2, 1},
      {SOCK_DGRAM, 0, 0},  {SOCK_DGRAM, 1, 0},  {SOCK_DGRAM, -1, 0},  // any port: see below
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.type == SOCK_STREAM ? "TCP" : "UDP") + " noReuse " + std::to_string(c.noReuse));
    sockaddr_in record;
    std::memset(&record, 0xAB, sizeof record);
    int descriptor = ZEV0_OpenLocalSocket(c.type, 0, &record, c.noReuse);
    ASSERT_GT(descriptor, 0);
    EXPECT_EQ(socketOption(descriptor, SOL_SOCKET, SO_TYPE), c.type);
    EXPECT_EQ(socketOption(descriptor, SOL_SOCKET, SO_REUSEADDR), c.expectedOption);
    if (c.type == SOCK_STREAM) {
      EXPECT_EQ(socketOption(descriptor, IPPROTO_TCP, TCP_NODELAY), c.expectedOption);
    }
    EXPECT_TRUE(isNonBlocking(descriptor));

    EXPECT_EQ(record.sin_family, AF_INET);
    EXPECT_EQ(dotted(record.sin_addr), "127.0.0.1");
    EXPECT_EQ(record.sin_port, 0);  // the caller asked for any port
    sockaddr_in bound = boundAddress(descriptor);
    EXPECT_EQ(dotted(bound.sin_addr), "127.0.0.1");
    EXPECT_NE(ZEV0_RetrieveSockPort(descriptor), 0);
    EXPECT_EQ(ZEV0_RetrieveSockPort(descriptor), ntohs(bound.sin_port));
    ZEV0_CloseTheSocket(descriptor);
  }
}

// With address reuse the kernel gave two UDP sockets on ports of its choosing the same port
// now and then, and a datagram for one woke the other: many sockets, no port twice.
TEST_F(LocalSocketTest, RegressionUdpSocketsOnAnyPortNeverShareOne) {
  std::vector<int> descriptors;
  std::set<unsigned short> ports;
  for (int i = 0; i < 1000; ++i) {
    int descriptor = ZEV0_OpenLocalSocket(SOCK_DGRAM, 0, nullptr, 0);
    ASSERT_GT(descriptor, 0);
    descriptors.push_back(descriptor);
    EXPECT_TRUE(ports.insert(ZEV0_RetrieveSockPort(descriptor)).second) << "port given twice";
  }
  for (int descriptor : descriptors) ZEV0_CloseTheSocket(descriptor);
  // A UDP socket on a port given by the caller still reuses its address.
  int fixed = ZEV0_OpenLocalSocket(SOCK_DGRAM, htons(*ports.begin()), nullptr, 0);
  ASSERT_GT(fixed, 0);
  EXPECT_EQ(socketOption(fixed, SOL_SOCKET, SO_REUSEADDR), 1);
  ZEV0_CloseTheSocket(fixed);
}

TEST_F(LocalSocketTest, RestartedServerRebindsAPortHeldInTimeWait) {
  sockaddr_in record;
  int server = ZEV0_OpenLocalSocket(SOCK_STREAM, 0, &record, 0);
  ASSERT_GT(server, 0);
  unsigned short port = ZEV0_RetrieveSockPort(server);
  ASSERT_EQ(listen(server, 1), 0);

  int client = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in target = boundAddress(server);
  ASSERT_EQ(connect(client, reinterpret_cast<sockaddr*>(&target), sizeof target), 0);
  pollfd waiting = {server, POLLIN, 0};
  ASSERT_EQ(poll(&waiting, 1, 2000), 1);
  int connection = accept(server, nullptr, nullptr);
  ASSERT_GE(connection, 0);

  // The server closes first, so its end of the connection goes to TIME_WAIT.
  close(connection);
  char byte;
  EXPECT_EQ(read(client, &byte, 1), 0);
  close(client);
  ZEV0_CloseTheSocket(server);
  ASSERT_TRUE(timeWaitOnPort(port));

  EXPECT_EQ(ZEV0_OpenLocalSocket(SOCK_STREAM, htons(port), &record, 1), -1) << "without reuse the port is held";
  int restarted = ZEV0_OpenLocalSocket(SOCK_STREAM, htons(port), &record, 0);
  ASSERT_GT(restarted, 0);
  EXPECT_EQ(record.sin_port, htons(port));
  EXPECT_EQ(ZEV0_RetrieveSockPort(restarted), port);
  EXPECT_EQ(listen(restarted, 1), 0);
  ZEV0_CloseTheSocket(restarted);
}

TEST_F(LocalSocketTest, DescriptorZeroIsSkippedAndStaysOpen) {
  EXPECT_EXIT(
      {
        close(0);
        TraceCapture capture("*=0x90");
        ZEV0_CloseTheSocket(0);  // its failure is not worth a trace
        bool quietClose = !capture.contains("Unable to close socket");
        sockaddr_in record;
        int descriptor = ZEV0_OpenLocalSocket(SOCK_DGRAM, 0, &record, 0);
        bool zeroKeptOpen = socketOption(0, SOL_SOCKET, SO_TYPE) == SOCK_DGRAM;
        bool traced = capture.contains("Socket 0 skipped for use but remains open.");
        std::fprintf(stderr, "descriptor %d quiet %d kept %d traced %d\n", descriptor, quietClose, zeroKeptOpen,
                     traced);
        std::exit(descriptor > 0 && quietClose && zeroKeptOpen && traced ? 0 : 1);
      },
      ::testing::ExitedWithCode(0), "");
}

TEST_F(LocalSocketTest, UnresolvedNameInEffectBindsToAnyAddress) {
  // The bind address is fixed at the first open: a new process starts afresh.
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_EXIT(
      {
        UnresolvingResolver resolver;
        setenv("QFEB0_HOSTNAME", "nohost", 1);
        sockaddr_in record;
        int descriptor = ZEV0_OpenLocalSocket(SOCK_DGRAM, 0, &record, 0);
        std::string recorded = dotted(record.sin_addr);
        std::string bound = dotted(boundAddress(descriptor).sin_addr);
        std::fprintf(stderr, "descriptor %d record %s bound %s\n", descriptor, recorded.c_str(), bound.c_str());
        std::exit(descriptor > 0 && recorded == "0.0.0.0" && bound == "0.0.0.0" ? 0 : 1);
      },
      ::testing::ExitedWithCode(0), "");
}

TEST_F(LocalSocketTest, FailedBindClosesTheSocket) {
  sockaddr_in record;
  int holder = ZEV0_OpenLocalSocket(SOCK_DGRAM, 0, &record, 1);
  ASSERT_GT(holder, 0);
  unsigned short port = ZEV0_RetrieveSockPort(holder);
  TraceCapture capture("*=0x80");  // before the probe: the trace may hold a descriptor
  int lowestFree = socket(AF_INET, SOCK_DGRAM, 0);
  close(lowestFree);

  EXPECT_EQ(ZEV0_OpenLocalSocket(SOCK_DGRAM, htons(port), &record, 1), -1);
  EXPECT_TRUE(capture.contains("bind failed for local UDP socket " + std::to_string(lowestFree) +
                               ", port=" + std::to_string(port) + ", errno=" + std::to_string(EADDRINUSE)));
  int next = socket(AF_INET, SOCK_DGRAM, 0);
  EXPECT_EQ(next, lowestFree) << "the socket that failed to bind was not closed";
  close(next);
  ZEV0_CloseTheSocket(holder);
}

TEST_F(LocalSocketTest, SmallCallsAndTheirFailures) {
  sockaddr_in record;
  int descriptor = ZEV0_OpenLocalSocket(SOCK_STREAM, 0, &record, 0);
  ASSERT_GT(descriptor, 0);
  int blocking = 0;
  EXPECT_EQ(ZEV0_SetSocketIoctl(descriptor, FIONBIO, &blocking), 0);
  EXPECT_FALSE(isNonBlocking(descriptor));

  TraceCapture capture("*=0x82");
  ZEV0_CloseTheSocket(descriptor);
  EXPECT_TRUE(capture.contains("Socket " + std::to_string(descriptor) + " closed"));

  // The descriptor is closed now.
  ZEV0_CloseTheSocket(descriptor);
  EXPECT_TRUE(capture.contains("Unable to close socket " + std::to_string(descriptor) + ", rc: -1"));
  EXPECT_LT(ZEV0_SetSocketIoctl(descriptor, FIONBIO, &blocking), 0);
  EXPECT_TRUE(capture.contains("ioctl failed. errno " + std::to_string(EBADF)));
  EXPECT_EQ(ZEV0_RetrieveSockPort(descriptor), 0);
  EXPECT_TRUE(capture.contains("*** getsockname failed for socket " + std::to_string(descriptor) + ". errno " +
                               std::to_string(EBADF)));
  EXPECT_EQ(ZEV0_WinSockInitialization(), 1);
}

}  // namespace
