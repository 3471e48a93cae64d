// The POST data provider started as the agent starts one, against the agent's DCH
// server in its host program on loopback: posters over TCP and UDP on a free port,
// each post a row at a consumer parked for the group; the application as the
// environment or a metafile define it; an agent that comes late or refuses the
// registration; and the statistics of the posts.
#include <gtest/gtest.h>

#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "application_entry.h"
#include "data_provider_run.h"
#include "dch_road_fixture.h"
#include "dch_work_queue.h"
#include "dp_anchor.h"
#include "eventually.h"
#include "free_port.h"
#include "posted_message.h"
#include "running_provider.h"
#include "scratch_directory.h"
#include "source_entry.h"
#include "statistic_counts.h"
#include "stdout_capture.h"
#include "table_entry.h"
#include "zev/dp_types.h"
#include "zev0/hostnames.h"
#include "zev0/text.h"

namespace {

using Lines = std::vector<std::string>;

constexpr int kStartWaitMs = 10000;
constexpr char kShutDownText[] = "*DP*SOCKET*SELECT*SHUTDOWN*INTERRUPT*";

// A row of the built-in group, by its attributes.
struct PostRow {
  std::string source;
  std::string time;
  std::string origin;
  std::string stamp;
  std::string text;
  std::string category;
};

PostRow NextPost(RowWaiter& rows, int waitMs = kAnswerWaitMs) {
  Row row;
  std::string message = rows.next(waitMs);
  if (message.empty() || !ReadRow(message, &row) || row.values.size() != 5) {
    PostRow none;
    none.text = "<no row>";
    return none;
  }
  return {row.sourceName, row.values[0], row.values[1], row.values[2], row.values[3], row.values[4]};
}

std::string CheckSumDigits(const std::string& text) {
  char digits[8];
  std::snprintf(digits, sizeof digits, "%05u",
                static_cast<unsigned>(ZEV0_ComputeCheckSum(text.data(), static_cast<int32_t>(text.size()))));
  return digits;
}

// The stamp a post from 127.0.0.1 gets for a row of that time, key and text.
std::string StampOf(const std::string& rowTime, char key, const std::string& text) {
  return "7F000001" + rowTime.substr(1, 12) + key + CheckSumDigits(text);
}

// The first application of the anchor other than the log's.
ApplicationEntry* PostApplication(DPAB* anchor) {
  ApplicationEntry* found = nullptr;
  BSV1_GetLock(&anchor->applicationListLock);
  for (ApplicationEntry* application = anchor->applications; application != nullptr && found == nullptr;
       application = application->next)
    if (std::string(application->ApplName) != "DVAgent") found = application;
  BSV1_ReleaseLock(&anchor->applicationListLock);
  return found;
}

// Its first group's first source, under the locks the POST thread makes them under.
SourceEntry* PostSource(DPAB* anchor) {
  ApplicationEntry* application = PostApplication(anchor);
  if (application == nullptr) return nullptr;
  SourceEntry* source = nullptr;
  BSV1_GetLock(&application->TableListLock);
  if (TableEntry* table = application->FirstTable) {
    BSV1_GetLock(&table->SourceListLock);
    source = table->FirstSource;
    BSV1_ReleaseLock(&table->SourceListLock);
  }
  BSV1_ReleaseLock(&application->TableListLock);
  return source;
}

int32_t PostSourceState(DPAB* anchor) {
  SourceEntry* source = anchor != nullptr ? PostSource(anchor) : nullptr;
  return source != nullptr ? ZEVP_SourceStateOf(source) : -1;
}

class PostProviderTest : public DCHroadTest {
 protected:
  void SetUp() override {
    DCHroadTest::SetUp();
    if (HasFatalFailure()) return;
    setenv("ZEVP_DCH_HOST", "127.0.0.1", 1);
    setenv("ZEV_DP_HOSTNAME", "localhost", 1);
    setenv("ZEVP_DCH_REPLY_WAIT", "1", 1);
    ZEV0_LocalHostNameString();
    postPort_ = FreeLoopbackPort();
    ASSERT_NE(postPort_, 0);
    setenv("ZEVP_POST_DP_PORT", std::to_string(postPort_).c_str(), 1);
  }
  void TearDown() override {
    provider_.reset();
    for (const char* name : {"ZEVP_POST_DP_PORT", "ZEVP_POST_APPL_NAME", "ZEVP_POST_GROUP_NAME", "ZEVP_POST_APPL_TTL"})
      unsetenv(name);
    DCHroadTest::TearDown();
  }

