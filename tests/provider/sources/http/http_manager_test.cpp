// The HTTP manager: the decisions of its cycle (client tasks, the rewrite of the
// URL configuration file, the next walk and the pause), and the manager thread in
// process on a URL management block of its own, against an HTTP server of the test.
#include "http_manager.h"

#include <gtest/gtest.h>

#include <string>

#include "action_entry.h"
#include "activity_fixture.h"
#include "bare_anchor.h"
#include "dp_anchor.h"
#include "eventually.h"
#include "process_entry.h"
#include "test_http_server.h"
#include "trace_capture.h"
#include "url_config_file.h"
#include "url_management.h"
#include "url_management_fixture.h"
#include "url_rule_start.h"
#include "zev0/storage.h"
#include "zev0/text.h"

namespace {

TEST(HTTPmanagerCycleTest, OneClientTaskServesUpToItsNumberOfURLs) {
  const struct {
    int32_t urls, perTask, wanted;
  } cases[] = {{0, 250, 1}, {249, 250, 1}, {250, 250, 2}, {499, 250, 2}, {500, 250, 3}, {2, 2, 2}};
  for (const auto& c : cases) EXPECT_EQ(zevp::ClientTasksWanted(c.urls, c.perTask), c.wanted) << c.urls;
}

struct PlannedURL {
  int32_t interval;
  int64_t nextCheckIn;  // seconds from now; unset: a new URL (NextCheckTime 0)
  bool isNew;
};

TEST(HTTPmanagerCycleTest, ADueURLBeginsAWalkAndThePauseIsTheTimeToTheNextOrTheShortestInterval) {
  constexpr int64_t kNow = 1000000;
  const struct {
    const char* what;
    std::vector<PlannedURL> urls;
    bool begun;
    int32_t pause;
  } cases[] = {
      {"no URLs", {}, false, 300},
      {"a new URL", {{120, 0, true}}, true, 120},
      {"intervals 60 and 300, one due", {{60, 0, false}, {300, 200, false}}, true, 60},
      {"due a while ago", {{300, -40, false}}, true, 300},
      {"none due: the time to the next", {{300, 45, false}, {120, 80, false}}, false, 45},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    URLmanagement urls;
    int n = 0;
    for (const PlannedURL& planned : c.urls) {
      URLrequestEntry* entry = urls.add("http://h/" + std::to_string(n++), "u", planned.interval);
      ASSERT_NE(entry, nullptr);
      entry->NextCheckTime = planned.isNew ? 0 : kNow + planned.nextCheckIn;
    }
    URLmanagementBlock* block = urls.block();
    const int64_t walkBefore = block->Walk.load();
    zevp::WalkPlan plan = zevp::PlanNextWalk(block, kNow);
    EXPECT_EQ(plan.begun, c.begun);
    EXPECT_EQ(plan.pause, c.pause);
    EXPECT_EQ(block->Walk.load(), walkBefore + (c.begun ? 1 : 0));
    EXPECT_EQ(block->CurrentURL, c.begun ? block->URLs : nullptr) << "a walk begins at the head";
  }
}

TEST(HTTPmanagerCycleTest, TwoChangesOfTheConfigurationGiveOneRewrite) {
  const ScratchDirectory& work = HTTPworkDirectory();
  URLmanagement urls;
  URLmanagementBlock* block = urls.block();
  ZEV0_FreeStorage(&block->ConfigFileName);
  block->ConfigFileName = ZEV0_ConstructFullyQualifiedName(nullptr, "URLS.CYCLE");
  ASSERT_NE(urls.add("http://shop.example/", "ops", 120), nullptr);
  EXPECT_FALSE(zevp::RewriteChangedURLconfiguration(block)) << "nothing changed yet";
  ZEVP_SetURLconfigurationUpdate();
  ZEVP_SetURLconfigurationUpdate();
  EXPECT_TRUE(zevp::RewriteChangedURLconfiguration(block));
  EXPECT_EQ(work.read("URLS.CYCLE"), "http://shop.example/ INTERVAL=120 CACHE=0 USER=ops\n");
  work.remove("URLS.CYCLE");
  EXPECT_FALSE(zevp::RewriteChangedURLconfiguration(block));
  EXPECT_EQ(work.read("URLS.CYCLE"), "") << "not written again";
}

// The manager thread on a block of its own; its default interval one second, its
// clock the test's (sleeps pass at once).
class HTTPmanagerTest : public ::testing::Test {
 protected:
  explicit HTTPmanagerTest(Settings settings = {}, bool shortCycle = true)
      : settings_(shortCycle ? WithShortCycle(settings) : settings) {}
  void TearDown() override { stop(); }
  void start() {
    urls_ = std::make_unique<URLmanagement>(settings_);
    manager_ = std::make_unique<RunningHTTPmanager>(anchor());
  }
  void stop() {
    if (manager_ != nullptr) manager_->stop();
  }
  DPAB* anchor() { return urls_->anchor(); }
  URLmanagementBlock* block() { return anchor()->urlManagement; }
  int clientTasks() {
    BSV1_GetLock(&block()->ClientTaskLock);
    int count = 0;
    for (ProcessEntry* client = block()->ClientTasks; client != nullptr; client = client->next) ++count;
    BSV1_ReleaseLock(&block()->ClientTaskLock);
    return count;
  }
  // A URL added at run time, as a situation's start asks for it, waking the manager.
  void addAtRunTime(const std::string& url) {
    ASSERT_NE(ZEVP_AllocateHTTPrequestBlock(anchor(), url.c_str(), nullptr, 0, "S", 0, nullptr), nullptr);
    manager_->wake();
  }

