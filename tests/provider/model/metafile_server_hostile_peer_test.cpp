// The metafile server of a data provider under a hostile peer on its port: random
// bytes, spoiled, cut and oversized requests, datagrams of 0 and 65,507 bytes on its
// UDP port, a peer that trickles its request a byte at a time, and a thousand
// connections opened and dropped. A client data provider gets its metafile throughout,
// the process's resident memory does not grow when the spells come again, and the
// server ends with its data provider.
#include <gtest/gtest.h>

#include <stdlib.h>
#include <unistd.h>

#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "data_provider_run.h"
#include "dp_anchor.h"
#include "dp_log_recorder.h"
#include "free_port.h"
#include "hostile_peer.h"
#include "metafile_fixture.h"
#include "metafile_io.h"
#include "metafile_server_task.h"
#include "proc_text.h"
#include "process_entry.h"
#include "zev0/codepage.h"
#include "zev0/hostnames.h"

// A smaller quarantine than the address sanitizer's own, so that what its freed blocks
// hold does not read as growth; recent frees are still caught.
extern "C" const char* __asan_default_options() { return "quarantine_size_mb=4"; }

namespace {

constexpr unsigned kWatchdogSeconds = 240;
constexpr unsigned kSeed = 20270118;
constexpr auto kTrickleInterval = std::chrono::milliseconds(20);
// The server runs in the test's own process, whose sanitizer quarantine (below) is
// counted too: twice that, and far less than a block per connection or datagram of
// the spells (some 1,300).
constexpr long kGrowthLimitKilobytes = 8 * 1024;
const std::vector<std::string> kBody = {"//APPL Rem", "//NAME Grp E", "//ATTRIBUTES", "A1 G"};

std::string InNetworkCode(std::string text) {
  ZEV0_ConvertDataToNetwork(text.data(), static_cast<int32_t>(text.size()));
  return text;
}

// The metafile task as a data provider's environment starts it; true on a good start.
bool StartMetafileTask(DPAB* anchor, const char* serverHost) {
  ProcessEntry* entry = nullptr;
  if (ZEVP_CreateProcess(anchor, -1, const_cast<char*>(serverHost), ZEVP_MetaServerTask, 1, &entry) != 1) return false;
  return ZEVP_AwaitProcessStart(entry) == 0;
}

class MetafileServerHostilePeerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    alarm(kWatchdogSeconds);
    // Every socket of the engine binds the address of this name: loopback.
    setenv("QFEB0_HOSTNAME", "localhost", 1);
    ZEV0_LocalHostNameString();
    port_ = FreeLoopbackPort();
    ASSERT_NE(port_, 0);
    setenv("ZEVP_META_SERVER_PORT", std::to_string(port_).c_str(), 1);
    setenv("ZEVP_META_IO_WAIT", "2", 1);
  }
  void TearDown() override { alarm(0); }

  // The records of the metafile as the client data provider reads it.
  std::vector<std::string> fetched(const char* name) {
    std::vector<std::string> records;
    void* metafile = ZEVP_OpenMetaFile(client_.anchor(), name, 0);
    if (metafile == nullptr) return {"<none>"};
    char record[256];
    while (ZEVP_ReadMetaFile(client_.anchor(), metafile, record, sizeof record) != nullptr) records.push_back(record);
    EXPECT_EQ(ZEVP_CloseMetaFile(client_.anchor(), metafile), 0);
    return records;
  }
  void clientGetsItsMetafile() { EXPECT_EQ(fetched("remote.mdl"), kBody); }

  // Declared first: the clock outlives the data providers, whose shut-down waits with it.
  ScaledClock clock_;
  DPlogRecorder log_;
  unsigned short port_ = 0;
  MetafileFixture server_;
  MetafileFixture client_;
};

TEST_F(MetafileServerHostilePeerTest, AClientGetsItsMetafileThroughHostileSpellsAndTheServerDoesNotGrow) {
  server_.write("remote.mdl", kBody);
  ASSERT_TRUE(StartMetafileTask(server_.anchor(), "localhost"));
  ASSERT_TRUE(WaitUntil([this] { return server_.anchor()->metaServerListening.load() == 1; }));
  ASSERT_TRUE(StartMetafileTask(client_.anchor(), "localhost"));
  ASSERT_EQ(log_.waitFor(48).number, 48) << "the client connected";
  clientGetsItsMetafile();

  HostileBytes bytes(kSeed, {InNetworkCode("GETMETA remote.mdl"), InNetworkCode("GETMETA ../remote.mdl"),
                             InNetworkCode("GETMETA " + std::string(247, 'n')), InNetworkCode("GETMETA ")});
  // A short spell first, so that what the server allocates once is in place.
  StreamSpell(port_, bytes, 10, 4);
  OpenAndDropConnections(port_, 50);
  DatagramSpell(port_, bytes, 50);
  clientGetsItsMetafile();
  long before = ResidentKilobytes(getpid());
  EXPECT_EQ(StreamSpell(port_, bytes, 100, 4).connected, 100);
  clientGetsItsMetafile();
  EXPECT_EQ(OpenAndDropConnections(port_, 1000), 1000);
  clientGetsItsMetafile();
  DatagramSpell(port_, bytes, 200);
  clientGetsItsMetafile();
  long after = ResidentKilobytes(getpid());
  ASSERT_GT(before, 0);
  EXPECT_LT(after - before, kGrowthLimitKilobytes) << before << " kB before";

  // A peer whose request comes a byte at a time holds the client up no longer than a byte.
  TricklingPeer slow(port_, InNetworkCode("GETMETA remote.mdl"));
  ASSERT_TRUE(slow.connected());
  while (slow.step()) {
    if (slow.sent() % 6 == 0) clientGetsItsMetafile();
    std::this_thread::sleep_for(kTrickleInterval);
  }
  clientGetsItsMetafile();
}

}  // namespace
