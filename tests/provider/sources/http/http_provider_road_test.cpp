// The HTTP data provider's threads in process, from the manager to the rows at a
// consumer parked at the agent's real DCH server, checking URLs of an HTTP server
// of the test.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "activity_fixture.h"
#include "dp_anchor.h"
#include "eventually.h"
#include "internet_road_fixture.h"
#include "test_http_server.h"
#include "trace_capture.h"
#include "url_management.h"
#include "url_management_fixture.h"
#include "url_monitoring_stop.h"

namespace {

const auto* const kConsole = ::testing::AddGlobalTestEnvironment(new ConsoleCommandOnPath);

class HTTPproviderRoadTest : public InternetRoadTest {
 protected:
  void TearDown() override {
    stop();
    InternetRoadTest::TearDown();
  }
  // The application and the block, under the settings.
  void startUnder(const Settings& settings) {
    ScopedSettings scope(settings);
    start();
  }
  void runManager() { manager_ = std::make_unique<RunningHTTPmanager>(anchor()); }
  void stop() {
    if (manager_ != nullptr) manager_->stop();
  }

  QuickSleeps clock_;
  std::unique_ptr<RunningHTTPmanager> manager_;
};

// The fault: a page completed and woke the update task before its client had left
// the status, so a URL checked alone reached the agent only at its next check.
TEST_F(HTTPproviderRoadTest, RegressionAURLCheckedAloneReachesTheAgentAtOnce) {
  TestHTTPServer server([](const HTTPrequest&) {
    return Page(200, "OK", "<title>Alone</title>", {"Server: TestServer/2.1 (loopback)"});
  });
  RowWaiter rows("Internet", "Managed_URL");
  syncWithServer();
  startUnder({});
  ASSERT_NE(add(server.url("/alone"), "ops", "Solo"), nullptr);
  runManager();
  std::vector<std::string> row = NextRow(rows, 5000);
  ASSERT_EQ(row.size(), 17u) << row[0];
  EXPECT_EQ(row[kURL], server.url("/alone"));
  EXPECT_EQ(row[kStatus], "OK");
  EXPECT_EQ(row[kPageTitle], "Alone");
  EXPECT_EQ(row[kUserName], "ops");
  EXPECT_EQ(row[kURLalias], "Solo");
  EXPECT_EQ(row[kServerType], "TestServer/2.1");
  EXPECT_EQ(CounterValue(row[kTotalSamplesTaken]), 1);
}

// A URL stopped while its check waits for a slow server: its removal row goes, and
// neither a row nor a console report of it comes after, also when the slow answer
// arrives.
TEST_F(HTTPproviderRoadTest, AURLStoppedWhileItsCheckWaitsGetsItsRemovalRowAndNoRowAfter) {
  TestHTTPServer server([](const HTTPrequest&) {
    HTTPanswer slow = Page(200, "OK", "<title>Slow</title>");
    slow.delayMs = 3000;  // longer than the reply wait: a check left alone would time out
    return slow;
  });
  RowWaiter rows("Internet", "Managed_URL");
  syncWithServer();
  startUnder({{"ZEVP_URL_MAX_REPLY_WAIT", "2"}});
  runManager();
  TraceCapture trace("*=0x90");
  ASSERT_NE(ZEVP_AllocateHTTPrequestBlock(anchor(), server.url("/slow").c_str(), nullptr, 0, "S", 0, nullptr),
            nullptr);
  manager_->wake();
  ASSERT_TRUE(Eventually([&] { return !server.requests().empty(); }, 5000));

  ZEVP_StopSitHTTPrequest(anchor(), "S");
  uint16_t control = 0;
  std::vector<std::string> removal = NextRow(rows, kAnswerWaitMs, &control);
  ASSERT_EQ(removal.size(), 17u) << removal[0];
  EXPECT_EQ(control, 0xDD);
  EXPECT_EQ(removal[kURL], server.url("/slow"));
  EXPECT_EQ(removal[kUserName], "S");
  EXPECT_EQ(NextRow(rows, 2500), std::vector<std::string>{"<no row>"});
  EXPECT_TRUE(trace.contains("URL <" + server.url("/slow") + "> no longer monitored: its check is dropped"));
  EXPECT_EQ(ConsoleCommandOnPath::take(), "") << "no time-out is reported";
}

}  // namespace
