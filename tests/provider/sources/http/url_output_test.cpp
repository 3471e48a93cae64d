// Response times and the URL output files: the samples of a URL's ring with their
// maximum and average, the statistics file byte for byte, the page and object
// files in the directory of their web host, and host parts that name none.
#include "url_output.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstring>
#include <string>
#include <vector>

#include "trace_capture.h"
#include "url_management_fixture.h"
#include "zev0/storage.h"
#include "zev0/timestamp.h"

namespace {

BSV1_Time At(int64_t seconds, int32_t milliseconds) { return BSV1_Time{seconds, milliseconds * 1000000}; }

// The sample from start to end, stored as the DCH update stores it: at the
// current index, which then moves on.
void Sample(URLrequestEntry* entry, BSV1_Time start, BSV1_Time end) {
  ZEVP_CalculateURLresponseTime(&start, &end, entry);
  entry->CurrentSampleIndex = (entry->CurrentSampleIndex + 1) % entry->SampleSetSize;
}

TEST(URLoutputTest, ResponseTimesKeepTheMaximumAndAverageOfTheSampleSet) {
  URLmanagement urls(Settings{{"ZEVP_URL_DATASET_PERIOD", "1200"}});
  URLrequestEntry* entry = urls.add("http://h/", "u", 300);  // a set of 4
  ASSERT_EQ(entry->SampleSetSize, 4);
  struct Step {
    int milliseconds;
    int maximum, total, average, taken;
  } steps[] = {
      {100, 100, 100, 100, 1}, {300, 300, 400, 200, 2}, {200, 300, 600, 200, 3},
      {400, 400, 1000, 250, 4}, {50, 400, 950, 237, 5},  // the fifth overwrites the first
  };
  for (const Step& step : steps) {
    SCOPED_TRACE(step.milliseconds);
    const int32_t slot = entry->CurrentSampleIndex;
    Sample(entry, At(1000, 0), At(1000, step.milliseconds));
    EXPECT_EQ(entry->CurrentRespTimeArray[slot], step.milliseconds);
    EXPECT_EQ(entry->MaxRespTime, step.maximum);
    EXPECT_EQ(entry->TotalRespTime, step.total);
    EXPECT_EQ(entry->AvgRespTime, step.average);
    EXPECT_EQ(entry->SamplesTaken, step.taken);
  }
  const int32_t slot = entry->CurrentSampleIndex;
  Sample(entry, At(1000, 900), At(1001, 100));
  EXPECT_EQ(entry->CurrentRespTimeArray[slot], 200) << "nanoseconds below the start's borrow a second";
}

std::string TimeText(int64_t seconds) {
  time_t time = static_cast<time_t>(seconds);
  char stamp[ZEV0_PLOVEN_TIME_BLOCK_SIZE] = {};
  char text[32] = {};
  ZEV0_ConvertTimeToPlovenTime(&time, stamp);
  ZEV0_PlovenTimeToString(stamp, text);
  return std::string(text).substr(0, 20) + "000";  // the first stamp of its second
}

TEST(URLoutputTest, TheStatisticsFileHasAHeaderAndALinePerURL) {
  ScratchDirectory output("zev_url_stats");
  URLmanagement urls({{"ZEVP_URL_OUTPUT_STAT", "Y"}, {"ZEVP_URL_OUTPUT_DIR", output.path()}});
  URLrequestEntry* shop = urls.add("http://shop.example/", "ops", 120, "Front");
  URLrequestEntry* gone = urls.add("http://gone.example/", "ann", 0);
  const int64_t first = 1700000003;
  const int64_t second = 1700000107;
  std::strcpy(shop->PageTitle, "Shop, Books, and more: the finest books on the whole web, and then some more");
  shop->PageLength = 2048;
  shop->PageObjectCount = 3;
  shop->TotalObjectSize = 900;
  Sample(shop, At(1, 0), At(1, 120));
  Sample(shop, At(1, 0), At(1, 80));
  std::strcpy(shop->ServerType, "Apache/2.4.57");
  shop->ServerTypeLength = 13;
  shop->LastCheckTime = first;
  gone->HTTP11 = 0;
  gone->RequestStatus = 0x7C4C801C;
  gone->RequestDescription = URLstatusDescription{404, 9, "Not Found"};
  std::strcpy(gone->PageTitle, "No page title available");
  gone->LastCheckTime = second;

  TraceCapture trace("*=0x90");
  ZEVP_OutputURLstat(urls.block());
  EXPECT_EQ(output.read("URLSTATS.csv"),
            "URL,URL_Alias,Page_Title,Page_Size,Page_Objects,Total_Object_Size,Total_Samples_Taken,Status_Interval,"
            "Current_Response_Time (ms),Average_Response_Time (ms),Maximum_Response_Time (ms),HTTP_Version,"
            "Server_Type,Status,Status_Timestamp\n"
            "http://shop.example/,Front,Shop  Books  and more: the finest books on the whole web  and th,2048,3,900,"
            "2,120,80,100,120,1.1,Apache/2.4.57,OK," +
                TimeText(first) +
                "\n"
                "http://gone.example/,    ,No page title available,0,0,0,0,300,0,0,0,1.0, ,Not Found," +
                TimeText(second) + "\n");
  EXPECT_STREQ(shop->PageTitle, "Shop  Books  and more: the finest books on the whole web  and th")
      << "the entry keeps the title as written";
  EXPECT_TRUE(trace.contains("2 URL statistic records written to file " + output.file("URLSTATS.csv")));

  urls.block()->OutputStat = 0;
  output.remove("URLSTATS.csv");
  ZEVP_OutputURLstat(urls.block());
  EXPECT_EQ(output.read("URLSTATS.csv"), "") << "off: no file";
}

TEST(URLoutputTest, PageAndObjectFilesGoToTheDirectoryOfTheirHost) {
  ScratchDirectory output("zev_url_pages");
  URLmanagement urls(Settings{{"ZEVP_URL_OUTPUT_DIR", output.path()}});
  URLrequestEntry* entry = urls.add("http://shop.example/books/", "u");
  entry->PageBuffer = static_cast<char*>(ZEV0_GetStorage(64));
  entry->PageBufferSize = 60;
  std::memset(entry->PageBuffer, 0, 64);
  std::strcpy(entry->PageBuffer, "<html>books</html>");
  ZEVP_OutputURLpage(urls.block(), entry);
  ZEV0_FreeStorage(&entry->PageBuffer);
  EXPECT_STREQ(entry->OutputDirectory, (output.path() + "shop.example/").c_str());
  EXPECT_EQ(output.read("shop.example/shop.example-books-.html"), "<html>books</html>");

  ZEVP_OutputURLobject(entry, "http://shop.example/img/cover.jpg", "JPEG\0data", 9);
  EXPECT_EQ(output.read("shop.example/cover.jpg"), std::string("JPEG\0data", 9));
  TraceCapture trace("*=0x90");
  ZEVP_OutputURLobject(entry, "http://shop/img/cover", "x", 1);
  EXPECT_TRUE(trace.contains("has no base name: no object file"));
}

// The fault: the directory was made by "mkdir" and the URL's host part through the
// shell, so a host part could run a command or climb out of the output directory.
TEST(URLoutputTest, RegressionAHostileHostPartMakesAndRunsNothing) {
  ScratchDirectory output("zev_url_hostile");
  const std::string marker = output.file("ran");
  URLmanagement urls(Settings{{"ZEVP_URL_OUTPUT_DIR", output.path() + "out"}});
  ASSERT_EQ(mkdir((output.path() + "out").c_str(), 0755), 0);
  for (const std::string& url : {"http://x;touch " + marker + "/", "http://$(touch " + marker + ")/",
                                 std::string("http://../"), std::string("http:///page")}) {
    SCOPED_TRACE(url);
    URLrequestEntry* entry = urls.add(url, "u");
    if (entry == nullptr) continue;
    TraceCapture trace("*=0x90");
    EXPECT_EQ(ZEVP_CreateURLoutputDir(urls.block(), entry), 0);
    ZEVP_OutputURLobject(entry, "http://h/logo.gif", "x", 1);
    EXPECT_EQ(entry->OutputDirectory, nullptr);
    EXPECT_TRUE(trace.contains("names no output directory"));
  }
  struct stat status;
  EXPECT_NE(stat(marker.c_str(), &status), 0) << "no command ran";
  EXPECT_EQ(output.read("logo.gif"), "");
}

}  // namespace
