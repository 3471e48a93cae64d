// The URL management block made from its settings, and the monitored URLs added
// to it: their sample sets, cache percents and owners, the ISP name, and the
// entries found, held and freed.
#include "url_management.h"

#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "dp_anchor.h"
#include "trace_capture.h"
#include "url_management_fixture.h"
#include "url_monitoring_stop.h"

namespace {

TEST(URLmanagementTest, TheBlockTakesItsSettingsAndFallsBackWhereTheyWouldDivideByZero) {
  struct Case {
    const char* what;
    Settings settings;
    int period, minSamples, defaultInterval, perClientTask;
    const char* trace;
  } cases[] = {
      {"the defaults", {}, 900, 3, 300, 250, nullptr},
      {"a longer period with more samples", {{"ZEVP_URL_DATASET_PERIOD", "3600"}, {"ZEVP_URL_DATASET_MIN_SAMPLES", "6"}},
       3600, 6, 600, 250, nullptr},
      {"no minimum samples", {{"ZEVP_URL_DATASET_MIN_SAMPLES", "0"}}, 900, 3, 300, 250,
       "*****URL sample set period 900 with minimum samples 0 invalid. Defaults 900 and 3 used"},
      {"a period below the samples", {{"ZEVP_URL_DATASET_PERIOD", "2"}}, 900, 3, 300, 250,
       "*****URL sample set period 2 with minimum samples 3 invalid. Defaults 900 and 3 used"},
      {"a negative period", {{"ZEVP_URL_DATASET_PERIOD", "-900"}}, 900, 3, 300, 250, "Defaults 900 and 3 used"},
      {"no URLs per client task", {{"ZEVP_URL_PER_CLIENT_TASK", "0"}}, 900, 3, 300, 250,
       "*****URLs per HTTP client task 0 invalid. Default 250 used"},
      {"URLs per client task", {{"ZEVP_URL_PER_CLIENT_TASK", "40"}}, 900, 3, 300, 40, nullptr},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    TraceCapture trace("*=0x90");
    URLmanagement urls(c.settings);
    ASSERT_NE(urls.block(), nullptr);
    EXPECT_EQ(urls.block()->SampleSetPeriod, c.period);
    EXPECT_EQ(urls.block()->MinSetSamples, c.minSamples);
    EXPECT_EQ(urls.block()->DefaultSampleInterval, c.defaultInterval);
    EXPECT_EQ(urls.block()->URLsPerClientTask, c.perClientTask);
    if (c.trace != nullptr) {
      EXPECT_TRUE(trace.contains(c.trace)) << trace.take();
    }
  }
}

TEST(URLmanagementTest, SwitchesOutputNamesAndProxyCredentialsComeFromTheirSettings) {
  {
    URLmanagement urls;
    URLmanagementBlock* block = urls.block();
    EXPECT_EQ(block->Debug, 0);
    EXPECT_EQ(block->MaxReplyWait, 45);
    EXPECT_EQ(block->MaxFreeSubtaskWait, 120);
    EXPECT_EQ(block->ActivitySubtasks, 3);
    EXPECT_EQ(block->PageObjectsReport, 1);
    EXPECT_EQ(block->OutputStat + block->OutputHTML + block->OutputContent, 0);
    EXPECT_EQ(block->OutputDirectory, nullptr);
    EXPECT_EQ(std::string(block->StatisticsFileName), HTTPworkDirectory().file("URLSTATS.csv"));
    EXPECT_EQ(block->ProxyUser, nullptr);
    EXPECT_EQ(block->ProxyPassword, nullptr);
    EXPECT_EQ(block->Anchor, urls.anchor());
    EXPECT_EQ(zevp::CurrentURLmanagement(), block);
  }
  EXPECT_EQ(zevp::CurrentURLmanagement(), nullptr) << "the release clears the process's reference";

  URLmanagement urls({{"ZEVP_HTTP_DEBUG", "yes"},
                      {"ZEVP_URL_MAX_REPLY_WAIT", "2"},
                      {"ZEVP_URL_MAX_FREE_SUBTASK_WAIT", "1"},
                      {"ZEVP_URL_INIT_TASKS", "1"},
                      {"ZEVP_URL_PAGE_OBJECTS_REPORT", "No"},
                      {"ZEVP_URL_OUTPUT_STAT", "Y"},
                      {"ZEVP_URL_OUTPUT_HTML", "y"},
                      {"ZEVP_URL_OUTPUT_CONTENT", "n"},
                      {"ZEVP_URL_OUTPUT_DIR", "/srv/urls"},
                      {"ZEVP_HTTP_PROXY_USERID", "proxyman"},
                      {"ZEVP_HTTP_PROXY_PASSWORD", "secret"}});
  URLmanagementBlock* block = urls.block();
  EXPECT_EQ(block->Debug, 1);
  EXPECT_EQ(block->MaxReplyWait, 2);
  EXPECT_EQ(block->MaxFreeSubtaskWait, 1);
  EXPECT_EQ(block->ActivitySubtasks, 1);
  EXPECT_EQ(block->PageObjectsReport, 0);
  EXPECT_EQ(block->OutputStat, 1);
  EXPECT_EQ(block->OutputHTML, 1);
  EXPECT_EQ(block->OutputContent, 0);
  EXPECT_STREQ(block->OutputDirectory, "/srv/urls/");
  EXPECT_STREQ(block->StatisticsFileName, "/srv/urls/URLSTATS.csv");
  EXPECT_STREQ(block->ProxyUser, "proxyman");
  EXPECT_STREQ(block->ProxyPassword, "secret");
}

TEST(URLmanagementTest, TheISPnameComesFromItsSettingOrTheFirstWordOfTheISPfile) {
  const ScratchDirectory& work = HTTPworkDirectory();
  struct Case {
    const char* what;
    Settings settings;
    const char* file;  // ISP.ID; null: none
    std::string name;
    const char* trace;
  } cases[] = {
      {"a setting of 70 characters", {{"ZEVP_URL_ISP_NAME", std::string(70, 'n')}}, "Ignored\n", std::string(64, 'n'),
       "ISP name from parm is"},
      {"a word and a comment", {}, "  Speedy   our provider since 1999\n", "Speedy", nullptr},
      {"a name that ends the line", {}, "Speedy\r\n", "Speedy", nullptr},
      {"an empty file", {}, "", "LAN", "ISP file is empty"},
      {"a line of blanks", {}, "      \n", "LAN", "ISP file is empty"},
      {"no file", {}, nullptr, "LAN", "HTTP Data Provider ISP file " },
      {"a file of another name", {{"ZEVP_URL_ISP_FILE_NAME", "PROVIDER"}}, nullptr, "Other", nullptr},
  };
  work.write("PROVIDER", "Other\n");
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    if (c.file != nullptr)
      work.write("ISP.ID", c.file);
    else
      work.remove("ISP.ID");
    TraceCapture trace("*=0x90");
    URLmanagement urls(c.settings);
    EXPECT_EQ(std::string(urls.block()->ISPname, urls.block()->ISPnameLength), c.name);
    EXPECT_STREQ(urls.block()->ISPname, c.name.c_str());
    if (c.trace != nullptr) {
      EXPECT_TRUE(trace.contains(c.trace)) << trace.take();
    }
  }
  work.remove("ISP.ID");
  work.remove("PROVIDER");
}

