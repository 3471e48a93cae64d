// URL activity subtasks in process, as the HTTP client task drives them, against
// HTTP servers (and a proxy) of the test on loopback: pages, redirections, error
// replies, proxy challenges, the HTTP 1.0 fall-back, time-outs, hostile answers,
// the pool's growth and its end.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "activity_fixture.h"
#include "eventually.h"
#include "test_http_server.h"
#include "trace_capture.h"
#include "url_management.h"

namespace {

const auto* const kConsole = ::testing::AddGlobalTestEnvironment(new ConsoleCommandOnPath);

// No proxy here but where a test sets one.
class ActivitySubtaskTest : public ::testing::Test {
 protected:
  void SetUp() override {
    for (const char* name : {"http_proxy", "https_proxy", "HTTPS_PROXY", "all_proxy", "ALL_PROXY"}) unsetenv(name);
    ConsoleCommandOnPath::take();
  }
};

std::vector<std::string> TargetsOf(const TestHTTPServer& server) {
  std::vector<std::string> targets;
  for (const HTTPrequest& request : server.requests()) targets.push_back(request.target);
  return targets;
}

TEST_F(ActivitySubtaskTest, APageIsReadIntoTheLentBufferWithItsServerTypeAndVersion) {
  TestHTTPServer server([](const HTTPrequest& request) {
    if (request.target == "/old") return Page(200, "OK", "<html>old</html>", {"Server: NCSA/1.5"}, "HTTP/1.0");
    return Page(200, "OK", "<html><title>Shop</title></html>",
                {"Server: Apache/2.4.57 (Debian) " + std::string(100, 'x')});
  });
  ActivitySubtasks subtasks(1);
  PageCheck check = subtasks.checkPage(server.url("/index.html"));
  EXPECT_EQ(check.dispatched, 1);
  EXPECT_EQ(check.status, 0);
  EXPECT_EQ(check.pageLength, 32);
  EXPECT_EQ(check.page, "<html><title>Shop</title></html>");
  EXPECT_FALSE(check.bufferReplaced);
  EXPECT_EQ(check.serverType, "Apache/2.4.57") << "the first word";
  EXPECT_EQ(check.http11, 1);
  ASSERT_EQ(server.requests().size(), 1u);
  EXPECT_EQ(server.requests()[0].header("User-Agent"), "Mozilla/4.0 (compatible; MSIE 5.5; Windows NT 4.0)");

  PageCheck old = subtasks.checkPage(server.url("/old"));
  EXPECT_EQ(old.status, 0);
  EXPECT_EQ(old.serverType, "NCSA/1.5");
  EXPECT_EQ(old.http11, 0) << "a 1.0 server";
  EXPECT_EQ(server.requests().back().version, "HTTP/1.1");
  EXPECT_EQ(subtasks.checkPage(server.url("/old")).http11, 0);
  EXPECT_EQ(server.requests().back().version, "HTTP/1.0") << "later requests of the URL in 1.0";

  PageCheck longest(subtasks.checkPage(server.url("/index.html")));
  EXPECT_EQ(longest.serverType.size(), 13u) << "learned once";
}

TEST_F(ActivitySubtaskTest, TrailingHashMarksAreNotRequested) {
  TestHTTPServer server([](const HTTPrequest&) { return Page(200, "OK", "x"); });
  ActivitySubtasks subtasks(1);
  for (const char* path : {"/x#", "/x###", "/x#/"}) {
    SCOPED_TRACE(path);
    EXPECT_EQ(subtasks.checkPage(server.url(path)).status, 0);
    EXPECT_EQ(server.requests().back().target, "/x");
  }
}

TEST_F(ActivitySubtaskTest, RedirectionsAreFollowedByTheirRulesAndBounded) {
  ScratchDirectory local("zev_local");
  const std::string secret = local.write("secret.html", "<html>local secret</html>");
  const std::string longLocation = "http://127.0.0.1/" + std::string(1100, 'a');
  TestHTTPServer server([&](const HTTPrequest& request) {
    const std::string& target = request.target;
    if (target == "/d1/d2/page") return Page(302, "Found", "", {"Location: /a"});
    if (target == "/d1/page") return Page(301, "Moved", "", {"Location: b.html"});
    if (target.rfind("/hop", 0) == 0 && std::stoi(target.substr(4)) < 7)
      return Page(302, "Found", "", {"Location: /hop" + std::to_string(std::stoi(target.substr(4)) + 1)});
    if (target == "/long") return Page(302, "Found", "", {"Location: " + longLocation});
    if (target == "/short") return Page(302, "Found", "", {"Location: http:/"});
    if (target == "/local") return Page(302, "Found", "", {"Location: file://" + secret});
    return Page(200, "OK", "<html>at " + target + "</html>");
  });
  ActivitySubtasks subtasks(1);
  struct Case {
    const char* what;
    std::string path;
    int32_t status;
    std::vector<std::string> targets;
  } cases[] = {
      {"rooted, from two levels down: stays in its directory", "/d1/d2/page", 0, {"/d1/d2/page", "/d1/d2/a"}},
      {"relative: in place of the last segment", "/d1/page", 0, {"/d1/page", "/d1/b.html"}},
      {"six redirections", "/hop1", VMO1_TOO_MANY_REDIRECTIONS,
       {"/hop1", "/hop2", "/hop3", "/hop4", "/hop5", "/hop6"}},
      {"five redirections", "/hop2", 0, {"/hop2", "/hop3", "/hop4", "/hop5", "/hop6", "/hop7"}},
      {"a location of 1100 characters", "/long", VMO1_TOO_MANY_REDIRECTIONS, {"/long"}},
      {"a location no longer than a scheme", "/short", VMO1_INVALID_URI, {"/short"}},
      {"a file: location is refused, not read", "/local", VMO1_SCHEME_NOT_SUPPORTED, {"/local"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const size_t before = server.requests().size();
    PageCheck check = subtasks.checkPage(server.url(c.path));
    EXPECT_EQ(check.status, c.status);
    std::vector<std::string> targets = TargetsOf(server);
    EXPECT_EQ(std::vector<std::string>(targets.begin() + static_cast<long>(before), targets.end()), c.targets);
    if (c.status == 0) {
      EXPECT_EQ(check.page, "<html>at " + c.targets.back() + "</html>");
    } else {
      EXPECT_EQ(check.page.find("secret"), std::string::npos);
      EXPECT_EQ(check.pageLength, 0);
    }
  }
}

TEST_F(ActivitySubtaskTest, AnAbsoluteLocationGoesToItsOwnServer) {
  TestHTTPServer target([](const HTTPrequest&) { return Page(200, "OK", "<html>there</html>"); });
  TestHTTPServer origin([&](const HTTPrequest&) { return Page(302, "Found", "", {"Location: " + target.url("/t")}); });
  ActivitySubtasks subtasks(1);
  EXPECT_EQ(subtasks.checkPage(origin.url("/here")).page, "<html>there</html>");
  EXPECT_EQ(TargetsOf(target), std::vector<std::string>{"/t"});
}

TEST_F(ActivitySubtaskTest, AnErrorReplyKeepsItsCodeAndReasonPhrase) {
  TestHTTPServer server([](const HTTPrequest& request) {
    return request.target == "/missing" ? Page(404, "Gone away", "no such page") : Page(500, "Broken", "");
  });
  ActivitySubtasks subtasks(1);
  for (const auto& [path, code, text] : {std::make_tuple("/missing", 404, "Not Found"),
                                         std::make_tuple("/broken", 500, "Internal Server Error")}) {
    SCOPED_TRACE(path);
    PageCheck check = subtasks.checkPage(server.url(path));
    EXPECT_EQ(check.status, VMO1_HTTP_ERROR_REPLY);
    EXPECT_EQ(check.httpCode, code);
    EXPECT_EQ(check.text, text);
    EXPECT_EQ(check.pageLength, 0);
  }
}

// A proxy that asks for Basic credentials and, given them, answers the page.
HTTPanswer ProxyAnswer(const HTTPrequest& request) {
  if (request.header("Proxy-Authorization").empty())
    return Page(407, "Proxy Authentication Required", "", {"Proxy-Authenticate: Basic realm=\"zev\""});
  return Page(200, "OK", "<html>through the proxy</html>");
}

TEST_F(ActivitySubtaskTest, AProxysChallengeIsAnsweredOnceWithItsCredentials) {
  TestHTTPServer proxy(ProxyAnswer);
  const std::string page = "http://127.0.0.1:9/page";  // reached through the proxy only
  {
    ActivitySubtasks subtasks(1, {{"http_proxy", proxy.url("")}});
    PageCheck check = subtasks.checkPage(page);
    EXPECT_EQ(check.status, VMO1_AUTHENTICATION_REQUIRED) << "without credentials";
    EXPECT_EQ(proxy.requests().size(), 1u) << "no retry";
  }
  {
    ActivitySubtasks subtasks(1, {{"http_proxy", proxy.url("")},
                                  {"ZEVP_HTTP_PROXY_USERID", "agent"},
                                  {"ZEVP_HTTP_PROXY_PASSWORD", "s3cret"}});
    PageCheck check = subtasks.checkPage(page);
    EXPECT_EQ(check.status, 0);
    EXPECT_EQ(check.page, "<html>through the proxy</html>");
    ASSERT_EQ(proxy.requests().size(), 3u);
    EXPECT_EQ(proxy.requests()[1].header("Proxy-Authorization"), "");
    EXPECT_EQ(proxy.requests()[2].header("Proxy-Authorization"), "Basic YWdlbnQ6czNjcmV0");
    EXPECT_EQ(proxy.requests()[2].target, page);
  }
  {
    TraceCapture trace("*=0x90");
    ActivitySubtasks subtasks(1, {{"http_proxy", proxy.url("")},
                                  {"ZEVP_HTTP_PROXY_USERID", std::string(300, 'u')},
                                  {"ZEVP_HTTP_PROXY_PASSWORD", std::string(100, 'p')}});
    EXPECT_EQ(subtasks.checkPage(page).status, VMO1_AUTHENTICATION_REQUIRED) << "credentials too long to encode";
    EXPECT_EQ(proxy.requests().size(), 4u);
    EXPECT_TRUE(trace.contains("longer than Basic authentication takes"));
  }
}

// The fault: a web server's own Basic challenge was answered with the proxy's
// password.
TEST_F(ActivitySubtaskTest, RegressionAServersChallengeNeverGetsTheProxysCredentials) {
  TestHTTPServer server([](const HTTPrequest&) {
    return Page(401, "Unauthorized", "", {"WWW-Authenticate: Basic realm=\"site\""});
  });
  ActivitySubtasks subtasks(1, {{"ZEVP_HTTP_PROXY_USERID", "agent"}, {"ZEVP_HTTP_PROXY_PASSWORD", "s3cret"}});
  PageCheck check = subtasks.checkPage(server.url("/private"));
  EXPECT_EQ(check.status, VMO1_AUTHENTICATION_REQUIRED);
  EXPECT_EQ(check.httpCode, 401);
  ASSERT_EQ(server.requests().size(), 1u);
  EXPECT_EQ(server.requests()[0].header("Authorization"), "");
  EXPECT_EQ(server.requests()[0].header("Proxy-Authorization"), "");
}

// A web server's 401 reached through a proxy ends the request with the server's
// status: the server's challenge is never answered, the proxy's only once.
TEST_F(ActivitySubtaskTest, AServersChallengeReachedThroughAProxyIsNotAnswered) {
  const std::string page = "http://127.0.0.1:9/private";  // reached through the proxy only
  const struct {
    const char* what;
    bool proxyAsks;
    size_t requests;
    const char* traced;
  } cases[] = {
      {"a proxy that lets the request through", false, 1,
       "Web server challenge <Basic realm=\"site\"> for URL <http://127.0.0.1:9/private> not answered"},
      {"a proxy that asks first", true, 2,
       "Authentication attempt failed. Unable to obtain status for URL <http://127.0.0.1:9/private>"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    TestHTTPServer proxy([&c](const HTTPrequest& request) {
      if (c.proxyAsks && request.header("Proxy-Authorization").empty())
        return Page(407, "Proxy Authentication Required", "", {"Proxy-Authenticate: Basic realm=\"zev\""});
      return Page(401, "Unauthorized", "", {"WWW-Authenticate: Basic realm=\"site\""});
    });
    TraceCapture trace("*=0x90");
    ActivitySubtasks subtasks(1, {{"http_proxy", proxy.url("")},
                                  {"ZEVP_HTTP_PROXY_USERID", "agent"},
                                  {"ZEVP_HTTP_PROXY_PASSWORD", "s3cret"}});
    PageCheck check = subtasks.checkPage(page);
    EXPECT_EQ(check.status, VMO1_AUTHENTICATION_REQUIRED);
    EXPECT_EQ(check.httpCode, 401);
    ASSERT_EQ(proxy.requests().size(), c.requests);
    for (const HTTPrequest& request : proxy.requests()) {
      EXPECT_EQ(request.target, page);
      EXPECT_EQ(request.header("Authorization"), "");
    }
    EXPECT_EQ(proxy.requests().back().header("Proxy-Authorization"), c.proxyAsks ? "Basic YWdlbnQ6czNjcmV0" : "");
    EXPECT_TRUE(trace.contains(c.traced));
  }
}

TEST_F(ActivitySubtaskTest, AServerThatDropsHTTP11IsRetriedOnceInHTTP10) {
  TestHTTPServer server([](const HTTPrequest& request) {
    return request.version == "HTTP/1.1" ? HTTPanswer{} : Page(200, "OK", "<html>1.0 only</html>", {}, "HTTP/1.0");
  });
  ActivitySubtasks subtasks(1);
  PageCheck check = subtasks.checkPage(server.url("/p"));
  EXPECT_EQ(check.status, 0);
  EXPECT_EQ(check.page, "<html>1.0 only</html>");
  EXPECT_EQ(check.http11, 0);
  subtasks.checkPage(server.url("/p"));
  std::vector<std::string> versions;
  for (const HTTPrequest& request : server.requests()) versions.push_back(request.version);
  EXPECT_EQ(versions, (std::vector<std::string>{"HTTP/1.1", "HTTP/1.0", "HTTP/1.0"}));
}

TEST_F(ActivitySubtaskTest, AFailedHTTP10RetryIsNeverMadeAgainAndAnAnswerCutShortGivesNoPage) {
  TestHTTPServer server([](const HTTPrequest& request) {
    if (request.target == "/cut") return HTTPanswer{"HTTP/1.1 200 OK\r\nContent-Length: 1000\r\n\r\n<html>part"};
    return HTTPanswer{};
  });
  ActivitySubtasks subtasks(1);
  PageCheck check = subtasks.checkPage(server.url("/dropped"));
  EXPECT_EQ(check.status, VMO1_CONNECTION_ABANDONED);
  EXPECT_EQ(check.text, "client connection has been lost");
  EXPECT_EQ(check.noHTTP10retry, 1);
  EXPECT_EQ(check.http11, 1);
  subtasks.checkPage(server.url("/dropped"));
  std::vector<std::string> versions;
  for (const HTTPrequest& request : server.requests()) versions.push_back(request.version);
  EXPECT_EQ(versions, (std::vector<std::string>{"HTTP/1.1", "HTTP/1.0", "HTTP/1.1"}));

  PageCheck cut = subtasks.checkPage(server.url("/cut"));
  EXPECT_EQ(cut.status, VMO1_CONNECTION_ABANDONED);
  EXPECT_EQ(cut.pageLength, 0);
  EXPECT_EQ(cut.page, "");
}

TEST_F(ActivitySubtaskTest, ARequestSlowerThanTheReplyWaitTimesOutAndItsSubtaskIsSoonFree) {
  TestHTTPServer server([](const HTTPrequest&) { return HTTPanswer{Page(200, "OK", "late").bytes, 0, 3000}; });
  ActivitySubtasks subtasks(1, {{"ZEVP_URL_MAX_REPLY_WAIT", "1"}});
  const std::string url = server.url("/slow");
  auto start = std::chrono::steady_clock::now();
  PageCheck check = subtasks.checkPage(url);
  EXPECT_EQ(check.dispatched, 0);
  EXPECT_EQ(ConsoleCommandOnPath::take(),
            "-s Warning -c ActionStatus URL " + url + " request timeout. Retry at next scheduled sample interval\n");
  EXPECT_TRUE(subtasks.allFree(2500)) << "its request ends at the reply wait too";
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(2900));
  URLrequestEntry* entry = subtasks.entry(url);
  BSV1_GetLock(&entry->EntryLock);
  EXPECT_EQ(entry->ObjConfirmCount, 0);
  EXPECT_EQ(entry->PageLength, 0) << "an abandoned request leaves the entry alone";
  BSV1_ReleaseLock(&entry->EntryLock);
}

TEST_F(ActivitySubtaskTest, ALargePageGetsABufferOfItsOwnAndHostileAnswersGiveAStatus) {
  const std::string megabyte(1 << 20, 'm');
  TestHTTPServer server([&](const HTTPrequest& request) {
    const std::string& target = request.target;
    if (target == "/large") return Page(200, "OK", megabyte);
    if (target == "/endless") return HTTPanswer{"HTTP/1.1 200 OK\r\n\r\n", (16u << 20) + 1};
    if (target == "/garbage") return HTTPanswer{"SPEAK FRIEND\r\n\r\n"};
    std::vector<std::string> headers(200, "X-Many: " + std::string(200, 'h'));
    headers.push_back("Server: " + std::string(20000, 's'));
    return Page(200, "OK", "<html>hostile</html>", headers);
  });
  // A megabyte and an answer past 16 MiB take seconds through a sanitizer: the
  // requester waits as long as the product does by default, rather than the fixture's
  // two seconds, after which it would leave them and find no status.
  ActivitySubtasks subtasks(1, {{"ZEVP_URL_MAX_REPLY_WAIT", "45"}});
  PageCheck large = subtasks.checkPage(server.url("/large"));
  EXPECT_EQ(large.status, 0);
  EXPECT_TRUE(large.bufferReplaced);
  EXPECT_EQ(large.bufferSize, 1 << 20);
  EXPECT_EQ(large.pageLength, 1 << 20);
  EXPECT_EQ(large.page, megabyte);

  EXPECT_EQ(subtasks.checkPage(server.url("/endless")).status, VMO1_ENTITY_TOO_LARGE);
  EXPECT_EQ(subtasks.checkPage(server.url("/garbage")).status, VMO1_REPLY_NOT_UNDERSTOOD);
  PageCheck hostile = subtasks.checkPage(server.url("/hostile"));
  EXPECT_EQ(hostile.status, 0);
  EXPECT_EQ(hostile.page, "<html>hostile</html>");
}

TEST_F(ActivitySubtaskTest, AnObjectRequestAddsItsSizeWritesItsFileAndAsksForItsRow) {
  ScratchDirectory output("zev_url_output");
  TestHTTPServer server([](const HTTPrequest&) { return Page(200, "OK", "GIF89a-bytes"); });
  ActivitySubtasks subtasks(1, {{"ZEVP_URL_OUTPUT_DIR", output.path()}});
  URLrequestEntry* page = subtasks.entry(server.url("/index.html"));
  BSV1_GetLock(&page->EntryLock);
  page->OutputObjectContent = 1;
  page->ObjRequestOutstanding = 1;
  BSV1_ReleaseLock(&page->EntryLock);
  TraceCapture trace("*=0x90");
  URLactivityTaskBlock* block = ZEVP_LocateFreeActivitySubtask();
  const std::string object = server.url("/img/logo.gif");
  EXPECT_EQ(ZEVP_DispatchActivitySubtask(block, page, object.c_str(), ZEVP_URL_OBJECT_REQUEST, 0, 0, 0), 1);
  ASSERT_TRUE(subtasks.allFree());
  BSV1_GetLock(&page->EntryLock);
  EXPECT_EQ(page->TotalObjectSize, 12);
  EXPECT_EQ(page->ObjRequestOutstanding, 0);
  BSV1_ReleaseLock(&page->EntryLock);
  const std::string host = "127.0.0.1:" + std::to_string(server.port());
  EXPECT_EQ(output.read(host + "/logo.gif"), "GIF89a-bytes");
  // Its row goes to the application's URL_Objects source, which this anchor has not.
  EXPECT_TRUE(trace.contains("DCH Update not performed. HTTP URL Object application is not available for DP type HTTP"))
      << trace.take();
}

// The fault: a request refused for its length left its subtask reserved, one more at
// each check of such a URL.
TEST_F(ActivitySubtaskTest, RegressionARequestRefusedForItsLengthLeavesItsSubtaskFree) {
  ActivitySubtasks subtasks(1);
  URLrequestEntry* page = subtasks.entry("http://127.0.0.1:9/p");
  TraceCapture trace("*=0x90");
  for (int i = 0; i < 3; ++i) {
    URLactivityTaskBlock* block = ZEVP_LocateFreeActivitySubtask();
    const std::string tooLong = "http://127.0.0.1:9/" + std::string(1006 + i, 'x');  // 1025-1027 characters
    EXPECT_EQ(ZEVP_DispatchActivitySubtask(block, page, tooLong.c_str(), ZEVP_URL_OBJECT_REQUEST, 1, 0, 0), 0);
    EXPECT_EQ(block->State.load(), ZEVP_SUBTASK_FREE);
  }
  EXPECT_EQ(subtasks.pool().size(), 1u) << "no subtask was left reserved, so none was added";
  EXPECT_EQ(trace.count("longer than supported maximum 1024. Not dispatched"), 3);
}

TEST_F(ActivitySubtaskTest, WithEverySubtaskBusyTheRequesterWaitsThenThePoolGrowsByOne) {
  TestHTTPServer server([](const HTTPrequest&) { return HTTPanswer{Page(200, "OK", "late").bytes, 0, 1500}; });
  ActivitySubtasks subtasks(1, {{"ZEVP_URL_MAX_REPLY_WAIT", "4"}, {"ZEVP_URL_INIT_TASKS", "1"}});
  URLrequestEntry* page = subtasks.entry(server.url("/busy"));
  URLactivityTaskBlock* busy = ZEVP_LocateFreeActivitySubtask();
  ASSERT_EQ(ZEVP_DispatchActivitySubtask(busy, page, page->URL, ZEVP_URL_OBJECT_REQUEST, 0, 0, 0), 1);

  auto start = std::chrono::steady_clock::now();
  URLactivityTaskBlock* added = ZEVP_LocateFreeActivitySubtask();
  EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(900)) << "the free-subtask wait";
  EXPECT_NE(added, busy);
  EXPECT_EQ(subtasks.pool().size(), 2u);
  EXPECT_EQ(subtasks.urls().block()->ActivitySubtasks, 2);
  EXPECT_EQ(ConsoleCommandOnPath::take(), "-s Notify -c ActionStatus Active URL monitoring task limit increased to 2\n");
  ASSERT_EQ(ZEVP_DispatchActivitySubtask(added, page, page->URL, ZEVP_URL_OBJECT_REQUEST, 0, 0, 0), 1);

  // The end comes to each subtask after the request in hand.
  TraceCapture trace("*=0x90");
  zevp::EndActivitySubtasks(subtasks.urls().block());
  EXPECT_TRUE(subtasks.pool().empty());
  EXPECT_EQ(trace.count("ended. Thread:"), 2);
  EXPECT_EQ(trace.count("Freeing URLactivityTaskBlock @"), 2);
}

}  // namespace
