// The HTTP data provider in a process of its own against the agent's DCH server
// in its host program: its application Internet goes online, the URL
// configuration file of its work directory is loaded, hostile and stopped servers
// give clear statuses, and SIGTERM ends it in order, also with requests in flight.
#include <gtest/gtest.h>

#include <algorithm>
#include <iostream>
#include <map>
#include <memory>
#include <chrono>
#include <string>
#include <vector>

#include "data_provider_process.h"
#include "dch/dch_api.h"
#include "dch_road_fixture.h"
#include "eventually.h"
#include "internet_road_fixture.h"
#include "test_http_server.h"

namespace {

constexpr int kOnlineWaitMs = 10000;

using HTTPproviderProcessTest = DCHroadTest;

TEST_F(HTTPproviderProcessTest, ItsApplicationGoesOnlineWithTheURLsOfItsFileAndSigtermEndsIt) {
  DataProviderProcess provider("HTTP", port());
  provider.configuration().write("ZEVPURLS",
                                 "* monitored\n"
                                 "shop.example/index.html INTERVAL=120 USER=ops ALIAS=Front\n"
                                 "other.example/ USER=ann,bob\n");
  provider.configuration().write("ISP.ID", "Speedy net\n");
  StatusWaiter status;
  ASSERT_TRUE(status.parked());
  syncWithServer();
  ASSERT_TRUE(provider.start({"ZEV_TRACE=*=0x90 storage=0x80 >" + provider.configuration().file("provider.trc")}));

  std::vector<std::string> notices;
  auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(kOnlineWaitMs);
  while (notices.size() < 2 && std::chrono::steady_clock::now() < deadline) {
    std::string notice = status.next(kOnlineWaitMs);
    if (notice.rfind("INTERNET,", 0) == 0) notices.push_back(notice);
  }
  std::sort(notices.begin(), notices.end());
  EXPECT_EQ(notices, (std::vector<std::string>{"INTERNET,MANAGED_URL,localhost,4117",
                                               "INTERNET,URL_OBJECTS,localhost,4117"}));
  EXPECT_EQ(Text(dc_getApplications, "INTERNET"), "INTERNET,MANAGED_URL,K,28800:URL_OBJECTS,K,1440000:;");
  EXPECT_TRUE(Eventually(
      [&] {
        return provider.traceText().find("Total of 2 managed URL(s) loaded at HTTP DP initialization") !=
               std::string::npos;
      },
      kOnlineWaitMs));

  EXPECT_TRUE(provider.terminate()) << provider.errorText();
  EXPECT_EQ(provider.errorText().find("Sanitizer"), std::string::npos) << provider.errorText();
  std::string trace = provider.traceText();
  EXPECT_NE(trace.find("URL Config 2 ->{shop.example/index.html INTERVAL=120 USER=ops ALIAS=Front}"), std::string::npos);
  EXPECT_NE(trace.find("Freeing URLmanagementBlock @"), std::string::npos);
  if (HasFailure()) std::cerr << "The data provider's trace:\n" << trace << provider.errorText();
}

// The data provider with a short default interval (2 seconds) and its rows of
// Managed_URL read as they come.
class HTTPproviderRowsTest : public DCHroadTest {
 protected:
  static constexpr int kReplyWaitSeconds = 2;
  bool start(const std::string& urlFile, std::vector<std::string> settings = {}) {
    provider_.configuration().write("ZEVPURLS", urlFile);
    syncWithServer();
    settings.insert(settings.end(), {"ZEVP_URL_DATASET_PERIOD=6", "ZEVP_URL_DATASET_MIN_SAMPLES=3",
                                     "ZEVP_URL_MAX_REPLY_WAIT=" + std::to_string(kReplyWaitSeconds)});
    if (!provider_.start(settings)) return false;
    // A consumer parks for the rows of an application the agent knows.
    return Eventually([] { return Text(dc_getApplications, "INTERNET").find("MANAGED_URL") != std::string::npos; },
                      10000);
  }
  // The next row of the URL (the rows of others are passed over); empty when none came.
  std::vector<std::string> nextRowOf(RowWaiter& rows, const std::string& url, int waitMs) {
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(waitMs);
    while (std::chrono::steady_clock::now() < deadline) {
      Row row;
      if (!ReadRow(rows.next(waitMs), &row)) break;
      if (row.values.size() == 17 && row.values[kURL] == url) return row.values;
    }
    return {};
  }
  bool outputHas(const std::string& line, int waitMs) {
    for (const std::string& written : provider_.output(waitMs))
      if (written == line) return true;
    return false;
  }

