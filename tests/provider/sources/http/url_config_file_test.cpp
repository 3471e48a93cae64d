// The URL configuration file: the URLs its lines give when the HTTP data provider
// starts, and the file its manager rewrites from the URL list, which reads back to
// the same URLs.
#include "url_config_file.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <string>
#include <vector>

#include "trace_capture.h"
#include "url_management.h"
#include "url_management_fixture.h"
#include "zev0/storage.h"
#include "zev0/text.h"

namespace {

// An entry as the file keeps it: URL, interval, cache percent, first owner, alias.
std::string Kept(const URLrequestEntry* entry) {
  return std::string(entry->URL) + " " + std::to_string(entry->StatusInterval) + " " +
         std::to_string(entry->CachePercent) + " " + entry->Owners->User + " [" + entry->Owners->Alias + "]";
}

std::vector<std::string> KeptEntries(const URLmanagement& urls) {
  std::vector<std::string> kept;
  for (const URLrequestEntry* entry : urls.entries()) kept.push_back(Kept(entry));
  return kept;
}

class URLconfigFileTest : public ::testing::Test {
 protected:
  // Points the block at the file of that name in the work directory.
  static void UseFile(URLmanagementBlock* block, const std::string& name) {
    ZEV0_FreeStorage(&block->ConfigFileName);
    block->ConfigFileName = ZEV0_ConstructFullyQualifiedName(nullptr, name.c_str());
  }
  // A block that read the file.
  std::unique_ptr<URLmanagement> read(const std::string& content) {
    work_.write(kName, content);
    auto urls = std::make_unique<URLmanagement>();
    UseFile(urls->block(), kName);
    zevp::ReadURLconfigFile(urls->block());
    return urls;
  }
  void TearDown() override { work_.remove(kName); }

