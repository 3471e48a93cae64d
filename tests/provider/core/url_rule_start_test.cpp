// A situation's rule on the Managed_URL group starts URL monitoring: its parameters
// name the URLs, each handed to the HTTP side.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "action_entry.h"
#include "action_perform.h"
#include "action_worker.h"
#include "bare_anchor.h"
#include "hand_built_model.h"
#include "model_release.h"
#include "process_entry.h"
#include "routine_overrides.h"
#include "trace_capture.h"
#include "url_rule_start.h"
#include "zev/action_codes.h"

namespace {

std::string Described(const RuleStartParameters& parsed) {
  std::string text = "interval " + std::to_string(parsed.interval);
  for (const RuleStartURL& url : parsed.urls) text += " [" + url.url + (url.hasAlias ? "|" + url.alias : "") + "]";
  return text;
}

TEST(RuleStartTest, TheParametersNameTheURLsWithTheirAliases) {
  struct Case {
    const char* parameters;
    std::string parsed;
  };
  const Case cases[] = {
      {"INTERVAL=60 APPLNAME=Internet ATTRGROUP=Managed_URL ATTRIBUTES=(URL EQ www.example.com)",
       "interval 60 [http://www.example.com]"},
      {"ATTRIBUTES=(URL EQ https://a.example) (URL_Alias EQ home)", "interval 0 [https://a.example| home]"},
      {"ATTRIBUTES=(URL EQ HTTP://UPPER.example)", "interval 0 [HTTP://UPPER.example]"},
      {"INTERVAL=30 ATTRIBUTES=(URL EQ a.example) (URL_Alias EQ one) (URL EQ b.example) (Other EQ x)",
       "interval 30 [http://a.example| one] [http://b.example]"},
      {"ATTRIBUTES=(Status EQ 200) (URL EQ later.example)", "interval 0"},
      {"ATTRIBUTES=(URL)", "interval 0"},
      {"ATTRIBUTES=(URL EQ kept.example) (URL EQ cut.example", "interval 0 [http://kept.example]"},
      {"ATTRIBUTES=(URL EQ open.example", "interval 0"},
      {"INTERVAL=99999999999 ATTRIBUTES=(URL EQ x)", "interval 2147483647 [http://x]"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.parameters);
    RuleStartParameters parsed;
    EXPECT_TRUE(ZEVP_ParseRuleStartParameters(c.parameters, "Sit", &parsed));
    EXPECT_EQ(Described(parsed), c.parsed);
  }
}

TEST(RuleStartTest, ParametersWithoutAttributesStartNothing) {
  TraceCapture trace("*=0x80");
  RuleStartParameters parsed;
  EXPECT_FALSE(ZEVP_ParseRuleStartParameters("INTERVAL=60 (URL EQ x)", "Sit", &parsed));
  EXPECT_FALSE(ZEVP_ParseRuleStartParameters(nullptr, "Sit", &parsed));
  EXPECT_TRUE(trace.contains("*****Error: No action attributes in text string <INTERVAL=60 (URL EQ x)>. RuleStart bypassed"));
}

struct Monitored {
  std::string url;
  std::string alias;
  int interval;
  std::string user;
};
std::vector<Monitored> monitored;

URLrequestEntry* RecordURL(DPAB*, const char* url, const char* alias, int interval, const char* user, int cache,
                           int* alreadyMonitored) {
  EXPECT_EQ(cache, 0);
  EXPECT_EQ(alreadyMonitored, nullptr);
  monitored.push_back({url, alias != nullptr ? alias : "<none>", interval, user});
  return reinterpret_cast<URLrequestEntry*>(&monitored);
}

// A worker's rule action for a source of a group: only Managed_URL of Internet takes it.
class URLruleTest : public ::testing::Test {
 protected:
  URLruleTest() : own_(ZEVP_InitializeProcessEntry(anchor_.get())) {
    overrides_.routines().allocateHTTPrequestBlock = RecordURL;
    monitored.clear();
  }
  ~URLruleTest() override {
    for (ApplicationEntry* application : applications_) ZEVP_ReleaseApplResources(anchor_.get(), application, 1);
    ZEVP_DestroyProcessEntry(own_);
  }

  void addSource(const char* application, const char* group) {
    applications_.push_back(AddApplication(anchor_.get(), application));
    AddSource(anchor_.get(), AddTable(applications_.back(), group), 'B');
  }

  void perform(const char* node, const char* parameters) {
    ActionEntry* entry = ZEVP_AllocateActionEntry(anchor_.get());
    entry->ActionType = ZEV_ACTION_RULE;
    entry->ActionSourceNode = ZEVP_CopyActionText(node, static_cast<uint32_t>(std::strlen(node)));
    entry->ActionOwner = ZEVP_CopyActionText("Web_Sit", 7);
    entry->ActionName = ZEVP_CopyActionText("RULESTART", 9);
    entry->ActionParm = ZEVP_CopyActionText(parameters, static_cast<uint32_t>(std::strlen(parameters)));
    entry->FieldCount = ZEVP_ACTION_FIELDS_REQUIRED;
    ActionWorkerTaskEntry worker{};
    ZEVP_PerformAction(&worker, own_, entry);
  }

  RoutineOverrides overrides_;
  BareAnchor anchor_;
  ProcessEntry* own_;
  std::vector<ApplicationEntry*> applications_;
};

TEST_F(URLruleTest, ARuleOnManagedURLofInternetMonitorsItsURLsForTheSituation) {
  addSource("Internet", "Managed_URL");
  perform("node1:INTERNETMANAGED_URL00", "INTERVAL=120 ATTRIBUTES=(URL EQ www.example.com) (URL_Alias EQ ex)");
  ASSERT_EQ(monitored.size(), 1u);
  EXPECT_EQ(monitored[0].url, "http://www.example.com");
  EXPECT_EQ(monitored[0].alias, " ex");
  EXPECT_EQ(monitored[0].interval, 120);
  EXPECT_EQ(monitored[0].user, "Web_Sit");
}

TEST_F(URLruleTest, ARuleOnAnyOtherGroupDoesNothing) {
  addSource("Internet", "URL_Objects");
  perform("node1:INTERNETURL_OBJECTS00", "ATTRIBUTES=(URL EQ www.example.com)");
  EXPECT_TRUE(monitored.empty());
}

}  // namespace
