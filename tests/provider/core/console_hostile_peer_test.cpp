// The console port of a FILE data provider in a process of its own (zevdphost) under a
// hostile peer: random bytes, spoiled console commands, datagrams of 0 and 65,507
// bytes. Its console still answers a client's GETPORT afterwards, the provider's
// resident memory stays within a bound, and it ends cleanly.
#include <gtest/gtest.h>

#include <unistd.h>

#include <string>

#include "console_client.h"
#include "data_provider_process.h"
#include "dch_road_fixture.h"
#include "hostile_peer.h"
#include "proc_text.h"
#include "zev0/codepage.h"

namespace {

constexpr unsigned kWatchdogSeconds = 240;
constexpr unsigned kSeed = 20270117;
// The console takes a command a second; the spell's are worked off before the reply comes.
constexpr int kConsoleWaitMs = 60000;
// Datagrams of the generator in a spell, besides the empty and the largest one: few,
// for the console's pace is one a second.
constexpr int kSpellDatagrams = 12;
// Far less than the largest datagram's worth per datagram of the spell.
constexpr long kGrowthLimitKilobytes = 4 * 1024;

// A command as it goes over the wire.
std::string InNetworkCode(std::string command) {
  ZEV0_ConvertDataToNetwork(command.data(), static_cast<int32_t>(command.size()));
  return command;
}

class ConsoleHostilePeerTest : public DCHroadTest {
 protected:
  void SetUp() override {
    DCHroadTest::SetUp();
    alarm(kWatchdogSeconds);
  }
  void TearDown() override {
    EXPECT_TRUE(provider_.terminate()) << "exit status 0 after SIGTERM";
    EXPECT_EQ(provider_.errorText().find("Sanitizer"), std::string::npos) << provider_.errorText();
    if (HasFailure()) std::cerr << "The data provider's trace:\n" << provider_.traceText();
    alarm(0);
    DCHroadTest::TearDown();
  }

  unsigned short consolePort() const { return static_cast<unsigned short>(provider_.consoleBase() + 1); }
  std::string ownGetPortReply() const { return "0 1 " + std::to_string(consolePort()); }

  DataProviderProcess provider_{"FILE", port()};
};

TEST_F(ConsoleHostilePeerTest, TheConsoleStillAnswersAfterHostileDatagramsAndTheProviderDoesNotGrow) {
  syncWithServer();
  ASSERT_TRUE(provider_.start({kHostileRunSanitizerSettings})) << provider_.errorText();
  ASSERT_EQ(AwaitConsole(consolePort(), kConsoleWaitMs), ownGetPortReply());
  long before = ResidentKilobytes(provider_.pid());

  HostileBytes bytes(kSeed, {InNetworkCode("GETPORT"), InNetworkCode("PING"), InNetworkCode("LIST"),
                             InNetworkCode("SHOW"), InNetworkCode("CHECK m1")});
  EXPECT_EQ(DatagramSpell(consolePort(), bytes, kSpellDatagrams), kSpellDatagrams + 2);

  // The spell's commands are worked off in turn, then the client's; one request only,
  // for each try more would queue behind it at the console's pace.
  ConsoleClient client;
  EXPECT_EQ(client.exchange(consolePort(), "GETPORT", kConsoleWaitMs), ownGetPortReply());
  long after = ResidentKilobytes(provider_.pid());
  ASSERT_GT(before, 0);
  EXPECT_LT(after - before, kGrowthLimitKilobytes) << before << " kB before";
}

}  // namespace
