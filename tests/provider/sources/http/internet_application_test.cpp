// The HTTP data provider's application Internet against the agent's real DCH
// server: its registration as the agent reports it, and the removal rows that
// reach a parked consumer when URL monitoring stops.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "application_entry.h"
#include "bare_anchor.h"
#include "dch/dch_api.h"
#include "dp_anchor.h"
#include "dp_environment.h"
#include "http_application.h"
#include "internet_road_fixture.h"
#include "process_entry.h"
#include "source_entry.h"
#include "table_entry.h"
#include "trace_capture.h"
#include "url_management.h"
#include "url_management_fixture.h"
#include "url_monitoring_stop.h"
#include "zev/dp_types.h"

namespace {

class InternetApplicationTest : public InternetRoadTest {
 protected:
  int managed() const { return block()->ManagedURLCount; }
  // A removal row's values: the URL first and the owner eleventh, the others empty.
  static std::vector<std::string> RemovalRow(const std::string& url, const std::string& owner) {
    std::vector<std::string> values(17);
    values[kURL] = url;
    values[kUserName] = owner;
    return values;
  }
};

TEST_F(InternetApplicationTest, ItsTwoGroupsAreRegisteredAsTheAgentReportsThemAndGoOnline) {
  unsetenv("ZEVP_URL_SAMPLE_INTERVAL");
  StatusWaiter status;
  ASSERT_TRUE(status.parked());
  syncWithServer();
  ASSERT_EQ(ZEVP_DefineHTTPapplication(anchor()), 1);

  EXPECT_EQ(Text(dc_getApplications, "INTERNET"), "INTERNET,MANAGED_URL,K,28800:URL_OBJECTS,K,1440000:;");
  EXPECT_EQ(Text(dc_getApplAttributes, "INTERNET"),
            "MANAGED_URL,@$URL,D,1024:Status,D,64:Status_Timestamp,D,32:Page_Title,D,256:Page_Size,C,4:"
            "Current_Response_Time,C,4:Maximum_Response_Time,C,4:Average_Response_Time,C,4:Page_Objects,C,4:"
            "Total_Object_Size,C,4:@User_Name,D,32:URL_Alias,D,32:ISP_Name,D,64:Server_Type,D,64:"
            "Total_Samples_Taken,C,4:Status_Interval,C,4:HTTP_Version,D,8:;"
            "URL_OBJECTS,@$URL,D,1024:@Object_Name,D,1024:Object_Size,C,4:;");
  EXPECT_EQ(Text(dc_getApplHelp, "INTERNET"),
            "Internet management system application.,"
            "MANAGED_URL,The WEB URL report contains current status and response time of monitored URL.,"
            "URL,The managed URL specification., ,"
            "Status,The current managed URL status., ,"
            "Status_Timestamp,The time when the current managed URL status was last taken., ,"
            "Page_Title,The page title of the received document., ,"
            "Page_Size,The managed URL web page data size received., ,"
            "Current_Response_Time,The current observed managed URL response time in milliseconds., ,"
            "Maximum_Response_Time,The maximum observed managed URL response time in milliseconds., ,"
            "Average_Response_Time,The average observed managed URL response time in milliseconds., ,"
            "Page_Objects,The total number of additional objects associated with this monitored page., ,"
            "Total_Object_Size,The total number of bytes downloaded for the associated page objects., ,"
            "User_Name,The user ID that initiated monitoring for this URL., ,"
            "URL_Alias,The user-specified alias for the URL., ,"
            "ISP_Name,The Internet Service Provider name., ,"
            "Server_Type,The URL web server type., ,"
            "Total_Samples_Taken,The total number of samples taken for this URL since monitoring began., ,"
            "Status_Interval,The elapsed time in seconds between status checks of this URL., ,"
            "HTTP_Version,The HTTP version of the web server for this URL., :"
            "URL_OBJECTS,The URL Object report contains object specifications included in a URL page.,"
            "URL,The managed URL specification., ,Object_Name,The page object name., ,"
            "Object_Size,The page object size., :;");
  EXPECT_EQ(status.nextSorted(2, kAnswerWaitMs),
            (std::vector<std::string>{"INTERNET,MANAGED_URL,localhost,4117", "INTERNET,URL_OBJECTS,localhost,4117"}));

  // The fault: a situation's rule that came with the online was performed before the
  // start made the block, and its URL was never monitored.
  EXPECT_NE(anchor()->urlManagement, nullptr) << "the block is made before the sources go online";
  SourceEntry* managed = anchor()->managedURLSource;
  SourceEntry* objects = anchor()->urlObjectsSource;
  ASSERT_NE(managed, nullptr);
  ASSERT_NE(objects, nullptr);
  EXPECT_EQ(managed->State, ZEVP_Active);
  EXPECT_EQ(objects->State, ZEVP_Active);
  const ApplicationEntry* internet = managed->Table->Application;
  EXPECT_STREQ(internet->MetafileName, "VMO");
  EXPECT_EQ(internet->NumberOfGroups, 2);
  EXPECT_EQ(objects->Table->Application, internet);
  for (const SourceEntry* source : {managed, objects}) {
    EXPECT_EQ(source->BuiltIn, 1);
    EXPECT_EQ(source->SourceType, ZEVP_SOURCE_BASE);
    EXPECT_EQ(source->OwnsTask, 1) << "each source waits on an entry of its own";
    std::vector<ProcessEntry*> threads = ProcessEntriesOf(anchor());
    EXPECT_EQ(std::count(threads.begin(), threads.end(), source->OwningTask), 0) << "not a thread's entry";
  }
  EXPECT_NE(managed->OwningTask, objects->OwningTask);
}

TEST_F(InternetApplicationTest, TheSampleIntervalSetsTheTimesToLiveAndTheLocationEndsTheSourceName) {
  setenv("ZEVP_URL_SAMPLE_INTERVAL", "600", 1);
  ZEV_Agent_Geographic_Location = "Building 7";
  StatusWaiter status;
  syncWithServer();
  ASSERT_EQ(ZEVP_DefineHTTPapplication(anchor()), 1);
  unsetenv("ZEVP_URL_SAMPLE_INTERVAL");
  EXPECT_EQ(Text(dc_getApplications, "INTERNET"), "INTERNET,MANAGED_URL,K,600:URL_OBJECTS,K,30000:;");
  EXPECT_EQ(status.nextSorted(2, kAnswerWaitMs),
            (std::vector<std::string>{"INTERNET,MANAGED_URL,localhost@Building 7,4117",
                                      "INTERNET,URL_OBJECTS,localhost@Building 7,4117"}));
  EXPECT_STREQ(anchor()->urlObjectsSource->pSourceNodeName, "localhost@Building 7");
}

// Two data providers: the second finds Internet known to the agent and puts its
// sources online all the same.
TEST_F(InternetApplicationTest, AKnownApplicationIsPutOnlineAsItIs) {
  ASSERT_EQ(ZEVP_DefineHTTPapplication(anchor()), 1);
  MetafileFixture second;
  DCHclientPlayer client(second.anchor(), PerformRequestAsTheRoutine);
  ASSERT_EQ(ZEVP_DefineHTTPapplication(second.anchor()), 1);
  ASSERT_NE(second.anchor()->managedURLSource, nullptr);
  EXPECT_EQ(second.anchor()->managedURLSource->State, ZEVP_Active);
  EXPECT_EQ(second.anchor()->urlObjectsSource->State, ZEVP_Active);
  EXPECT_EQ(second.anchor()->managedURLSource->Table->HelpBuffer, nullptr) << "the help texts are freed";
  zevp::ReleaseURLmanagement(second.anchor());
}

class RefusingAgent : public InternetApplicationTest {
  std::vector<std::string> hostSettings() const override { return {"ZEVA_MAX_ATTRGROUPS_PER_APPL=1"}; }
};

TEST_F(RefusingAgent, ARefusedApplicationIsReleasedWithItsEntries) {
  TraceCapture trace("*=0x90");
  EXPECT_EQ(ZEVP_DefineHTTPapplication(anchor()), 0);
  EXPECT_TRUE(trace.contains("*** dp_register failed for HTTP application"));
  EXPECT_EQ(anchor()->applications, nullptr);
  EXPECT_EQ(anchor()->managedURLSource, nullptr);
  EXPECT_EQ(anchor()->urlObjectsSource, nullptr);
}

// The road of a RULESTOP: a situation S that started two URLs stops, and a
// consumer parked for Managed_URL gets one removal row for each.
TEST_F(InternetApplicationTest, AStoppedSituationsURLsReachTheConsumerAsRemovalRows) {
  start();
  ASSERT_NE(add("http://shop.example/a", "S"), nullptr);
  ASSERT_NE(add("http://shop.example/b", "S"), nullptr);
  ASSERT_NE(add("http://other.example/", "T"), nullptr);
  RowWaiter rows("Internet", "Managed_URL");
  syncWithServer();
  ASSERT_TRUE(rows.parked());

  ZEVP_StopSitHTTPrequest(anchor(), "S");
  uint16_t control = 0;
  EXPECT_EQ(NextRow(rows, kAnswerWaitMs, &control), RemovalRow("http://shop.example/a", "S"));
  EXPECT_EQ(control, 0xDD);
  EXPECT_EQ(NextRow(rows, kAnswerWaitMs, &control), RemovalRow("http://shop.example/b", "S"));
  EXPECT_EQ(control, 0xDD);
  EXPECT_EQ(managed(), 1);
  EXPECT_EQ(anchor()->managedURLSource->DataSequence, ZEVP_DATA_SEQUENCE_ROW);

  ZEVP_StopSitHTTPrequest(anchor(), "S");
  ZEVP_StopSitHTTPrequest(anchor(), "NOBODY");
  EXPECT_EQ(NextRow(rows, kSilenceMs), std::vector<std::string>{"<no row>"}) << "nothing owned: no row";
  EXPECT_EQ(managed(), 1);

  // Stopped by a URL remove request in other letter cases: the row names the owner as stored.
  EXPECT_EQ(ZEVP_StopActionURLrequest(anchor(), "HTTP://OTHER.EXAMPLE/", "t"), 1);
  EXPECT_EQ(NextRow(rows, kAnswerWaitMs, &control), RemovalRow("http://other.example/", "T"));
  EXPECT_EQ(managed(), 0);
  ZEVP_StopSitHTTPrequest(anchor(), "T");
  EXPECT_EQ(NextRow(rows, kSilenceMs), std::vector<std::string>{"<no row>"}) << "an empty list: no row";
}

}  // namespace
