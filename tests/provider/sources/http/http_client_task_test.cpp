// The HTTP client tasks in process: the check of a URL against an HTTP server of
// the test (its status, title, objects and page files, its reply time-out, its
// lent page buffer), and client threads sharing one walk over the URLs.
#include "http_client_task.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "activity_fixture.h"
#include "eventually.h"
#include "manual_clock.h"
#include "test_http_server.h"
#include "trace_capture.h"
#include "url_management.h"
#include "url_monitoring_stop.h"
#include "zev0/storage.h"
#include "zev0/threads.h"

namespace {

constexpr char kTitledPage[] = "<html><head><TITLE>Shop Books</TITLE></head><body>welcome</body></html>";

int RequestsFor(const TestHTTPServer& server, const std::string& path) {
  std::vector<HTTPrequest> requests = server.requests();
  return static_cast<int>(std::count_if(requests.begin(), requests.end(),
                                        [&](const HTTPrequest& request) { return request.target == path; }));
}

// The status the update task would present, taken as presented.
void Present(URLrequestEntry* entry) {
  BSV1_GetLock(&entry->EntryLock);
  entry->ValidURLstat = 0;
  BSV1_ReleaseLock(&entry->EntryLock);
}

class ClientCheckTest : public ::testing::Test {
 protected:
  void SetUp() override {
    buffer_.page = static_cast<char*>(ZEV0_GetStorage(zevp::kCommonPageSize + 4));
    buffer_.size = zevp::kCommonPageSize;
  }
  void TearDown() override { ZEV0_FreeStorage(&buffer_.page); }
  void check(ActivitySubtasks& subtasks, URLrequestEntry* entry) {
    zevp::CheckURLentry(subtasks.urls().block(), &buffer_, entry, ending_);
  }