  static constexpr char kName[] = "URLS.TEST";
  const ScratchDirectory& work_ = HTTPworkDirectory();
};

TEST_F(URLconfigFileTest, EveryLineOfAURLAddsItForItsFirstOwner) {
  auto urls = read(
      "* monitored at the shop\r\n"
      "\n"
      "   \r\n"
      "shop.example/index.html INTERVAL=120 USER=ops ALIAS=Front\r\n"
      "HTTP:\\\\shop.example/cart CACHE=40 USER=ann,bob\n"
      " *odd USER= ALIAS=x\n"
      "https://Shop.Example/cart INTERVAL=60 USER=eve\n"
      "shop.example/search?user=guest\n"
      "shop.example/slow INTERVAL=never CACHE=-20\n"
      "last.example");
  EXPECT_EQ(KeptEntries(*urls), (std::vector<std::string>{
                                    "http://shop.example/index.html 120 0 ops [Front]",
                                    "http://shop.example/cart 300 40 ann [    ]",
                                    "http://*odd 300 0 INITCNFG [x]",
                                    "https://Shop.Example/cart 60 0 eve [    ]",
                                    "http://shop.example/search?user=guest 300 0 guest [    ]",
                                    "http://shop.example/slow 300 0 INITCNFG [    ]",
                                    "http://last.example 300 0 INITCNFG [    ]",
                                }));
  for (const URLrequestEntry* entry : urls->entries()) EXPECT_EQ(entry->FromConfigFile, 1) << entry->URL;
}

// The fault: a line longer than the read buffer came as two records, the tail of
// the line read as a URL of its own.
TEST_F(URLconfigFileTest, RegressionALineLongerThan2047CharactersIsSkippedWhole) {
  auto filled = [](const std::string& head, size_t length) { return head + std::string(length - head.size(), 'x'); };
  TraceCapture trace("*=0x90");
  auto urls = read(filled("h/long USER=u ALIAS=", 2040) + " tail/url USER=t\n" +  // 2056 characters
                   filled("h/longest USER=u ALIAS=", 2047) + "\r\n" +           // the most a line holds
                   filled("h/over USER=u ALIAS=", 2048) + "\n" + "h/after\n");
  EXPECT_EQ(KeptEntries(*urls), (std::vector<std::string>{"http://h/longest 300 0 u [xxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxx]",
                                                          "http://h/after 300 0 INITCNFG [    ]"}));
  EXPECT_EQ(trace.count("longer than 2047 characters. Skipped"), 2) << trace.take();
  EXPECT_TRUE(trace.contains("4 URL configuration records processed"));
}

// The fault: a USER= of commas alone gave the line no owner, so its URL was not
// monitored and went from the file at the next rewrite, without a word.
TEST_F(URLconfigFileTest, RegressionAURLWhoseUSERholdsOnlyCommasIsMonitoredAndKept) {
  auto urls = read("h/commas USER=, ALIAS=C\nh/other USER=u\n");
  EXPECT_EQ(KeptEntries(*urls),
            (std::vector<std::string>{"http://h/commas 300 0 INITCNFG [C]", "http://h/other 300 0 u [    ]"}));
  ZEVP_SetURLconfigurationUpdate();
  ZEVP_UpdateURLconfigurationFile(urls->anchor());
  EXPECT_EQ(work_.read(kName),
            "http://h/commas INTERVAL=300 CACHE=0 USER=INITCNFG ALIAS=C\n"
            "http://h/other INTERVAL=300 CACHE=0 USER=u\n");
}

TEST_F(URLconfigFileTest, WithoutTheFileOrItsNameTheListStaysEmpty) {
  URLmanagement urls;
  TraceCapture trace("*=0x90");
  UseFile(urls.block(), "MISSING");
  zevp::ReadURLconfigFile(urls.block());
  EXPECT_TRUE(urls.entries().empty());
  EXPECT_TRUE(trace.contains("URL configuration file " + work_.file("MISSING") +
                             " open failed, ErrorText <No such file or directory>"))
      << trace.take();

  // This program reads no product specification: item ZEVPURLS_FILE_NAME is not set.
  ZEVP_ProcessURLconfigFile(urls.block());
  EXPECT_EQ(urls.block()->ConfigFileName, nullptr);
  EXPECT_TRUE(trace.contains("Loading URL configuration file bypassed"));
  ZEVP_UpdateURLconfigurationFile(urls.anchor());
  EXPECT_TRUE(trace.contains("Update URL configuration file bypassed. No file name defined"));
}

TEST_F(URLconfigFileTest, URLsAddedAtRunTimeAreRewrittenAndReadBackTheSame) {
  std::vector<std::string> added;
  {
    URLmanagement urls;
    UseFile(urls.block(), kName);
    ASSERT_NE(urls.add("http://h/p", "u", 120, "x"), nullptr);
    ASSERT_NE(urls.add("https://shop.example/cart?id=7", "ann", 0, nullptr, 40), nullptr);
    ASSERT_NE(urls.add("http://h/q", "Situation_One", 30, "Front page"), nullptr) << "an alias holding a blank";
    added = KeptEntries(urls);
    ZEVP_SetURLconfigurationUpdate();
    EXPECT_EQ(urls.block()->ConfigurationChanged, 1);
    ZEVP_UpdateURLconfigurationFile(urls.anchor());
  }
  EXPECT_EQ(work_.read(kName),
            "http://h/p INTERVAL=120 CACHE=0 USER=u ALIAS=x\n"
            "https://shop.example/cart?id=7 INTERVAL=300 CACHE=40 USER=ann\n"
            "http://h/q INTERVAL=60 CACHE=0 USER=Situation_One ALIAS=Front page\n");
  auto urls = read(work_.read(kName));
  std::vector<std::string> readBack = KeptEntries(*urls);
  added[2] = "http://h/q 60 0 Situation_One [Front]";  // an alias ends at its first blank
  EXPECT_EQ(readBack, added);
}

// The fault: the rewrite emptied the file first, so a failed or interrupted one
// lost every monitored URL.
TEST_F(URLconfigFileTest, RegressionARewriteThatCannotBeMadeLeavesTheFileAsItWas) {
  auto urls = read("h/kept USER=u\n");
  ASSERT_NE(urls->add("http://h/new"), nullptr);
  ASSERT_EQ(mkdir(work_.file(std::string(kName) + ".new").c_str(), 0700), 0);
  TraceCapture trace("*=0x90");
  ZEVP_UpdateURLconfigurationFile(urls->anchor());
  EXPECT_EQ(work_.read(kName), "h/kept USER=u\n");
  EXPECT_TRUE(trace.contains("***** URL configuration file " + work_.file(kName) + ".new open failed. ErrorText <"));
  rmdir(work_.file(std::string(kName) + ".new").c_str());

  ZEVP_UpdateURLconfigurationFile(urls->anchor());
  EXPECT_EQ(work_.read(kName),
            "http://h/kept INTERVAL=300 CACHE=0 USER=u\nhttp://h/new INTERVAL=300 CACHE=0 USER=u\n");
  struct stat status;
  EXPECT_NE(stat(work_.file(std::string(kName) + ".new").c_str(), &status), 0) << "nothing is left beside it";
}

}  // namespace