  // Starts a POST data provider; its anchor.
  DPAB* launch() {
    provider_ = std::make_unique<RunningDataProvider>(ZEV_DP_POST, metafiles_.path());
    return provider_->anchor();
  }
  // Starts one and waits until its source is online and its port takes posts.
  DPAB* start() {
    DPAB* anchor = launch();
    EXPECT_TRUE(Eventually([anchor] { return PostSourceState(anchor) == ZEVP_Active; }, kStartWaitMs));
    EXPECT_TRUE(Eventually([this] { return rawdch::TcpPeer(postPort_).connected(); }, kStartWaitMs));
    return anchor;
  }

  HeldClock clock_;
  ScratchDirectory metafiles_{"zev_post_metafiles"};
  unsigned short postPort_ = 0;
  std::unique_ptr<RunningDataProvider> provider_;
};

TEST_F(PostProviderTest, ATcpPostIsStampedAndBecomesARowAndItsConnectionCarriesMore) {
  RowWaiter rows("MAS", "DPPOST");
  syncWithServer();
  start();
  rawdch::TcpPeer poster(postPort_);
  ASSERT_TRUE(poster.connected());
  ASSERT_TRUE(poster.send(PostedMessage("Disk full", "W")));
  std::string stamp = poster.receiveBytes(26, kAnswerWaitMs);
  PostRow row = NextPost(rows);
  EXPECT_EQ(row.text, "Disk full");
  EXPECT_EQ(row.category, "Warning");
  EXPECT_EQ(row.origin, "localhost");
  ASSERT_EQ(row.time.size(), 16u);
  EXPECT_EQ(stamp, StampOf(row.time, 'W', "Disk full"));
  EXPECT_EQ(row.stamp, stamp);
  EXPECT_EQ(row.source.substr(row.source.size() - 6), "POSTdp") << row.source;

  struct {
    const char* text;
    const char* category;
    char key;
  } more[] = {{"second", "c", 'C'}, {"third", "A", 'A'}};
  for (const auto& post : more) {
    SCOPED_TRACE(post.text);
    ASSERT_TRUE(poster.send(PostedMessage(post.text, post.category)));
    std::string next = poster.receiveBytes(26, kAnswerWaitMs);
    PostRow nextRow = NextPost(rows);
    EXPECT_EQ(nextRow.text, post.text);
    EXPECT_EQ(next, StampOf(nextRow.time, post.key, post.text));
  }
}

// Datagrams get no reply; the row carries the stamp.
TEST_F(PostProviderTest, EachMessageGivesItsTextCategoryAndStamp) {
  std::string longest = std::string(4092, 'a') + ";W;b";  // 4096 bytes, no zero byte
  std::string beyondTheInterrupt = kShutDownText + std::string(100 - (sizeof kShutDownText - 1), 'x');
  struct Case {
    const char* label;
    std::string message;
    std::string text;
    std::string category;
    char key;
  } cases[] = {
      {"no category", PaddedPost("Disk full"), "Disk full", "Information", 'I'},
      {"a lower-case letter", PostedMessage("disk", "w"), "disk", "Warning", 'W'},
      {"an unknown letter", PostedMessage("disk", "X"), "disk", "Information", 'I'},
      {"empty fields collapse", PaddedPost(";C;"), "C", "Information", 'I'},
      {"EBCDIC", PaddedPost(rawdch::ToNetworkCode("Disk full;W;")), "Disk full", "Warning", 'W'},
      {"4096 bytes", longest, std::string(512, 'a'), "Warning", 'W'},
      {"the whole interrupt text and more", beyondTheInterrupt, beyondTheInterrupt, "Information", 'I'},
  };
  RowWaiter rows("MAS", "DPPOST");
  syncWithServer();
  start();
  rawdch::UdpPeer poster(postPort_);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    ASSERT_TRUE(poster.send(c.message));
    PostRow row = NextPost(rows);
    EXPECT_EQ(row.text, c.text);
    EXPECT_EQ(row.category, c.category);
    ASSERT_EQ(row.time.size(), 16u);
    EXPECT_EQ(row.stamp, StampOf(row.time, c.key, c.text));
  }
  EXPECT_EQ(poster.receive(kSilenceMs), "") << "a datagram is not answered";
}

TEST_F(PostProviderTest, AnEmptyDatagramAndTheBeginningOfTheInterruptTextAreNoMessages) {
  RowWaiter rows("MAS", "DPPOST");
  syncWithServer();
  start();
  rawdch::UdpPeer poster(postPort_);
  ASSERT_TRUE(poster.send(""));
  ASSERT_TRUE(poster.send(std::string(kShutDownText, 18)));
  ASSERT_TRUE(poster.send(PostedMessage("after them", "I")));
  EXPECT_EQ(NextPost(rows).text, "after them");
}

