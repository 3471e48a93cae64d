// Stopping URL monitoring owner by owner: by the end of a situation, every URL the
// situation owns; by a URL remove request, one user's URL. (The removal rows that
// go to the agent meanwhile are shown in internet_application_test.)
#include "url_monitoring_stop.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "trace_capture.h"
#include "url_management.h"
#include "url_management_fixture.h"

namespace {

std::vector<std::string> URLsOf(const URLmanagement& urls) {
  std::vector<std::string> listed;
  for (const URLrequestEntry* entry : urls.entries()) listed.push_back(entry->URL);
  return listed;
}

TEST(URLmonitoringStopTest, TheEndOfASituationRemovesItFromEveryURLByItsNameOrItsNameInUpperCase) {
  struct Case {
    const char* stored;
    const char* requested;
    bool removed;
  } cases[] = {
      {"S", "S", true},        {"SIT1", "Sit1", true},  {"Sit1", "Sit1", true},
      {"Sit1", "SIT1", false}, {"sit1", "Sit1", false}, {"Sit1", "Sit10", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.stored) + " stopped as " + c.requested);
    URLmanagement urls;
    urls.add("http://h/one", c.stored);
    urls.add("http://h/other", "T");
    urls.add("http://h/two", c.stored);
    TraceCapture trace("*=0x90");
    ZEVP_StopSitHTTPrequest(urls.anchor(), c.requested);
    const std::vector<std::string> all = {"http://h/one", "http://h/other", "http://h/two"};
    EXPECT_EQ(URLsOf(urls), c.removed ? std::vector<std::string>{"http://h/other"} : all);
    EXPECT_EQ(urls.block()->ManagedURLCount, c.removed ? 1 : 3);
    EXPECT_EQ(trace.count("removed from list of monitored URLs"), c.removed ? 2 : 0);
    EXPECT_EQ(trace.count("Comparing requested OwnerName <" + std::string(c.requested) + "> against OwnerName <"), 3);
    if (c.removed) {
      EXPECT_TRUE(trace.contains("Total managed URLs decreased from 3 to 2"));
      EXPECT_TRUE(trace.contains("Total managed URLs decreased from 2 to 1"));
    }
  }
}

TEST(URLmonitoringStopTest, ARemoveRequestTakesOnlyTheRequestingUsersURL) {
  struct Case {
    const char* what;
    const char* url;
    const char* user;
    int result;
    std::vector<std::string> left;
    const char* trace;
  } cases[] = {
      {"URL and user in other letter cases", "HTTP://H/ONE", "ann", 1, {"http://h/two"},
       "URL <http://h/one> Owner <Ann> removed from list of monitored URLs"},
      {"another user's URL", "http://h/one", "bob", 0, {"http://h/one", "http://h/two"},
       "Unable to remove URL <http://h/one>. URL's owning user ID <Ann> does not match requesting user ID <bob>"},
      {"a URL not monitored", "http://h/three", "Ann", 0, {"http://h/one", "http://h/two"},
       "Comparing requested URL <http://h/three> against URL <http://h/two>"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    URLmanagement urls;
    urls.add("http://h/one", "Ann");
    urls.add("http://h/two", "Ann");
    TraceCapture trace("*=0x90");
    EXPECT_EQ(ZEVP_StopActionURLrequest(urls.anchor(), c.url, c.user), c.result);
    EXPECT_EQ(URLsOf(urls), c.left);
    EXPECT_TRUE(trace.contains(c.trace)) << trace.take();
  }
}

TEST(URLmonitoringStopTest, WithoutABlockTheRequestsOnlyTrace) {
  BareAnchor anchor;
  TraceCapture trace("*=0x90");
  ZEVP_StopSitHTTPrequest(anchor.get(), "S");
  EXPECT_EQ(ZEVP_StopActionURLrequest(anchor.get(), "http://h/", "u"), 0);
  EXPECT_TRUE(trace.contains("Unable to perform Stop Situation request for Owner <S>. URLmanagementBlock not available."));
  EXPECT_TRUE(
      trace.contains("Unable to perform Stop Action request for URL <http://h/>. URLmanagementBlock not available."));
}

}  // namespace
