// The API port of the agent program's API data provider under a hostile peer: random
// bytes, spoiled, cut and oversized requests over TCP, datagrams of 0 and 65,507 bytes,
// a peer that trickles its request a byte at a time, and a thousand connections opened
// and dropped. A program of the client library still opens its TCP session and has its
// records taken throughout, the agent's resident memory does not grow when the spells
// come again, and the agent ends cleanly.
#include <gtest/gtest.h>

#include <stdlib.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <string>
#include <thread>

#include "api_agent.h"
#include "api_test_settings.h"
#include "hostile_peer.h"
#include "proc_text.h"
#include "zevpapi/dp_api.h"

namespace {

constexpr unsigned kWatchdogSeconds = 400;
constexpr unsigned kSeed = 20270119;
constexpr int kEndWaitMs = 30000;
constexpr auto kTrickleInterval = std::chrono::milliseconds(20);
// Far less than a block per connection or datagram of the spells (some 1,300).
constexpr long kGrowthLimitKilobytes = 4 * 1024;

class ApiSessionHostilePeerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    alarm(kWatchdogSeconds);
    // The agent inherits it: a smaller quarantine than the address sanitizer's own, so
    // that what its freed blocks hold does not read as growth.
    setenv("ASAN_OPTIONS", "quarantine_size_mb=4", 1);
    agent_.metafile("appl.mdl", {"//APPL APPL", "//NAME GRP S 600", "//ATTRIBUTES ';'", "Label D 16", "Count C 100000"});
    agent_.loadAtStart({"appl.mdl"});
    ASSERT_TRUE(agent_.start()) << agent_.agent().failure() << agent_.agent().traceText();
    UseLoopbackSettings();
    setenv("ZEVP_API_REQUEST_WAIT", "10", 1);
    agent_.pointClientHere();
  }
  void TearDown() override {
    EXPECT_EQ(agent_.agent().terminate(kEndWaitMs), 0) << agent_.agent().errorText();
    EXPECT_EQ(agent_.agent().errorText().find("Sanitizer"), std::string::npos) << agent_.agent().errorText();
    if (HasFailure()) std::cerr << agent_.agent().traceText();
    alarm(0);
  }

  // A session of the library over TCP that sends one record; when asked, its row is
  // looked for while the session is open (closing it takes the source offline).
  void goodSession(bool lookForRow = false) {
    std::string label = "good" + std::to_string(++round_);
    APIhandle* handle = dp_AllocateHandle(nullptr);
    EXPECT_NE(handle, nullptr);
    int status = -1;
    EXPECT_EQ(dp_OpenSession(handle, &status), 1) << "status " << status << ", round " << round_;
    EXPECT_EQ(dp_BeginInput(handle, "APPL", "GRP", &status), 1) << "status " << status << ", round " << round_;
    void* data = nullptr;
    EXPECT_EQ(dp_AllocateBuffer(handle, &data, 0, nullptr), 1);
    EXPECT_EQ(dp_FormatBufferData(data, label.c_str(), static_cast<int>(label.size()), ZEVP_API_TEXT, nullptr), 1);
    EXPECT_EQ(dp_FormatBufferData(data, "1", 1, ZEVP_API_TEXT, nullptr), 1);
    EXPECT_EQ(dp_InputData(data, &status), 1) << "status " << status << ", round " << round_;
    dp_FreeBuffer(data, nullptr);
    if (lookForRow) {
      EXPECT_TRUE(agent_.sampled("APPL00", "\t" + label + "\t1")) << label;
    }
    EXPECT_EQ(dp_CloseSession(handle, &status), 1) << "status " << status << ", round " << round_;
    dp_FreeHandle(handle, nullptr);
  }

  // The spells of one round, so that a second round finds in place what the agent
  // allocates once (its sanitizer's quarantine filled among them).
  void spells(HostileBytes& bytes) {
    const unsigned short port = agent_.apiPort();
    EXPECT_EQ(StreamSpell(port, bytes, 100, 8).connected, 100);
    goodSession();
    EXPECT_EQ(OpenAndDropConnections(port, 1000), 1000);
    goodSession();
    DatagramSpell(port, bytes, 200);
    goodSession();
  }

  ApiAgent agent_;
  int round_ = 0;
};

// A request as the client library sends it: eye-catcher, verb and operands in EBCDIC.
std::string Request(const std::string& verbAndOperands) {
  std::string request = "ZEVPAPI300" + verbAndOperands;
  ZEVP_ConvertBufferToNetwork(&request[0], static_cast<int>(request.size()));
  return request;
}

TEST_F(ApiSessionHostilePeerTest, ALibrarySessionIsServedThroughHostileSpellsAndTheAgentDoesNotGrow) {
  goodSession(true);

  HostileBytes bytes(kSeed, {Request("BGNINPAPPL GRP "), Request("SNDDTAa;1"), Request("ENDINP"),
                             Request("SETSRC" + std::string(1024, 'R')), Request("RESULT;;;;")});
  spells(bytes);
  long before = ResidentKilobytes(agent_.agent().pid());
  spells(bytes);
  long after = ResidentKilobytes(agent_.agent().pid());
  ASSERT_GT(before, 0);
  EXPECT_LT(after - before, kGrowthLimitKilobytes) << before << " kB before";

  // A peer whose request comes a byte at a time holds no session up.
  TricklingPeer slow(agent_.apiPort(), Request("BGNINPAPPL GRP "));
  ASSERT_TRUE(slow.connected());
  while (slow.step()) {
    if (slow.sent() % 5 == 0) goodSession();
    std::this_thread::sleep_for(kTrickleInterval);
  }
  goodSession(true);
}

}  // namespace