TEST_F(PostProviderTest, TheLogTellsThePortItListensOn) {
  RowWaiter log("DVAGENT", "DPLOG");
  syncWithServer();
  start();
  std::string expected = "POST DP started. Listening on port " + std::to_string(postPort_);
  Lines texts;
  for (std::string message = log.next(kAnswerWaitMs); !message.empty(); message = log.next(kSilenceMs)) {
    Row row;
    if (ReadRow(message, &row) && row.values.size() > 4) texts.push_back(row.values[4]);
  }
  EXPECT_NE(std::find(texts.begin(), texts.end(), expected), texts.end()) << ::testing::PrintToString(texts);
}

TEST_F(PostProviderTest, TheEnvironmentNamesTheApplicationTheGroupAndTheRowsTimeToLive) {
  setenv("ZEVP_POST_APPL_NAME", "OPSPOST", 1);
  setenv("ZEVP_POST_GROUP_NAME", "Alerts", 1);
  setenv("ZEVP_POST_APPL_TTL", "120", 1);
  RowWaiter rows("OPSPOST", "ALERTS");
  syncWithServer();
  DPAB* anchor = start();
  TableEntry* table = PostApplication(anchor)->FirstTable;
  EXPECT_EQ(std::string(table->TableName), "Alerts");
  EXPECT_EQ(table->TTL, 120);
  EXPECT_EQ(std::string(table->DataType), "S");
  rawdch::UdpPeer poster(postPort_);
  ASSERT_TRUE(poster.send(PostedMessage("renamed", "N")));
  PostRow row = NextPost(rows);
  EXPECT_EQ(row.text, "renamed");
  EXPECT_EQ(row.category, "Network");
}

// A metafile in place of the built-in definition: the fields fill its attributes
// from the fourth on at its own delimiter, and what it lacks of the data provider's
// own attributes is left out, the TCP sender still stamped.
TEST_F(PostProviderTest, AZevpostMetafileTakesThePlaceOfTheBuiltInGroup) {
  metafiles_.write("ZEVPOST.mdl",
                   "//APPL Posted\n//NAME Notes S 300\n//SOURCE BASE here\n//ATTRIBUTES '|'\n"
                   "Post_Time T\nStamp D 28\nNote D 8\nPost_Category D 16\nPost_Text D 64\n");
  RowWaiter rows("POSTED", "NOTES");
  syncWithServer();
  start();
  rawdch::TcpPeer poster(postPort_);
  ASSERT_TRUE(poster.send(PaddedPost("|w||low disk|ignored")));
  std::string stamp = poster.receiveBytes(26, kAnswerWaitMs);
  Row row;
  ASSERT_TRUE(ReadRow(rows.next(kAnswerWaitMs), &row));
  ASSERT_EQ(row.values.size(), 5u);
  EXPECT_EQ(row.values[1].find_first_not_of(' '), std::string::npos) << "no stamp attribute: " << row.values[1];
  EXPECT_EQ(row.values[2].find_first_not_of(' '), std::string::npos) << "the third attribute takes no field";
  EXPECT_EQ(row.values[3], "Warning");
  EXPECT_EQ(row.values[4], "low disk");
  EXPECT_EQ(stamp, StampOf(row.values[0], 'W', "low disk"));
}

// An agent that is not there yet: the registration waits for the periodic task's
// retries, the operator is told once, and again when the agent is reached.
TEST_F(PostProviderTest, AnAgentThatComesLateIsWaitedFor) {
  ASSERT_NE(host().terminate(kAnswerWaitMs), -1);
  Lines printed;
  bool pending = false;
  bool online = false;
  bool listening = false;
  {
    StdoutCapture out;  // gtest writes its failures there too: the checks come after it
    DPAB* anchor = launch();
    pending = Eventually([anchor] { return PostSourceState(anchor) == ZEVP_Pending; }, kStartWaitMs);
    if (pending && host().startReady()) {
      // The log's registration and online, then the application's, a minute apart.
      online = Eventually(
          [this, anchor] {
            clock_.advance(61);
            return Eventually([anchor] { return PostSourceState(anchor) == ZEVP_Active; }, 500);
          },
          kStartWaitMs);
      // "Agent contacted" comes before the listen service starts.
      listening = Eventually([anchor] { return anchor->inputServerListening != 0; }, kStartWaitMs);
    }
    printed = out.takeLines();
  }
  ASSERT_TRUE(pending) << "the registration found no agent";
  ASSERT_TRUE(online && listening) << host().failure() << ::testing::PrintToString(printed);
  const std::string delay = "On-Line delayed. Wait for connecting to agent";
  EXPECT_EQ(std::count(printed.begin(), printed.end(), delay), 1) << ::testing::PrintToString(printed);
  auto delayed = std::find(printed.begin(), printed.end(), delay);
  EXPECT_NE(std::find(delayed, printed.end(), "Agent contacted"), printed.end()) << ::testing::PrintToString(printed);
}