  DataProviderProcess provider_{"HTTP", port()};
};

// Each kind of hostile answer ends as a status of its own, and none holds the data
// provider: SIGTERM with requests in flight ends it within the reply wait and a few
// seconds.
TEST_F(HTTPproviderRowsTest, HostileAnswersGiveAClearStatusAndSigtermEndsTheProviderWithRequestsInFlight) {
  TestHTTPServer server([](const HTTPrequest& request) {
    HTTPanswer answer;
    if (request.target == "/endless") {
      answer.bytes = "HTTP/1.1 200 OK\r\nContent-Length: 900000000\r\n\r\n";
      answer.fillerBytes = 900000000;
    } else if (request.target == "/slow") {
      answer = Page(200, "OK", "<title>late</title>");
      answer.delayMs = (kReplyWaitSeconds + 2) * 1000;
    } else if (request.target == "/cut") {
      answer.bytes = "HTTP/1.1 200 OK\r\nContent-Length: 1000\r\n\r\n<title>cut";
    } else if (request.target == "/garbage") {
      answer.bytes = "\x01\x02 not a reply at all\r\n\r\n";
    } else {
      answer = Page(200, "OK", "<title>fine</title>");
    }
    return answer;
  });
  const std::vector<std::string> paths = {"/endless", "/slow", "/cut", "/garbage", "/fine"};
  std::string urlFile;
  for (const std::string& path : paths) urlFile += server.url(path) + "\n";
  ASSERT_TRUE(start(urlFile, {"ZEV_TRACE=*=0x90 >" + provider_.configuration().file("provider.trc")}));
  RowWaiter rows("Internet", "Managed_URL");

  std::map<std::string, std::string> statuses;
  auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
  while (statuses.size() < paths.size() && std::chrono::steady_clock::now() < deadline) {
    Row row;
    if (!ReadRow(rows.next(10000), &row)) break;
    if (row.values.size() == 17) statuses[row.values[kURL]] = row.values[kStatus];
  }
  EXPECT_EQ(statuses[server.url("/fine")], "OK");
  EXPECT_EQ(statuses[server.url("/slow")], "Timeout occurred while obtaining URL status");
  EXPECT_EQ(statuses[server.url("/cut")], "Timeout occurred while obtaining URL status");
  EXPECT_EQ(statuses[server.url("/garbage")], "server reply not understood");
  EXPECT_EQ(statuses[server.url("/endless")], "entity larger than the library takes");
  ASSERT_TRUE(outputHas("HTTP DP manager task active", 1000));

  // The slow and endless pages are being asked for again.
  ASSERT_TRUE(Eventually(
      [&] {
        int slow = 0;
        for (const HTTPrequest& request : server.requests()) slow += request.target == "/slow";
        return slow >= 2;
      },
      15000));
  auto sigterm = std::chrono::steady_clock::now();
  EXPECT_TRUE(provider_.terminate()) << provider_.errorText();
  std::string trace = provider_.traceText();
  EXPECT_NE(trace.find(">>>>> HTTP manager task ended"), std::string::npos);
  EXPECT_LT(std::chrono::steady_clock::now() - sigterm, std::chrono::seconds(kReplyWaitSeconds + 12));
  EXPECT_TRUE(outputHas("HTTP DP manager task ended", 1000));
  EXPECT_EQ(provider_.errorText().find("Sanitizer"), std::string::npos) << provider_.errorText();
  if (HasFailure()) std::cerr << "The data provider's trace:\n" << trace;
}

// A server that stops answers no check until it is started again; the page's
// objects give no rows while their report is off.
TEST_F(HTTPproviderRowsTest, AStoppedServerGivesATimeoutUntilItIsStartedAgain) {
  auto handler = [](const HTTPrequest& request) {
    return Page(200, "OK", request.target == "/shop" ? "<title>Shop</title><img src=\"logo.gif\">" : "GIF");
  };
  auto server = std::make_unique<TestHTTPServer>(handler);
  const unsigned short serverPort = server->port();
  const std::string url = server->url("/shop");
  ASSERT_TRUE(start(url + " USER=ops\n", {"ZEVP_URL_PAGE_OBJECTS_REPORT=N"}));
  RowWaiter rows("Internet", "Managed_URL");
  RowWaiter objects("Internet", "URL_Objects");
  std::vector<std::string> row = nextRowOf(rows, url, 10000);
  ASSERT_FALSE(row.empty());
  EXPECT_EQ(row[kStatus], "OK");

  server.reset();
  do {
    row = nextRowOf(rows, url, 10000);
  } while (!row.empty() && row[kStatus] == "OK");
  ASSERT_FALSE(row.empty());
  EXPECT_EQ(row[kStatus], "Timeout occurred while obtaining URL status");
  EXPECT_EQ(CounterValue(row[kCurrentResponseTime]), 0);
  EXPECT_EQ(CounterValue(row[kPageSize]), 0);

  server = std::make_unique<TestHTTPServer>(handler, serverPort);
  ASSERT_TRUE(server->listening());
  do {
    row = nextRowOf(rows, url, 10000);
  } while (!row.empty() && row[kStatus] != "OK");
  ASSERT_FALSE(row.empty());
  EXPECT_GE(CounterValue(row[kTotalSamplesTaken]), 2);
  Row objectRow;
  EXPECT_FALSE(ReadRow(objects.next(kSilenceMs), &objectRow)) << "object rows are not reported";
  EXPECT_TRUE(provider_.stop());
}

}  // namespace
