// URL statuses and page objects as rows of the application Internet, read by a
// consumer parked at the agent's DCH server: the Status texts, the update task's
// Managed_URL rows per owner, and the URL_Objects rows.
#include "url_rows.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "dp_anchor.h"
#include "internet_road_fixture.h"
#include "url_activity.h"
#include "url_management.h"
#include "url_row_values.h"
#include "vmo1.h"
#include "zev0/storage.h"

namespace {

URLstatusDescription Described(int32_t code, const std::string& text) {
  URLstatusDescription description{};
  description.HTTPcode = code;
  description.TextLength = static_cast<int32_t>(text.size());
  std::memcpy(description.Text, text.data(), text.size());
  return description;
}

// As the subtask keeps a status that is not a reply's.
URLstatusDescription Kept(int32_t status) {
  URLrequestEntry entry{};
  zevp::RecordRequestStatus(&entry, status);
  return entry.RequestDescription;
}

TEST(URLstatusValueTest, EachStatusOfTheLayerIsShownInTheRowsOwnWords) {
  const struct {
    const char* what;
    int32_t status;
    URLstatusDescription description;
    const char* value;
  } cases[] = {
      {"success", 0, Kept(0), "OK"},
      {"a reply's code", VMO1_HTTP_ERROR_REPLY, Described(404, "Not Found"), "404: Not Found"},
      {"a three-digit code", VMO1_HTTP_ERROR_REPLY, Described(999, "Unknown"), "999: Unknown"},
      {"no code past 999", VMO1_HTTP_ERROR_REPLY, Described(1000, "HTTP error reply"), "HTTP error reply"},
      {"connection lost", VMO1_CONNECTION_ABANDONED, Kept(VMO1_CONNECTION_ABANDONED),
       "Timeout occurred while obtaining URL status"},
      {"an unresolvable host", VMO1_UNKNOWN_AUTHORITY, Kept(VMO1_UNKNOWN_AUTHORITY),
       "Not a recognized network address"},
      {"too many redirections", VMO1_TOO_MANY_REDIRECTIONS, Kept(VMO1_TOO_MANY_REDIRECTIONS), "too many redirections"},
      {"nothing kept: the library's text", VMO1_CONNECTION_ABANDONED, URLstatusDescription{},
       "Timeout occurred while obtaining URL status"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(zevp::URLstatusValue(c.status, c.description), c.value);
  }
}

class URLrowsTest : public InternetRoadTest {
 protected:
  void SetUp() override {
    InternetRoadTest::SetUp();
    if (HasFatalFailure()) return;
    start();
  }
  void TearDown() override {
    if (updating_) zevp::EndURLupdateTask(block());
    InternetRoadTest::TearDown();
  }
  void startUpdates() { updating_ = zevp::StartURLupdateTask(anchor(), block()); }
  // A status as a client task leaves it: a page of 1234 bytes in 250 ms.
  static void LeaveStatus(URLrequestEntry* entry, int32_t status, int32_t outstanding = 0) {
    BSV1_GetLock(&entry->EntryLock);
    zevp::RecordRequestStatus(entry, status);
    entry->PageLength = status == 0 ? 1234 : 0;
    std::strcpy(entry->PageTitle, status == 0 ? "Shop" : "    ");
    std::strcpy(entry->ServerType, "TestServer/1.0");
    entry->ServerTypeLength = 14;
    entry->PageObjectCount = 3;
    entry->TotalObjectSize = 900;
    entry->RequestStartTime = BSV1_Time{100, 500000000};
    entry->ResponseEndTime = BSV1_Time{100, 750000000};
    entry->ObjRequestOutstanding = outstanding;
    entry->ValidURLstat = 1;
    BSV1_ReleaseLock(&entry->EntryLock);
  }
  bool updating_ = false;
};

TEST_F(URLrowsTest, AStatusGivesARowPerOwnerDifferingInUserNameAndAlias) {
  URLrequestEntry* entry = add("http://shop.example/", "ops", "Front");
  ASSERT_NE(entry, nullptr);
  auto* second = static_cast<URLownerEntry*>(ZEV0_GetStorage(sizeof(URLownerEntry)));
  std::memset(second, 0, sizeof *second);
  std::strcpy(second->User, "S");
  std::strcpy(second->Alias, "    ");
  second->UserLength = 1;
  second->AliasLength = 4;
  BSV1_GetLock(&block()->URLListLock);
  entry->Owners->next = second;
  ++entry->OwnerCount;
  BSV1_ReleaseLock(&block()->URLListLock);
  RowWaiter rows("Internet", "Managed_URL");
  syncWithServer();
  startUpdates();
  LeaveStatus(entry, 0);
  zevp::SignalURLoutput(block());

  std::vector<std::string> first = NextRow(rows);
  std::vector<std::string> other = NextRow(rows);
  ASSERT_EQ(first.size(), 17u) << first[0];
  ASSERT_EQ(other.size(), 17u) << other[0];
  EXPECT_EQ(first[kURL], "http://shop.example/");
  EXPECT_EQ(first[kStatus], "OK");
  EXPECT_EQ(first[kStatusTimestamp].size(), 23u) << first[kStatusTimestamp];
  EXPECT_EQ(first[kPageTitle], "Shop");
  EXPECT_EQ(CounterValue(first[kPageSize]), 1234);
  EXPECT_EQ(CounterValue(first[kCurrentResponseTime]), 250);
  EXPECT_EQ(CounterValue(first[kMaximumResponseTime]), 250);
  EXPECT_EQ(CounterValue(first[kAverageResponseTime]), 250);
  EXPECT_EQ(CounterValue(first[kPageObjects]), 3);
  EXPECT_EQ(CounterValue(first[kTotalObjectSize]), 900);
  EXPECT_EQ(first[kISPname], "LAN");
  EXPECT_EQ(first[kServerType], "TestServer/1.0");
  EXPECT_EQ(CounterValue(first[kTotalSamplesTaken]), 1);
  EXPECT_EQ(CounterValue(first[kStatusInterval]), 300);
  EXPECT_EQ(first[kHTTPversion], "1.1");
  EXPECT_EQ(first[kUserName], "ops");
  EXPECT_EQ(first[kURLalias], "Front");
  EXPECT_EQ(other[kUserName], "S");
  EXPECT_EQ(other[kURLalias], "    ");
  other[kUserName] = first[kUserName];
  other[kURLalias] = first[kURLalias];
  EXPECT_EQ(other, first) << "the same but for the owner";
  BSV1_GetLock(&entry->EntryLock);
  EXPECT_EQ(entry->ValidURLstat, 0) << "presented once";
  EXPECT_EQ(entry->CurrentSampleIndex, 1);
  BSV1_ReleaseLock(&entry->EntryLock);

  // A failed check: its status, no response time, the samples as they were.
  LeaveStatus(entry, VMO1_CONNECTION_ABANDONED);
  zevp::SignalURLoutput(block());
  std::vector<std::string> failed = NextRow(rows);
  ASSERT_EQ(failed.size(), 17u) << failed[0];
  EXPECT_EQ(failed[kStatus], "Timeout occurred while obtaining URL status");
  EXPECT_EQ(CounterValue(failed[kCurrentResponseTime]), 0);
  EXPECT_EQ(CounterValue(failed[kMaximumResponseTime]), 250);
  EXPECT_EQ(CounterValue(failed[kTotalSamplesTaken]), 1);
  EXPECT_EQ(failed[kPageTitle], "    ");
  EXPECT_EQ(NextRow(rows)[kUserName], "S");
  BSV1_GetLock(&entry->EntryLock);
  EXPECT_EQ(entry->CurrentSampleIndex, 1) << "not advanced";
  BSV1_ReleaseLock(&entry->EntryLock);
}

TEST_F(URLrowsTest, AStatusWithObjectsOutstandingIsPresentedAfterTheLast) {
  URLrequestEntry* entry = add("http://shop.example/", "ops");
  RowWaiter rows("Internet", "Managed_URL");
  syncWithServer();
  startUpdates();
  LeaveStatus(entry, 0, 1);
  zevp::SignalURLoutput(block());
  EXPECT_EQ(NextRow(rows, kSilenceMs), std::vector<std::string>{"<no row>"});
  BSV1_GetLock(&entry->EntryLock);
  entry->ObjRequestOutstanding = 0;
  BSV1_ReleaseLock(&entry->EntryLock);
  zevp::SignalURLoutput(block());
  EXPECT_EQ(NextRow(rows)[kURL], "http://shop.example/");
}

TEST_F(URLrowsTest, AnObjectRetrievedGivesAURLObjectsRowWhileTheirReportIsOn) {
  RowWaiter rows("Internet", "URL_Objects");
  syncWithServer();
  const std::string page = "http://shop.example/index.html";
  const std::string object = "http://shop.example/img/logo.gif";
  ZEVP_DoObjectUpdateDCH(page.c_str(), static_cast<int32_t>(page.size()), object.c_str(),
                         static_cast<int32_t>(object.size()), 4096);
  std::vector<std::string> row = NextRow(rows);
  ASSERT_EQ(row.size(), 3u) << row[0];
  EXPECT_EQ(row[0], page);
  EXPECT_EQ(row[1], object);
  EXPECT_EQ(CounterValue(row[2]), 4096);

  block()->PageObjectsReport = 0;
  ZEVP_DoObjectUpdateDCH(page.c_str(), static_cast<int32_t>(page.size()), object.c_str(),
                         static_cast<int32_t>(object.size()), 4096);
  EXPECT_EQ(NextRow(rows, kSilenceMs), std::vector<std::string>{"<no row>"});
}

}  // namespace