// An agent that refuses every registration (and answers every other request with the
// same status): the agent program refuses none that this data provider sends.
class RefusingAgent {
 public:
  RefusingAgent() : port_(FreeLoopbackPort()), listener_(socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0)) {
    sockaddr_in address = rawdch::LoopbackAddress(port_);
    int on = 1;
    setsockopt(listener_, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    listening_ = bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 && listen(listener_, 4) == 0;
    if (listening_) thread_ = std::thread([this] { serve(); });
  }
  ~RefusingAgent() {
    shutdown(listener_, SHUT_RDWR);
    close(listener_);
    if (thread_.joinable()) thread_.join();
  }
  bool listening() const { return listening_; }
  unsigned short port() const { return port_; }

 private:
  void serve() {
    for (int connection; (connection = accept(listener_, nullptr, nullptr)) >= 0; close(connection))
      answer(connection);
  }
  static bool readFully(int connection, char* to, size_t count) {
    for (size_t got = 0; got < count;) {
      ssize_t n = recv(connection, to + got, count - got, 0);
      if (n <= 0) return false;
      got += static_cast<size_t>(n);
    }
    return true;
  }
  static void answer(int connection) {
    const std::string refused = rawdch::Message().u32(rawdch::kStatus, 6).bytes();
    char head[4];
    while (readFully(connection, head, sizeof head)) {
      uint32_t length = rawdch::Big32(std::string(head, sizeof head), 0);
      if (length < sizeof head || length > 65536) return;
      std::string rest(length - sizeof head, '\0');
      if (!readFully(connection, rest.data(), rest.size())) return;
      if (send(connection, refused.data(), refused.size(), MSG_NOSIGNAL) < 0) return;
    }
  }

  unsigned short port_;
  int listener_;
  bool listening_ = false;
  std::thread thread_;
};

TEST_F(PostProviderTest, ARefusedRegistrationEndsTheDataProvider) {
  RefusingAgent agent;
  ASSERT_TRUE(agent.listening());
  setenv("ZEVA_DCH_PORT", std::to_string(agent.port()).c_str(), 1);
  ProdSpecDirectory product;  // read once per process: the first test's serves them all
  UseProductSpec(product, {"ENABLE_DPLOG=Y"});
  Lines printed;
  bool ended = false;
  {
    ScaledClock clock;
    StdoutCapture out;  // gtest writes its failures there too: the checks come after it
    DataProviderThread provider(ZEV_DP_POST);  // with the console that ends it when it is told to
    ended = provider.joinWithin(kStartWaitMs);
    printed = out.takeLines();
  }
  setenv("ZEVA_DCH_PORT", std::to_string(port()).c_str(), 1);
  EXPECT_TRUE(ended) << "the data provider did not end";
  EXPECT_NE(std::find(printed.begin(), printed.end(),
                      "ZEVPV87E POST DP unable to register dpPost application with Agent. Job ended."),
            printed.end())
      << ::testing::PrintToString(printed);
}

// The process's statistics count each post, and each row the DCH link sends.
TEST_F(PostProviderTest, PostsAndTheirRowsAreCounted) {
  RowWaiter rows("MAS", "DPPOST");
  syncWithServer();
  DPAB* anchor = start();
  ASSERT_NE(anchor->statistics, nullptr);
  StatisticCounts before = CountsOf(anchor);
  rawdch::UdpPeer poster(postPort_);
  for (int n = 0; n < 6; ++n) {
    ASSERT_TRUE(poster.send(PostedMessage("counted " + std::to_string(n), "I")));
    ASSERT_EQ(NextPost(rows).text, "counted " + std::to_string(n));
  }
  StatisticCounts after = CountsOf(anchor);
  EXPECT_EQ(after.postMessages - before.postMessages, 6u);
  EXPECT_GE(after.dchMessages - before.dchMessages, 6u);
}

}  // namespace
