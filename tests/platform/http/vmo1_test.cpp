// The HTTP library against a server of the test on loopback: what a request sends,
// the statuses and descriptions of its outcomes, the header dictionary, the kept
// entity and its bounds.
#include "vmo1.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <cstring>
#include <string>
#include <vector>

#include "free_port.h"
#include "no_name_service.h"
#include "test_http_server.h"

namespace {

// One exchange with the library, as its caller makes it.
struct Outcome {
  int32_t status = -1;
  std::vector<std::pair<int32_t, std::string>> headers;  // code and value, in order
  std::string entity;
  int32_t httpCode = 0;
  std::string text;
};

Outcome Request(const std::string& url, int32_t version = VMO1_HTTP11, int timeLimit = 5,
                const std::vector<VMO1_ExtraHeader>& extra = {}) {
  Outcome outcome;
  VMO1_Client client = nullptr;
  EXPECT_EQ(VMO1_NewClient(&client, version, 0, 0), 0);
  VMO1_Options options;
  EXPECT_EQ(VMO1_ClientOptions(client, VMO1_OPTIONS_SIZE, nullptr, &options), 0);
  options.timeLimit = timeLimit;
  std::strcpy(options.userAgent, "Mozilla/4.0 (compatible; MSIE 5.5; Windows NT 4.0)");
  EXPECT_EQ(VMO1_ClientOptions(client, VMO1_OPTIONS_SIZE, &options, nullptr), 0);
  VMO1_Activity activity = nullptr;
  outcome.status = VMO1_NewActivity(client, &activity, url.data(), static_cast<int32_t>(url.size()), 0,
                                    static_cast<int32_t>(extra.size()), extra.empty() ? nullptr : extra.data());
  if (outcome.status == 0) {
    VMO1_HeaderDictionary* dictionary = nullptr;
    outcome.status = VMO1_RequestActivity(activity, &dictionary);
    for (int32_t i = 0; dictionary != nullptr && i < dictionary->hdiCount; ++i) {
      const VMO1_HeaderInfo& info = dictionary->hdiinfo[i];
      outcome.headers.emplace_back(info.hinCode,
                                   std::string(dictionary->hdiStrCeiling - info.hinStrOffset, info.hinStrLen));
    }
    int32_t length = 0;
    if (outcome.status == 0 && VMO1_OpenEntity(activity, &length, nullptr) == 0) {
      outcome.entity.resize(static_cast<size_t>(length));
      EXPECT_EQ(VMO1_Get(activity, outcome.entity.data(), &length), 0);
      outcome.entity.resize(static_cast<size_t>(length));
    }
  }
  VMO1_StatusDescription description;
  if (VMO1_QueryStatus(VMO1_STATUS_DESCRIPTION_SIZE, &description, outcome.status) == 0) {
    outcome.httpCode = description.httpCode;
    outcome.text.assign(description.text, static_cast<size_t>(description.textLength));
  }
  VMO1_DeleteActivity(activity);
  VMO1_DeleteClient(client);
  return outcome;
}

std::string HeaderOf(const Outcome& outcome, int32_t code) {
  for (const auto& [headerCode, value] : outcome.headers)
    if (headerCode == code) return value;
  return "<none>";
}

class VMO1test : public ::testing::Test {
 protected:
  void SetUp() override {
    for (const char* name : {"http_proxy", "https_proxy", "HTTPS_PROXY", "all_proxy", "ALL_PROXY"}) unsetenv(name);
  }
};

TEST_F(VMO1test, APageIsReadWithItsHeadersAndTheRequestIsTheClientsOwn) {
  TestHTTPServer server([](const HTTPrequest&) {
    return Page(200, "OK", "<html><title>Shop</title></html>", {"Server: Apache/2.4.57 (Debian)", "X-Any: 1"});
  });
  ASSERT_TRUE(server.listening());
  Outcome outcome = Request(server.url("/index.html"));
  EXPECT_EQ(outcome.status, 0);
  EXPECT_EQ(outcome.entity, "<html><title>Shop</title></html>");
  ASSERT_FALSE(outcome.headers.empty());
  EXPECT_EQ(outcome.headers[0], std::make_pair(VMO1_HEADER_STATUS_LINE, std::string("HTTP/1.1 200 OK")));
  EXPECT_EQ(HeaderOf(outcome, VMO1_HEADER_SERVER), "Apache/2.4.57 (Debian)");
  EXPECT_EQ(HeaderOf(outcome, VMO1_HEADER_OTHER), "1");

  Request(server.url("/old"), VMO1_HTTP10);
  std::vector<HTTPrequest> requests = server.requests();
  ASSERT_EQ(requests.size(), 2u);
  EXPECT_EQ(requests[0].method, "GET");
  EXPECT_EQ(requests[0].target, "/index.html");
  EXPECT_EQ(requests[0].version, "HTTP/1.1");
  EXPECT_EQ(requests[0].header("User-Agent"), "Mozilla/4.0 (compatible; MSIE 5.5; Windows NT 4.0)");
  EXPECT_EQ(requests[0].header("Accept-Encoding"), "") << "the entity comes as the server sends it";
  EXPECT_EQ(requests[1].version, "HTTP/1.0");
}

TEST_F(VMO1test, EachReplyGivesItsStatusAndTheDescriptionItsCodeAndReasonPhrase) {
  struct Case {
    const char* what;
    HTTPanswer answer;
    int32_t status;
    int32_t httpCode;
    const char* text;
    int timeLimit = 1;  // seconds
  } cases[] = {
      {"not found", Page(404, "Nope", "gone"), VMO1_HTTP_ERROR_REPLY, 404, "Not Found"},
      {"a server error", Page(500, "Oops", ""), VMO1_HTTP_ERROR_REPLY, 500, "Internal Server Error"},
      {"a code of no phrase", Page(599, "Odd", ""), VMO1_HTTP_ERROR_REPLY, 599, "Server Error"},
      {"moved permanently", Page(301, "Moved", "", {"Location: /new"}), VMO1_MOVED_PERMANENTLY, 301,
       "Moved Permanently"},
      {"found", Page(302, "Found", "", {"Location: http://elsewhere/"}), VMO1_MOVED_TEMPORARILY, 302, "Found"},
      {"a redirection without a location", Page(302, "Found", ""), VMO1_HTTP_ERROR_REPLY, 302, "Found"},
      {"a server's challenge", Page(401, "Unauthorized", "", {"WWW-Authenticate: Basic realm=\"x\""}),
       VMO1_AUTHENTICATION_REQUIRED, 401, "Unauthorized"},
      {"a proxy's challenge", Page(407, "Proxy", "", {"Proxy-Authenticate: Basic realm=\"p\""}),
       VMO1_AUTHENTICATION_REQUIRED, 407, "Proxy Authentication Required"},
      {"no content", Page(204, "No Content", ""), VMO1_OK, 0, "OK"},
      {"a garbage status line", HTTPanswer{"GARBAGE\r\n\r\n"}, VMO1_REPLY_NOT_UNDERSTOOD, 0,
       "server reply not understood"},
      {"a dropped connection", HTTPanswer{}, VMO1_CONNECTION_ABANDONED, 0, "client connection has been lost"},
      {"closed mid-answer", HTTPanswer{"HTTP/1.1 200 OK\r\nContent-Length: 1000\r\n\r\npartial"},
       VMO1_CONNECTION_ABANDONED, 0, "client connection has been lost"},
      {"an answer slower than the time limit", HTTPanswer{Page(200, "OK", "late").bytes, 0, 3000},
       VMO1_CONNECTION_ABANDONED, 0, "client connection has been lost"},
      // No time limit: on a slow machine the limit's bytes may take longer than any
      // limit would, and the size alone is to end it. The server closes after one byte
      // past the limit, so a library that took it all would end too, with OK.
      {"an endless answer", HTTPanswer{"HTTP/1.1 200 OK\r\n\r\n", VMO1_ENTITY_LIMIT + 1}, VMO1_ENTITY_TOO_LARGE, 0,
       "entity larger than the library takes", 0},
      {"a length past the limit", HTTPanswer{"HTTP/1.1 200 OK\r\nContent-Length: 99999999\r\n\r\n"},
       VMO1_ENTITY_TOO_LARGE, 0, "entity larger than the library takes"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    TestHTTPServer server([&c](const HTTPrequest&) { return c.answer; });
    Outcome outcome = Request(server.url("/"), VMO1_HTTP11, c.timeLimit);
    EXPECT_EQ(outcome.status, c.status);
    EXPECT_EQ(outcome.httpCode, c.httpCode);
    EXPECT_EQ(outcome.text, c.text);
    if (c.status != 0) {
      EXPECT_TRUE(outcome.entity.empty());
    }
  }
}

TEST_F(VMO1test, OnlyHttpAndHttpsAreSpokenAndAHostWithoutAnAddressIsNotARecognizedAuthority) {
  NoNameService names{"localhost"};
  const unsigned short closed = FreeLoopbackPort();
  struct Case {
    std::string url;
    int32_t status;
    const char* text;
  } cases[] = {
      {"file:///etc/passwd", VMO1_SCHEME_NOT_SUPPORTED, "URI scheme is not supported"},
      {"ftp://127.0.0.1/", VMO1_SCHEME_NOT_SUPPORTED, "URI scheme is not supported"},
      {"http:/", VMO1_INVALID_URI, "URI is not valid"},
      {"http://unknown.host.test/", VMO1_UNKNOWN_AUTHORITY, "URI authority is not a recognized network address"},
      {"http://127.0.0.1:" + std::to_string(closed) + "/", VMO1_CONNECTION_ABANDONED,
       "client connection has been lost"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.url);
    Outcome outcome = Request(c.url);
    EXPECT_EQ(outcome.status, c.status);
    EXPECT_EQ(outcome.text, c.text);
  }
}

// The authorization header goes to a proxy as Proxy-Authorization; without a proxy
// it goes nowhere.
TEST_F(VMO1test, TheAuthorizationHeaderGoesToAProxyOnly) {
  TestHTTPServer proxy([](const HTTPrequest&) { return Page(200, "OK", "through the proxy"); });
  TestHTTPServer server([](const HTTPrequest&) { return Page(200, "OK", "direct"); });
  const std::string credentials = "Basic dXNlcjpwYXNz";
  const VMO1_ExtraHeader authorization{VMO1_HEADER_AUTHORIZATION, static_cast<int32_t>(credentials.size()),
                                       credentials.c_str()};

  EXPECT_EQ(Request(server.url("/page"), VMO1_HTTP11, 5, {authorization}).entity, "direct");
  ASSERT_EQ(server.requests().size(), 1u);
  EXPECT_EQ(server.requests()[0].header("Proxy-Authorization"), "");
  EXPECT_EQ(server.requests()[0].header("Authorization"), "");

  setenv("http_proxy", proxy.url("").c_str(), 1);
  Outcome outcome = Request(server.url("/page"), VMO1_HTTP11, 5, {authorization});
  unsetenv("http_proxy");
  EXPECT_EQ(outcome.entity, "through the proxy");
  ASSERT_EQ(proxy.requests().size(), 1u);
  EXPECT_EQ(proxy.requests()[0].target, server.url("/page"));
  EXPECT_EQ(proxy.requests()[0].header("Proxy-Authorization"), credentials);
  EXPECT_EQ(proxy.requests()[0].header("Authorization"), "");
}

TEST_F(VMO1test, TheEntityIsCopiedFromItsStartAndNeverPastTheLengthPassed) {
  TestHTTPServer server([](const HTTPrequest&) { return Page(200, "OK", "0123456789"); });
  VMO1_Activity activity = nullptr;
  const std::string url = server.url("/");
  ASSERT_EQ(VMO1_NewActivity(nullptr, &activity, url.c_str(), static_cast<int32_t>(url.size()), 0, 0, nullptr), 0)
      << "the default client";
  int32_t length = 0;
  EXPECT_EQ(VMO1_OpenEntity(activity, &length, nullptr), VMO1_NO_ENTITY) << "before the request";
  ASSERT_EQ(VMO1_RequestActivity(activity, nullptr), 0);
  int32_t information = -1;
  ASSERT_EQ(VMO1_OpenEntity(activity, &length, &information), 0);
  EXPECT_EQ(length, 10);
  EXPECT_EQ(information, 0);
  char buffer[8] = {'-', '-', '-', '-', '-', '-', '-', '-'};
  length = 4;
  ASSERT_EQ(VMO1_Get(activity, buffer, &length), 0);
  EXPECT_EQ(length, 4);
  EXPECT_EQ(std::string(buffer, 8), "0123----");
  length = 8;
  ASSERT_EQ(VMO1_Get(activity, buffer, &length), 0);
  EXPECT_EQ(std::string(buffer, 8), "01234567") << "each read starts at the entity's start";
  VMO1_DeleteActivity(activity);
}

TEST_F(VMO1test, CallsWithoutWhatTheyNeedAreRefused) {
  VMO1_Client client = nullptr;
  EXPECT_EQ(VMO1_NewClient(&client, 3, 0, 0), VMO1_INVALID_ARGUMENT);
  EXPECT_EQ(client, nullptr);
  VMO1_Options options{};
  EXPECT_EQ(VMO1_ClientOptions(nullptr, VMO1_OPTIONS_SIZE, &options, nullptr), VMO1_INVALID_ARGUMENT)
      << "the default client's options stay";
  EXPECT_EQ(VMO1_ClientOptions(nullptr, 12, nullptr, &options), VMO1_INVALID_ARGUMENT);
  VMO1_Activity activity = nullptr;
  EXPECT_EQ(VMO1_NewActivity(nullptr, &activity, nullptr, 4, 0, 0, nullptr), VMO1_INVALID_URI);
  EXPECT_EQ(VMO1_RequestActivity(nullptr, nullptr), VMO1_INVALID_ARGUMENT);
  VMO1_StatusDescription description;
  EXPECT_EQ(VMO1_QueryStatus(VMO1_STATUS_DESCRIPTION_SIZE, &description, 12345), VMO1_INVALID_ARGUMENT);
  EXPECT_EQ(VMO1_QueryStatus(8, &description, 0), VMO1_INVALID_ARGUMENT);
}

}  // namespace