  QuickSleeps clock_;

 private:
  static Settings WithShortCycle(Settings settings) {
    settings.insert(settings.end(), {{"ZEVP_URL_DATASET_PERIOD", "3"}, {"ZEVP_URL_DATASET_MIN_SAMPLES", "3"},
                                     {"ZEVP_URL_MAX_REPLY_WAIT", "2"}});
    return settings;
  }
  Settings settings_;
  std::unique_ptr<URLmanagement> urls_;
  std::unique_ptr<RunningHTTPmanager> manager_;
};

TEST_F(HTTPmanagerTest, WithNoURLsOneClientTaskRunsAndTheEndWaitsForEveryHTTPthread) {
  TraceCapture trace("*=0x90");
  start();
  ASSERT_TRUE(Eventually([&] { return clientTasks() == 1; }, 5000));
  ASSERT_TRUE(Eventually([&] { return trace.count(">>>>> Condition Wait pause interval 1") >= 2; }, 5000))
      << "each cycle waits the default interval";
  stop();
  const std::string text = trace.take();
  const size_t clientEnded = text.find(">>>>> HTTP client task ended");
  const size_t updateEnded = text.find("Error: HTTP Managed URL application has not been initialized.");
  const size_t blockFreed = text.find("Freeing URLmanagementBlock @");
  ASSERT_NE(clientEnded, std::string::npos) << text;
  ASSERT_NE(updateEnded, std::string::npos) << "no Managed_URL source here: the update task ends at once";
  ASSERT_NE(blockFreed, std::string::npos);
  EXPECT_LT(clientEnded, blockFreed);
  size_t subtasksFreed = 0;
  for (size_t at = text.find("Freeing URLactivityTaskBlock @"); at != std::string::npos && at < blockFreed;
       at = text.find("Freeing URLactivityTaskBlock @", at + 1))
    ++subtasksFreed;
  EXPECT_EQ(subtasksFreed, 3u) << "every subtask ended before the block went";
  EXPECT_EQ(anchor()->urlManagement, nullptr);
  EXPECT_EQ(anchor()->httpManagerEntry.load(), nullptr);
}

TEST_F(HTTPmanagerTest, AURLAddedAtRunTimeIsCheckedInTheFirstCycleAfterTheCurrentOne) {
  TestHTTPServer server([](const HTTPrequest&) { return Page(200, "OK", "<title>new</title>"); });
  start();
  ASSERT_TRUE(Eventually([&] { return clientTasks() == 1; }, 5000));
  addAtRunTime(server.url("/new"));
  EXPECT_TRUE(Eventually([&] { return !server.requests().empty(); }, 5000));
}

class HTTPmanagerOfTwoURLsATaskTest : public HTTPmanagerTest {
 protected:
  HTTPmanagerOfTwoURLsATaskTest() : HTTPmanagerTest({{"ZEVP_URL_PER_CLIENT_TASK", "2"}}) {}
};

TEST_F(HTTPmanagerOfTwoURLsATaskTest, TheURLThatFillsAClientTaskStartsAnotherInTheNextCycle) {
  TestHTTPServer server([](const HTTPrequest&) { return Page(200, "OK", "x"); });
  start();
  addAtRunTime(server.url("/1"));
  ASSERT_TRUE(Eventually([&] { return !server.requests().empty(); }, 5000));
  EXPECT_EQ(clientTasks(), 1);
  addAtRunTime(server.url("/2"));
  EXPECT_TRUE(Eventually([&] { return clientTasks() == 2; }, 5000));
}

TEST_F(HTTPmanagerTest, AChangedConfigurationIsRewrittenWithinACycle) {
  const ScratchDirectory& work = HTTPworkDirectory();
  TestHTTPServer server([](const HTTPrequest&) { return Page(200, "OK", "x"); });
  start();
  BSV1_GetLock(&block()->ConfigurationLock);
  ZEV0_FreeStorage(&block()->ConfigFileName);
  block()->ConfigFileName = ZEV0_ConstructFullyQualifiedName(nullptr, "URLS.RUN");
  BSV1_ReleaseLock(&block()->ConfigurationLock);
  addAtRunTime(server.url("/kept"));
  ZEVP_SetURLconfigurationUpdate();
  EXPECT_TRUE(Eventually([&] { return !work.read("URLS.RUN").empty(); }, 5000));
  stop();
  EXPECT_EQ(work.read("URLS.RUN"), server.url("/kept") + " INTERVAL=1 CACHE=0 USER=S\n");
  work.remove("URLS.RUN");
}

// A wake that comes while the manager is not waiting (between two cycles) is kept
// for its next pause, which it then does not wait out; with no manager there is
// nothing to wake.
TEST(HTTPmanagerWakeTest, AWakeIsKeptUntilTheManagerLooks) {
  for (bool running : {true, false}) {
    SCOPED_TRACE(running ? "a manager that is not waiting" : "no manager");
    URLmanagement urls;
    ProcessEntry* manager = ZEVP_InitializeProcessEntry(urls.anchor());
    ASSERT_NE(manager, nullptr);
    if (running) {
      urls.anchor()->httpManagerEntry = manager;
      urls.block()->Manager = manager;
    }
    ZEVP_WakeHTTPmanagerThread(urls.anchor());
    EXPECT_EQ(urls.block()->ManagerWakeRequested, running ? 1 : 0);
    urls.anchor()->httpManagerEntry = nullptr;
    urls.block()->Manager = nullptr;
    ZEVP_DestroyProcessEntry(manager);
  }
}

// The manager's pause is the default interval of five minutes here.
class HTTPmanagerOfLongPausesTest : public HTTPmanagerTest {
 protected:
  HTTPmanagerOfLongPausesTest() : HTTPmanagerTest({}, false) {}
};

// A situation's rule for a URL of a long interval, while the manager pauses: the URL
// is checked within seconds, not at the end of the pause.
TEST_F(HTTPmanagerOfLongPausesTest, ARuleStartsURLIsCheckedWithinSecondsOfTheRule) {
  TestHTTPServer server([](const HTTPrequest&) { return Page(200, "OK", "<title>rule</title>"); });
  TraceCapture trace("*=0x90");
  start();
  ASSERT_TRUE(Eventually([&] { return trace.contains(">>>>> Condition Wait pause interval 300"); }, 10000))
      << trace.take();
  const std::string parameters = "INTERVAL=3600 ATTRIBUTES=(URL EQ " + server.url("/rule") + ")";
  ActionEntry* rule = ZEVP_AllocateActionEntry(anchor());
  ASSERT_NE(rule, nullptr);
  rule->ActionOwner = ZEVP_CopyActionText("Web_Sit", 7);
  rule->ActionParm = ZEVP_CopyActionText(parameters.c_str(), static_cast<uint32_t>(parameters.size()));
  ZEVP_StartURLmonitoringByRule(anchor(), rule);
  ZEVP_ReleaseActionEntry(anchor(), rule);
  EXPECT_TRUE(Eventually([&] { return !server.requests().empty(); }, 10000));
}

}  // namespace