  std::atomic<int32_t> ending_{0};
  zevp::CommonPageBuffer buffer_;
};

TEST_F(ClientCheckTest, ADueURLsCheckLeavesItsStatusTitleAndLengthForTheUpdateTask) {
  const struct {
    const char* what;
    HTTPanswer answer;
    int32_t status;
    const char* title;
    int32_t length;
  } cases[] = {
      {"titled", Page(200, "OK", kTitledPage), 0, "Shop Books", static_cast<int32_t>(sizeof kTitledPage - 1)},
      {"untitled", Page(200, "OK", "<p>x</p>"), 0, "No page title available", 8},
      {"not found", Page(404, "Not Found", "<title>gone</title>"), VMO1_HTTP_ERROR_REPLY, "    ", 0},
      {"dropped", HTTPanswer{}, VMO1_CONNECTION_ABANDONED, "    ", 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    TestHTTPServer server([&](const HTTPrequest&) { return c.answer; });
    ActivitySubtasks subtasks(1);
    ManualClock clock;
    URLrequestEntry* entry = subtasks.entry(server.url("/index.html"));
    check(subtasks, entry);
    ASSERT_TRUE(subtasks.allFree());
    BSV1_GetLock(&entry->EntryLock);
    EXPECT_EQ(entry->RequestStatus, c.status);
    EXPECT_STREQ(entry->PageTitle, c.title);
    EXPECT_EQ(entry->PageLength, c.length);
    EXPECT_EQ(entry->ValidURLstat, 1);
    EXPECT_EQ(entry->LastCheckTime, clock.now().seconds);
    EXPECT_EQ(entry->NextCheckTime, clock.now().seconds + entry->StatusInterval);
    EXPECT_EQ(entry->PageBuffer, nullptr) << "the buffer is back with its client";
    EXPECT_EQ(entry->PageBufferSize, 0);
    EXPECT_EQ(entry->Checking, 0);
    BSV1_ReleaseLock(&entry->EntryLock);
  }
}

TEST_F(ClientCheckTest, AStatusNotPresentedIsSkippedUntilAWholeIntervalHasPassed) {
  TestHTTPServer server([](const HTTPrequest&) { return Page(200, "OK", kTitledPage); });
  ActivitySubtasks subtasks(1);
  ManualClock clock;
  URLrequestEntry* entry = subtasks.entry(server.url("/"));
  const int32_t interval = entry->StatusInterval;
  TraceCapture trace("*=0x90");
  check(subtasks, entry);
  clock.advance(interval);
  check(subtasks, entry);
  EXPECT_EQ(RequestsFor(server, "/"), 1) << "the status still waits within its interval";
  EXPECT_FALSE(trace.contains("Sample interval time has elapsed"));

  clock.advance(1);
  check(subtasks, entry);
  EXPECT_EQ(RequestsFor(server, "/"), 2) << "dropped after a whole interval, and checked again";
  EXPECT_TRUE(trace.contains("Warning: Sample interval time has elapsed for URL <" + server.url("/") + ">"));

  Present(entry);
  clock.advance(interval - 1);
  check(subtasks, entry);
  EXPECT_EQ(RequestsFor(server, "/"), 2) << "presented, but not due yet";
  clock.advance(1);
  check(subtasks, entry);
  EXPECT_EQ(RequestsFor(server, "/"), 3);
}

// A new URL collects no objects and writes no page at its first check, both at its
// second; then objects every 50 and pages every 100 checks. An image the page
// names twice is requested once.
TEST_F(ClientCheckTest, ObjectsComeOnTheSecondCheckThenEveryFiftiethAndPageFilesEveryHundredth) {
  const std::string page =
      "<title>Shop</title><img src=\"/img/a.gif\"><p>again</p><img src=\"/img/a.gif\"><img src='b.jpg'>";
  TestHTTPServer server([&](const HTTPrequest& request) {
    return Page(200, "OK", request.target == "/shop/" ? page : std::string("object-bytes"));
  });
  ScratchDirectory output("zev_url_pages");
  ActivitySubtasks subtasks(3, {{"ZEVP_URL_OUTPUT_DIR", output.path()}, {"ZEVP_URL_OUTPUT_HTML", "Y"}});
  ManualClock clock;
  URLrequestEntry* entry = subtasks.entry(server.url("/shop/"));
  const std::string pageFile =
      output.file("127.0.0.1:" + std::to_string(server.port()) + "/127.0.0.1:" + std::to_string(server.port()) +
                  "-shop-.html");
  std::vector<int> collections;
  std::vector<int> pageFiles;
  for (int n = 1; n <= 102; ++n) {
    const int objectsBefore = RequestsFor(server, "/img/a.gif");
    check(subtasks, entry);
    ASSERT_TRUE(subtasks.allFree());
    if (RequestsFor(server, "/img/a.gif") > objectsBefore) collections.push_back(n);
    if (std::filesystem::exists(pageFile)) {
      pageFiles.push_back(n);
      std::filesystem::remove(pageFile);
    }
    Present(entry);
    clock.advance(entry->StatusInterval);
  }
  EXPECT_EQ(collections, (std::vector<int>{2, 52, 102}));
  EXPECT_EQ(pageFiles, (std::vector<int>{2, 102}));
  EXPECT_EQ(RequestsFor(server, "/b.jpg"), 3);
  BSV1_GetLock(&entry->EntryLock);
  EXPECT_EQ(entry->PageObjectCount, 2) << "the image named twice counts once";
  EXPECT_EQ(entry->TotalObjectSize, 24);
  EXPECT_EQ(entry->ObjRequestOutstanding, 0);
  BSV1_ReleaseLock(&entry->EntryLock);
}

TEST(ObjectThresholdTest, ObjectsTakenAsCachedDoNotCountAndTheFirstCollectionIsForced) {
  const struct {
    const char* what;
    int32_t cachePercent, objects, countdown;
    int32_t threshold, confirm;
    bool collect;
    int32_t countdownAfter;
  } cases[] = {
      {"first check of a new URL", 0, 0, 1, 0, 0, false, 0},
      {"second check: forced to 1", 0, 0, 0, 1, 0, true, 49},
      {"half cached", 50, 5, 0, 2, 2, true, 49},
      {"between collections", 50, 5, 20, 2, 2, false, 19},
      {"all cached: forced to 1", 100, 8, 0, 1, 0, true, 49},
      {"all cached between collections", 100, 8, 7, 0, 0, false, 6},
      {"none cached", 0, 3, 0, 3, 3, true, 49},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    URLrequestEntry entry{};
    entry.CachePercent = c.cachePercent;
    entry.PageObjectCount = c.objects;
    entry.ObjectCycleCountdown = c.countdown;
    bool collect = !c.collect;
    EXPECT_EQ(zevp::ObjectThreshold(&entry, &collect), c.threshold);
    EXPECT_EQ(entry.ObjConfirmCount, c.confirm);
    EXPECT_EQ(collect, c.collect);
    EXPECT_EQ(entry.ObjectCycleCountdown, c.countdownAfter);
  }
}

TEST_F(ClientCheckTest, AReplyTimeOutLeavesTheConnectionAbandonedStatusToPresent) {
  TestHTTPServer server([](const HTTPrequest&) {
    HTTPanswer slow = Page(200, "OK", kTitledPage);
    slow.delayMs = 2500;
    return slow;
  });
  ActivitySubtasks subtasks(1, {{"ZEVP_URL_MAX_REPLY_WAIT", "1"}});
  ManualClock clock;
  URLrequestEntry* entry = subtasks.entry(server.url("/slow"));
  check(subtasks, entry);
  BSV1_GetLock(&entry->EntryLock);
  EXPECT_EQ(entry->RequestStatus, VMO1_CONNECTION_ABANDONED);
  EXPECT_EQ(std::string(entry->RequestDescription.Text), "client connection has been lost");
  EXPECT_EQ(entry->ValidURLstat, 1);
  EXPECT_STREQ(entry->PageTitle, "    ");
  EXPECT_EQ(entry->NextCheckTime, clock.now().seconds + entry->StatusInterval) << "retried at its next interval";
  BSV1_ReleaseLock(&entry->EntryLock);
  ASSERT_TRUE(subtasks.allFree(5000));
  BSV1_GetLock(&entry->EntryLock);
  EXPECT_EQ(entry->RequestStatus, VMO1_CONNECTION_ABANDONED) << "the late reply changes nothing";
  EXPECT_EQ(entry->PageLength, 0);
  BSV1_ReleaseLock(&entry->EntryLock);
}

TEST_F(ClientCheckTest, APageLargerThanTheCommonBufferLeavesItsLargerBufferWithTheClient) {
  const std::string large(70000, 'L');
  TestHTTPServer server([&](const HTTPrequest&) { return Page(200, "OK", large); });
  ActivitySubtasks subtasks(1);
  ManualClock clock;
  URLrequestEntry* entry = subtasks.entry(server.url("/large"));
  check(subtasks, entry);
  EXPECT_EQ(buffer_.size, 70000);
  EXPECT_EQ(std::string(buffer_.page, 70000), large);
  Present(entry);
  clock.advance(entry->StatusInterval);
  check(subtasks, entry);
  EXPECT_EQ(buffer_.size, 70000) << "kept for the next checks";
}

// The fault: a check whose URL was deleted meanwhile lost its page buffer to the
// entry, which a subtask had grown and freed the client's for.
TEST_F(ClientCheckTest, RegressionABufferGrownForAURLThatWentMeanwhileComesBackToItsClient) {
  const std::string large(70000, 'L');
  TestHTTPServer server([&](const HTTPrequest&) {
    HTTPanswer slow = Page(200, "OK", large);
    slow.delayMs = 300;
    return slow;
  });
  ActivitySubtasks subtasks(1, {{"ZEVP_URL_MAX_REPLY_WAIT", "2"}});
  ManualClock clock;
  URLrequestEntry* entry = subtasks.urls().add(server.url("/going"), "S");
  ASSERT_TRUE(zevp::HoldURE(entry));  // as the client's cursor holds it
  std::thread stop([&] {
    ASSERT_TRUE(Eventually([&] { return RequestsFor(server, "/going") == 1; }, 5000));
    ZEVP_StopSitHTTPrequest(subtasks.urls().anchor(), "S");
  });
  TraceCapture trace("*=0x90");
  check(subtasks, entry);
  stop.join();
  EXPECT_TRUE(trace.contains("URL <" + server.url("/going") + "> no longer monitored: its check is dropped"));
  ASSERT_TRUE(subtasks.allFree());
  EXPECT_EQ(buffer_.size, 70000);
  EXPECT_EQ(std::string(buffer_.page, 70000), large);
  zevp::LetGoURE(entry);
  EXPECT_TRUE(subtasks.urls().entries().empty());
}

// Client threads as the manager starts them, sharing the cursor it set at the head.
class ClientTasks {
 public:
  ClientTasks(URLmanagementBlock* block, int count) : block_(block) {
    BSV1_GetLock(&block->URLListLock);
    block->CurrentURL = block->URLs;
    BSV1_ReleaseLock(&block->URLListLock);
    for (int n = 0; n < count; ++n) {
      BSV1_GetLock(&block->ClientTaskLock);
      ++block->ClientTasksStarted;
      BSV1_ReleaseLock(&block->ClientTaskLock);
      pthread_t thread;
      EXPECT_EQ(ZEV0_CreateThread(ZEVP_HTTPclientTask, block, PTHREAD_CREATE_DETACHED, &thread), 0);
    }
  }
  // Tells each to end, as the manager does, and waits until all have left the block.
  ~ClientTasks() {
    zevp::TellClientTasksToEnd(block_);
    EXPECT_TRUE(Eventually([&] { return started() == 0; }, 10000));
    EXPECT_EQ(block_->ClientTasks, nullptr);
  }
  int started() {
    BSV1_GetLock(&block_->ClientTaskLock);
    int count = block_->ClientTasksStarted;
    BSV1_ReleaseLock(&block_->ClientTaskLock);
    return count;
  }
  int listed() {
    BSV1_GetLock(&block_->ClientTaskLock);
    int count = 0;
    for (ProcessEntry* client = block_->ClientTasks; client != nullptr; client = client->next) ++count;
    BSV1_ReleaseLock(&block_->ClientTaskLock);
    return count;
  }
  // Begins a walk as the manager does.
  void beginWalk() {
    BSV1_GetLock(&block_->URLListLock);
    block_->CurrentURL = block_->URLs;
    ++block_->Walk;
    BSV1_ReleaseLock(&block_->URLListLock);
    zevp::WakeClientTasks(block_);
  }

 private:
  URLmanagementBlock* block_;
};

bool WalkComplete(URLmanagementBlock* block) {
  BSV1_GetLock(&block->URLListLock);
  bool complete = block->CurrentURL == nullptr;
  BSV1_ReleaseLock(&block->URLListLock);
  return complete;
}

bool StatusLeft(URLrequestEntry* entry) {
  BSV1_GetLock(&entry->EntryLock);
  bool left = entry->ValidURLstat == 1;
  BSV1_ReleaseLock(&entry->EntryLock);
  return left;
}

TEST(ClientTaskThreadsTest, TwoClientTasksCheckThreeDueURLsOnceEachInAWalk) {
  TestHTTPServer server([](const HTTPrequest&) {
    HTTPanswer answer = Page(200, "OK", kTitledPage);
    answer.delayMs = 100;  // each client is busy while the other takes the next URL
    return answer;
  });
  ActivitySubtasks subtasks(3);
  ManualClock clock;
  std::vector<URLrequestEntry*> entries;
  for (const char* path : {"/a", "/b", "/c"}) entries.push_back(subtasks.entry(server.url(path)));
  {
    ClientTasks clients(subtasks.urls().block(), 2);
    ASSERT_TRUE(Eventually([&] { return std::all_of(entries.begin(), entries.end(), StatusLeft); }, 5000));
    EXPECT_TRUE(Eventually([&] { return clients.listed() == 2; }, 5000));
    for (const char* path : {"/a", "/b", "/c"}) EXPECT_EQ(RequestsFor(server, path), 1) << path;
    EXPECT_TRUE(WalkComplete(subtasks.urls().block()));

    // The next walk finds nothing due; once the interval has passed, each URL again once.
    for (URLrequestEntry* entry : entries) Present(entry);
    clients.beginWalk();
    ASSERT_TRUE(Eventually([&] { return WalkComplete(subtasks.urls().block()); }, 5000));
    clock.advance(entries[0]->StatusInterval);
    clients.beginWalk();
    ASSERT_TRUE(Eventually([&] { return std::all_of(entries.begin(), entries.end(), StatusLeft); }, 5000));
    for (const char* path : {"/a", "/b", "/c"}) EXPECT_EQ(RequestsFor(server, path), 2) << path;
  }
  EXPECT_TRUE(subtasks.allFree());
}

// The manager starts a client, then ends before the client has joined the list: the
// client learns of the end as it joins, and does not wait out its five-minute pause.
TEST(ClientTaskThreadsTest, RegressionAClientThatJoinsAfterTheEndWasToldEndsAtOnce) {
  ActivitySubtasks subtasks(1);
  URLmanagementBlock* block = subtasks.urls().block();
  zevp::TellClientTasksToEnd(block);
  ClientTasks late(block, 1);
  EXPECT_TRUE(Eventually([&] { return late.started() == 0; }, 10000)) << "the late client is still waiting";
}

}  // namespace
