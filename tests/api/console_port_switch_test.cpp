// The switch between the two console ports that may serve API input, with the fixed
// ports themselves: in a network namespace of the test's own, 7700 held by a socket of
// the test that never answers, and the ASFS data provider of the agent program with its
// console at 7703. The namespace's child also gives the case the fresh process its
// once-set port needs.
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdlib>

#include "api_agent.h"
#include "api_test_settings.h"
#include "network_namespace.h"
#include "zevpapi/dp_api.h"

namespace {

constexpr unsigned short kApiConsolePort = 7700;
constexpr unsigned short kAsfsConsolePort = 7703;

// A UDP socket bound to the loopback port that nobody reads until the test does; -1
// when the port cannot be bound.
int SilentDatagramSocket(unsigned short port) {
  int socket = ::socket(AF_INET, SOCK_DGRAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(port);
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (socket >= 0 && bind(socket, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
    close(socket);
    return -1;
  }
  return socket;
}

// The datagrams waiting at the socket, taken.
int DatagramsTaken(int socket) {
  int count = 0;
  char byte;
  while (recv(socket, &byte, sizeof byte, MSG_DONTWAIT) >= 0) ++count;
  return count;
}

TEST(ConsolePortSwitchTest, APingUnansweredAt7700IsAnsweredAt7703WhereLaterRequestsGoFirst) {
  RunInNetworkNamespace([] {
    const int silent = SilentDatagramSocket(kApiConsolePort);
    ASSERT_GE(silent, 0);
    ApiAgent agent;
    agent.agent().useConsoleBase(kApiConsolePort);
    ASSERT_TRUE(agent.start("ASFS")) << agent.agent().traceText();

    UseLoopbackSettings();
    unsetenv("ZEVP_DPCONSOLE_PORT");
    // Longer than the console's pause between two commands, so only silence times out.
    setenv("ZEVP_CONSOLE_COMMAND_WAIT", "2", 1);
    int status = -1;
    char stamp[80] = {};
    EXPECT_EQ(dp_CheckAPIserverStatus(&status, stamp), 1);
    EXPECT_EQ(status, 0);
    EXPECT_STRNE(stamp, "");
    EXPECT_EQ(static_cast<unsigned short>(CMDport), kAsfsConsolePort);
    EXPECT_EQ(DatagramsTaken(silent), 1) << "the first PING went to 7700";

    EXPECT_EQ(dp_Ping(&status), 1);
    EXPECT_EQ(status, 0);
    EXPECT_EQ(DatagramsTaken(silent), 0) << "the next request went to 7703 first";
    close(silent);
  });
}

}  // namespace