// What an added URL's entry holds, from the interval, cache percent, user and
// alias of its request.
TEST(URLmanagementTest, AnAddedURLGetsItsSampleSetCachePercentAndFirstOwner) {
  const std::string longName(40, 'w');
  struct Case {
    const char* what;
    Settings settings;
    int interval;
    int cachePercent;
    std::string user;
    const char* alias;
    int statusInterval, sampleSetSize, storedCache;
    std::string storedUser, storedAlias;
  } cases[] = {
      {"interval 0: the default", {}, 0, 0, "u", nullptr, 300, 3, 0, "u", "    "},
      {"interval 30: at least a minute", {}, 30, 0, "u", nullptr, 60, 15, 0, "u", "    "},
      {"interval 120", {}, 120, 0, "u", "Shop", 120, 7, 0, "u", "Shop"},
      {"interval 1000: at most the default", {}, 1000, 0, "u", nullptr, 300, 3, 0, "u", "    "},
      {"a period of 3600 with 6 samples", {{"ZEVP_URL_DATASET_PERIOD", "3600"}, {"ZEVP_URL_DATASET_MIN_SAMPLES", "6"}},
       900, 0, "u", nullptr, 600, 6, 0, "u", "    "},
      {"a default interval below a minute", {{"ZEVP_URL_DATASET_MIN_SAMPLES", "20"}}, 0, 0, "u", nullptr, 45, 20, 0,
       "u", "    "},
      {"cache 150", {}, 0, 150, "u", nullptr, 300, 3, 0, "u", "    "},
      {"cache -1", {}, 0, -1, "u", nullptr, 300, 3, 0, "u", "    "},
      {"cache 100", {}, 0, 100, "u", nullptr, 300, 3, 100, "u", "    "},
      {"a user and an alias of 40 characters", {}, 0, 0, longName, longName.c_str(), 300, 3, 0, longName.substr(0, 32),
       longName.substr(0, 32)},
      {"a user and an alias holding line ends", {}, 0, 0, "ops\nhttp://forged", "Shop\r\nx", 300, 3, 0, "ops", "Shop"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    URLmanagement urls(c.settings);
    int already = -1;
    URLrequestEntry* entry = urls.add("http://host/page", c.user, c.interval, c.alias, c.cachePercent, &already);
    ASSERT_NE(entry, nullptr);
    EXPECT_EQ(already, 0);
    EXPECT_EQ(urls.entries(), std::vector<URLrequestEntry*>{entry});
    EXPECT_EQ(urls.block()->ManagedURLCount, 1);
    EXPECT_STREQ(entry->URL, "http://host/page");
    EXPECT_EQ(entry->URLlength, 16);
    EXPECT_EQ(entry->StatusInterval, c.statusInterval);
    EXPECT_EQ(entry->SampleSetSize, c.sampleSetSize);
    EXPECT_EQ(entry->CachePercent, c.storedCache);
    ASSERT_NE(entry->Owners, nullptr);
    EXPECT_EQ(entry->Owners->next, nullptr);
    EXPECT_EQ(entry->Owners->User, c.storedUser);
    EXPECT_EQ(entry->Owners->UserLength, static_cast<int32_t>(c.storedUser.size()));
    EXPECT_EQ(entry->Owners->Alias, c.storedAlias);
    EXPECT_EQ(entry->Owners->AliasLength, static_cast<int32_t>(c.storedAlias.size()));
    EXPECT_EQ(entry->OwnerCount, 1);
    EXPECT_EQ(entry->NextCheckTime, 0) << "due at once";
    EXPECT_EQ(entry->ObjectCycleCountdown, 1);
    EXPECT_EQ(entry->PageOutputCountdown, 2);
    EXPECT_EQ(entry->HTTP11, 1);
    EXPECT_EQ(entry->FromConfigFile, 0);
    EXPECT_EQ(std::vector<int32_t>(entry->CurrentRespTimeArray, entry->CurrentRespTimeArray + entry->SampleSetSize),
              std::vector<int32_t>(static_cast<size_t>(c.sampleSetSize), 0));
  }
}

TEST(URLmanagementTest, AURLMonitoredAlreadyOrRefusedAddsNothing) {
  URLmanagement urls;
  URLrequestEntry* first = urls.add("http://Host/A", "ann");
  ASSERT_NE(first, nullptr);
  const std::string longest = "http://h/" + std::string(1027 - 9, 'p');
  struct Case {
    const char* what;
    std::string url;
    int alreadyMonitored;
    const char* trace;
  } cases[] = {
      {"the same URL in other letter case", "HTTP://host/a", 1,
       "Input URL <HTTP://host/a> already being monitored with status interval: 300 seconds"},
      {"1028 characters", longest + "x", 0, "URE allocation failed. URL size: 1028 URL {"},
      {"a line end", "http://h/a\nhttp://forged", 0, "URE allocation refused. URL holds a control character"},
      {"a tab", "http://h/\ta", 0, "URE allocation refused"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    TraceCapture trace("*=0x90");
    int already = -1;
    EXPECT_EQ(urls.add(c.url, "bob", 60, nullptr, 0, &already), nullptr);
    EXPECT_EQ(already, c.alreadyMonitored);
    EXPECT_EQ(urls.entries(), std::vector<URLrequestEntry*>{first});
    EXPECT_EQ(urls.block()->ManagedURLCount, 1);
    EXPECT_TRUE(trace.contains(c.trace)) << trace.take();
  }
  EXPECT_STREQ(first->Owners->User, "ann") << "a requester of a monitored URL is not added as its owner";
  EXPECT_EQ(first->Owners->next, nullptr);

  TraceCapture trace("*=0x90");
  EXPECT_EQ(ZEVP_AllocateHTTPrequestBlock(urls.anchor(), nullptr, nullptr, 0, "u", 0, nullptr), nullptr);
  EXPECT_EQ(ZEVP_AllocateHTTPrequestBlock(nullptr, "http://h/b", nullptr, 0, "u", 0, nullptr), nullptr);
  EXPECT_EQ(trace.count("URE allocation bypassed. Input invalid."), 2);
  ASSERT_NE(urls.add(longest), nullptr) << "1027 characters are taken";
  EXPECT_EQ(urls.block()->ManagedURLCount, 2);

  BareAnchor withoutBlock;
  EXPECT_EQ(ZEVP_AllocateHTTPrequestBlock(withoutBlock.get(), "http://h/c", nullptr, 0, "u", 0, nullptr), nullptr);
  EXPECT_TRUE(trace.contains("Unable to allocate new URE.  URLmanagementBlock not available."));
}

// The fault: the look for a monitored URL and the append were two holds of the
// list lock, so two requesters of one URL could both add it.
TEST(URLmanagementTest, RegressionTwoRequestersOfOneURLAtOnceLeaveOneEntry) {
  URLmanagement urls;
  constexpr int kRounds = 200;
  for (int round = 0; round < kRounds; ++round) {
    const std::string url = "http://host/" + std::to_string(round);
    std::atomic<int> ready{0};
    URLrequestEntry* added[2] = {};
    auto request = [&](int which) {
      ++ready;
      while (ready.load() < 2) {
      }
      added[which] = urls.add(which == 0 ? url : "HTTP://HOST/" + std::to_string(round), which == 0 ? "a" : "b");
    };
    std::thread first(request, 0), second(request, 1);
    first.join();
    second.join();
    EXPECT_TRUE((added[0] == nullptr) != (added[1] == nullptr)) << "round " << round;
  }
  EXPECT_EQ(urls.entries().size(), static_cast<size_t>(kRounds));
  EXPECT_EQ(urls.block()->ManagedURLCount, kRounds);
}

TEST(URLmanagementTest, AnEntryIsFoundWhileListedAndADeletedOneIsFreedByItsLastHolder) {
  URLmanagement urls;
  URLrequestEntry* kept = urls.add("http://h/kept");
  URLrequestEntry* gone = urls.add("http://h/gone", "owner");
  ASSERT_NE(gone, nullptr);
  EXPECT_EQ(ZEVP_FindURE(gone), 1);

  std::atomic<int> step{0};
  std::string seen;
  std::thread holder([&] {
    EXPECT_EQ(zevp::HoldURE(gone), 1);
    step = 1;
    while (step.load() != 2) {
    }
    seen = gone->URL;  // still the entry's storage, though deleted meanwhile
    zevp::LetGoURE(gone);
  });
  while (step.load() != 1) {
  }
  TraceCapture trace("*=0x90");
  EXPECT_EQ(ZEVP_StopActionURLrequest(urls.anchor(), "http://h/gone", "owner"), 1);
  EXPECT_EQ(ZEVP_FindURE(gone), 0);
  EXPECT_EQ(zevp::HoldURE(gone), 0) << "a deleted entry cannot be held anew";
  EXPECT_TRUE(trace.contains("still held: freed at its last let-go"));
  step = 2;
  holder.join();
  EXPECT_EQ(seen, "http://h/gone");
  EXPECT_TRUE(trace.contains("Last hold of deleted URE"));

  EXPECT_EQ(zevp::HoldURE(kept), 1);
  zevp::LetGoURE(kept);
  EXPECT_EQ(urls.entries(), std::vector<URLrequestEntry*>{kept}) << "a let-go frees only a deleted entry";

  TraceCapture none("*=0x90");
  EXPECT_EQ(ZEVP_FindURE(nullptr), 0);
  EXPECT_TRUE(none.contains("Unable to locate pURE @"));
}

TEST(URLmanagementTest, DeletingTheEntryUnderTheSharedCursorMovesTheCursorOn) {
  URLmanagement urls;
  URLrequestEntry* a = urls.add("http://h/a", "A");
  URLrequestEntry* b = urls.add("http://h/b", "B");
  URLrequestEntry* c = urls.add("http://h/c", "C");
  urls.block()->CurrentURL = b;
  ZEVP_StopSitHTTPrequest(urls.anchor(), "B");
  EXPECT_EQ(urls.block()->CurrentURL, c);
  urls.block()->CurrentURL = a;
  ZEVP_StopSitHTTPrequest(urls.anchor(), "A");
  EXPECT_EQ(urls.block()->CurrentURL, c) << "the head's successor";
  ZEVP_StopSitHTTPrequest(urls.anchor(), "C");
  EXPECT_EQ(urls.block()->CurrentURL, nullptr) << "past the last entry the walk is complete";
  EXPECT_TRUE(urls.entries().empty());
}

}  // namespace
