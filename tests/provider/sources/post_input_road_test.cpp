// The POST data provider in a process of its own (zevdphost POST) against the
// agent's DCH server in its host program: a good poster is served while others send
// what is no proper post, connect and say nothing, or flood the port with
// connections and datagrams; SIGTERM takes the source offline and ends it cleanly.
#include <gtest/gtest.h>

#include <dirent.h>
#include <unistd.h>

#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include "data_provider_process.h"
#include "dch_road_fixture.h"
#include "eventually.h"
#include "free_port.h"
#include "posted_message.h"

namespace {

using std::chrono::steady_clock;

constexpr int kStartWaitMs = 10000;
constexpr int kStopWaitMs = 30000;
constexpr unsigned kWatchdogSeconds = 90;
constexpr char kShutDownText[] = "*DP*SOCKET*SELECT*SHUTDOWN*INTERRUPT*";
constexpr int kConnectionFlood = 100;
constexpr int kDatagramFlood = 2000;
// The connections the data provider keeps at most, and a few of its own.
constexpr int kDescriptorSlack = 64 + 8;

int OpenDescriptors(pid_t pid) {
  DIR* directory = opendir(("/proc/" + std::to_string(pid) + "/fd").c_str());
  if (directory == nullptr) return -1;
  int count = 0;
  while (readdir(directory) != nullptr) ++count;
  closedir(directory);
  return count - 2;
}

// The next row of the group whose text is the one given, passing the others by.
bool RowWithText(RowWaiter& rows, const std::string& text) {
  auto deadline = steady_clock::now() + std::chrono::milliseconds(kStartWaitMs);
  while (steady_clock::now() < deadline) {
    Row row;
    std::string message = rows.next(kAnswerWaitMs);
    if (message.empty()) return false;
    if (ReadRow(message, &row) && row.values.size() == 5 && row.values[3] == text) return true;
  }
  return false;
}

class PostInputRoadTest : public DCHroadTest {
 protected:
  void SetUp() override {
    DCHroadTest::SetUp();
    alarm(kWatchdogSeconds);
    postPort_ = FreeLoopbackPort();
    ASSERT_NE(postPort_, 0);
  }
  void TearDown() override {
    EXPECT_EQ(provider_.errorText().find("Sanitizer"), std::string::npos) << provider_.errorText();
    if (HasFailure()) std::cerr << "The data provider's trace:\n" << provider_.traceText();
    alarm(0);
    DCHroadTest::TearDown();
  }

  bool start() { return provider_.start({"ZEVP_POST_DP_PORT=" + std::to_string(postPort_)}); }

  static bool Heard(StatusWaiter& status, const std::string& notice) {
    auto deadline = steady_clock::now() + std::chrono::milliseconds(kStopWaitMs);
    while (steady_clock::now() < deadline) {
      std::string heard = status.next(kStopWaitMs);
      if (heard == notice) return true;
      if (heard.empty()) return false;
    }
    return false;
  }

  DataProviderProcess provider_{"POST", port()};
  unsigned short postPort_ = 0;
};

// A poster that posts over TCP and checks its stamp, and (where no flood of other
// rows is under way) the row.
class GoodPoster {
 public:
  GoodPoster(unsigned short port, RowWaiter& rows) : port_(port), rows_(rows) { connect(); }
  bool post(bool withRow = true) {
    std::string text = "good " + std::to_string(++posts_);
    std::string stamp = exchange(text);
    // A connection closed to make room for newer ones is opened again.
    if (stamp.size() != 26) {
      connect();
      stamp = exchange(text);
    }
    bool stamped = stamp.size() == 26 && stamp.compare(0, 8, "7F000001") == 0 && stamp[20] == 'W';
    return stamped && (!withRow || RowWithText(rows_, text));
  }

 private:
  void connect() { connection_ = std::make_unique<rawdch::TcpPeer>(port_); }
  std::string exchange(const std::string& text) {
    if (!connection_->send(PostedMessage(text, "W"))) return {};
    return connection_->receiveBytes(26, kAnswerWaitMs);
  }

  unsigned short port_;
  RowWaiter& rows_;
  std::unique_ptr<rawdch::TcpPeer> connection_;
  int posts_ = 0;
};

TEST_F(PostInputRoadTest, AGoodPosterIsServedThroughBadInputAndFloodsAndSigtermTakesTheSourceOffline) {
  StatusWaiter status;
  RowWaiter rows("MAS", "DPPOST");
  syncWithServer();
  ASSERT_TRUE(start()) << provider_.errorText();
  ASSERT_TRUE(Heard(status, "MAS,DPPOST,localhostPOSTdp,4117"));
  ASSERT_TRUE(Eventually([this] { return rawdch::TcpPeer(postPort_).connected(); }, kStartWaitMs));
  GoodPoster good(postPort_, rows);
  ASSERT_TRUE(good.post());
  int baseline = OpenDescriptors(provider_.pid());

  rawdch::TcpPeer silent(postPort_);  // connects and never sends
  ASSERT_TRUE(silent.connected());
  rawdch::UdpPeer bad(postPort_);
  struct Input {
    const char* label;
    std::string bytes;
  } inputs[] = {
      {"an empty datagram", ""},
      {"4096 bytes without a zero byte", std::string(4096, 'z')},
      {"the first 18 characters of the shut-down text", std::string(kShutDownText, 18)},
      {"100 bytes beginning with the whole text", kShutDownText + std::string(63, '+')},
  };
  std::string garbage;
  for (int i = 0; i < 3000; ++i) garbage += static_cast<char>((i * 37 + 11) % 256);
  for (const Input& input : inputs) {
    SCOPED_TRACE(input.label);
    ASSERT_TRUE(bad.send(input.bytes));
    EXPECT_TRUE(good.post(false));
  }
  ASSERT_TRUE(bad.send(garbage));
  EXPECT_TRUE(RowWithText(rows, std::string(512, 'z'))) << "the long message, its text cut to its attribute";
  EXPECT_TRUE(RowWithText(rows, kShutDownText + std::string(63, '+'))) << "a post that begins with the text";
  EXPECT_TRUE(good.post());

  std::vector<std::unique_ptr<rawdch::TcpPeer>> flood;
  for (int n = 0; n < kConnectionFlood; ++n) {
    flood.push_back(std::make_unique<rawdch::TcpPeer>(postPort_));
    if (n % 20 == 19) {
      EXPECT_TRUE(good.post(false)) << "after " << n + 1 << " connections";
    }
  }
  EXPECT_LE(OpenDescriptors(provider_.pid()), baseline + kDescriptorSlack);
  flood.clear();

  for (int n = 0; n < kDatagramFlood; ++n) bad.send(PostedMessage("flood " + std::to_string(n), "I"));
  EXPECT_TRUE(good.post(false)) << "after the datagrams";

  EXPECT_TRUE(provider_.terminate()) << "exit status 0 after SIGTERM";
  EXPECT_TRUE(Heard(status, "MAS,DPPOST,localhostPOSTdp,4133")) << "the source went offline";
}

}  // namespace
