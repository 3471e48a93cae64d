// Summaries, internal routing and deletion in a FILE data provider running as the
// agent runs it, against the agent's DCH server in its host program: the lines of
// monitored files in a scratch folder reach consumers parked for their groups'
// rows, the sources' status and the data-provider log.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "application_deletion.h"
#include "application_entry.h"
#include "dch_road_fixture.h"
#include "dp_anchor.h"
#include "eventually.h"
#include "file_server.h"
#include "internal_routing_block.h"
#include "loopback_engine.h"
#include "metafile_parser.h"
#include "running_provider.h"
#include "scratch_directory.h"
#include "source_entry.h"
#include "table_entry.h"
#include "text_patterns.h"
#include "trace_capture.h"
#include "zev/dp_types.h"

namespace {

using Lines = std::vector<std::string>;

constexpr int kRowWaitMs = 5000;
constexpr int kQuietMs = 300;
constexpr int kOnline = 4117;   // 0x1015
constexpr int kOffline = 4133;  // 0x1025

// A value without the blanks and NULs that pad it to its width.
std::string Trimmed(const std::string& text) {
  size_t end = text.find_last_not_of(std::string(" \0", 2));
  return end == std::string::npos ? std::string() : text.substr(0, end + 1);
}

class ModelRoadTest : public DCHroadTest {
 protected:
  void SetUp() override {
    DCHroadTest::SetUp();
    if (HasFatalFailure()) return;
    UseLoopbackDCHhost();
  }
  void TearDown() override {
    provider_.reset();
    DCHroadTest::TearDown();
  }

  // A FILE data provider with its log online; the metafiles' lines with "%DIR%"
  // for the folder of the monitored files.
  DPAB* start() {
    provider_ = std::make_unique<RunningDataProvider>(ZEV_DP_FILE, metafiles_.path());
    EXPECT_TRUE(provider_->waitForLogOnline());
    return provider_->anchor();
  }
  ApplicationEntry* load(DPAB* anchor, const std::string& name, Lines lines) {
    for (std::string& line : lines) line = ReplacedEverywhere(line, "%DIR%", files_.path());
    std::string text;
    for (const std::string& line : lines) text += line + "\n";
    metafiles_.write(name, text);
    int opened = 0, alreadyDefined = 0;
    ApplicationEntry* application =
        ZEVP_ConstructApplDataModel(anchor, name.c_str(), 0, &opened, &alreadyDefined, 0, 1);
    EXPECT_NE(application, nullptr) << name;
    return application;
  }

  // The next notice of the code for the application, or empty (the waiter is then
  // spent: a test lets it time out only at its end).
  static std::string NextNotice(StatusWaiter& status, const std::string& application, int code,
                                int waitMs = kRowWaitMs) {
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(waitMs);
    while (std::chrono::steady_clock::now() < deadline) {
      std::string notice = status.next(waitMs);
      if (notice.empty()) return notice;
      if (notice.rfind(application + ",", 0) == 0 && notice.size() > 4 &&
          notice.compare(notice.size() - 4, 4, std::to_string(code)) == 0)
        return notice;
    }
    return {};
  }
  // The values of the next row, trimmed, counters as numbers; "<no row>" when none came.
  static Lines NextRow(RowWaiter& rows, int waitMs = kRowWaitMs) {
    std::string message = rows.next(waitMs);
    if (message.empty()) return {"<no row>"};
    Row row;
    EXPECT_TRUE(ReadRow(message, &row));
    Lines values;
    for (const std::string& value : row.values) values.push_back(Trimmed(value));
    return values;
  }
  static int32_t Number(const std::string& value) {
    std::string raw = value;
    raw.resize(4, '\0');
    return CounterValue(raw);
  }

  HeldClock clock_;
  ScratchDirectory metafiles_{"zev_model_road_meta"};
  ScratchDirectory files_{"zev_model_road_files"};
  std::unique_ptr<RunningDataProvider> provider_;
};

const Lines kTraffic = {"//APPL Sum",        "//NAME Traffic E",        "//SOURCE FILE %DIR%traffic.log",
                        "//SUMMARY 60",      "//ATTRIBUTES ';'",        "Host D 16 SKEY=1",
                        "Bytes C 999999 SKEY=SUM", "LocalTimeStamp T 16"};

TEST_F(ModelRoadTest, ASummaryGroupSendsOneRowPerKeyAndTheLastIntervalWhenLinesStop) {
  StatusWaiter status;
  RowWaiter rows("SUM", "TRAFFIC");
  syncWithServer();
  DPAB* anchor = start();
  ASSERT_NE(anchor, nullptr);
  files_.write("traffic.log", "X;1;1021210090000000\n");
  ASSERT_NE(load(anchor, "sum.mdl", kTraffic), nullptr);
  ZEVP_CheckAndStartFileServer(anchor, ZEVP_FileServer);
  ASSERT_NE(NextNotice(status, "SUM", kOnline), "");

  files_.append("traffic.log", "A;100;1021210100500000\nB;7;1021210100510000\nA;200;1021210100520000\n"
                               "A;5;1021210100605000\n");
  Lines a = NextRow(rows);
  ASSERT_EQ(a.size(), 8u) << a[0];
  // In the group's summary order: the key, the three summary attributes, the time
  // stamp, its display form and the interval's name, the total.
  EXPECT_EQ(a[0], "A");
  EXPECT_EQ(Number(a[1]), 5) << "the minute the interval began";
  EXPECT_EQ(Number(a[2]), 60);
  EXPECT_EQ(Number(a[3]), 2);
  EXPECT_EQ(a[4], "1021210100500000");
  EXPECT_EQ(a[5], "2002/12/10 10:05:00 000");
  EXPECT_EQ(a[6], "1 Minute(s)");
  EXPECT_EQ(Number(a[7]), 300);
  Lines b = NextRow(rows);
  ASSERT_EQ(b.size(), 8u) << b[0];
  EXPECT_EQ(b[0], "B");
  EXPECT_EQ(Number(b[3]), 1);
  EXPECT_EQ(Number(b[7]), 7);
  EXPECT_EQ(NextRow(rows, kQuietMs), Lines{"<no row>"}) << "the fourth line opened the next interval";

  TraceCapture trace("*=0x90 storage=0x80");
  clock_.advance(301);  // past the periodic task's first summary look and the interval
  Lines last = NextRow(rows);
  ASSERT_EQ(last.size(), 8u) << last[0];
  EXPECT_EQ(last[0], "A");
  EXPECT_EQ(Number(last[1]), 6);
  EXPECT_EQ(Number(last[3]), 1);
  EXPECT_EQ(Number(last[7]), 5);
  EXPECT_TRUE(trace.contains("Enqueue End Summary request for Traffic"));
}

// A feeds R; Take's groups read R, each with its own delimiter; Batched's batch
// summary is left out.
const Lines kFeed = {"//APPL Feed", "//NAME Lines E", "//SOURCE FILE %DIR%feed.log ManagedSystemName=feedhost",
                     "//INTERNAL OUTPUT R", "//ATTRIBUTES ' '", "N G 100 +FILTER={NUMBER>(0,5)}", "Rest D 40"};
const Lines kTake = {"//APPL Take",         "//NAME Semis E",       "//INTERNAL INPUT R", "//ATTRIBUTES ';'",
                     "F1 D 16",             "F2 D 16",              "//NAME Counted E",   "//INTERNAL INPUT R",
                     "//SUMMARY 60",        "//ATTRIBUTES ' '",     "Key G 100 SKEY=1",   "//NAME Batched E",
                     "//INTERNAL INPUT R",  "//SUMMARY 60 BATCH",   "//ATTRIBUTES ' '",   "Key G 100 SKEY=1"};

class RoutingRoadTest : public ModelRoadTest {
 protected:
  // Take and Feed loaded, Feed's file server reading: the routed sources are made
  // and online with Feed's online.
  DPAB* startRouting() {
    DPAB* anchor = start();
    if (anchor == nullptr) return nullptr;
    files_.write("feed.log", "0 start\n");
    take_ = load(anchor, "take.mdl", kTake);
    feed_ = load(anchor, "feed.mdl", kFeed);
    ZEVP_CheckAndStartFileServer(anchor, ZEVP_FileServer);
    return anchor;
  }
  ApplicationEntry* take_ = nullptr;
  ApplicationEntry* feed_ = nullptr;
};

TEST_F(RoutingRoadTest, ALineThatPassesReachesTheOutputAndEveryInputGroupEachSplitByItsOwn) {
  StatusWaiter status;
  RowWaiter lines("FEED", "LINES"), semis("TAKE", "SEMIS"), counted("TAKE", "COUNTED"), batched("TAKE", "BATCHED");
  syncWithServer();
  TraceCapture trace("*=0x90 storage=0x80");
  DPAB* anchor = startRouting();
  ASSERT_NE(anchor, nullptr);
  ASSERT_NE(NextNotice(status, "FEED", kOnline), "");
  // Made once, with the online of the source that feeds them, with its node name.
  EXPECT_EQ(status.nextSorted(2, kRowWaitMs), (Lines{"TAKE,COUNTED,feedhost,4117", "TAKE,SEMIS,feedhost,4117"}));
  EXPECT_TRUE(Eventually(
      [&trace] {
        return trace.contains("dp_online for attribute group <Batched> bypassed due to Bypass Batch Processing "
                              "requested");
      },
      kRowWaitMs));

  files_.append("feed.log", "7 a;b\n3 c;d\n9 e;f\n");
  Lines first = NextRow(lines);
  ASSERT_EQ(first.size(), 2u);
  EXPECT_EQ(Number(first[0]), 7);
  EXPECT_EQ(first[1], "a;b");
  EXPECT_EQ(NextRow(semis), (Lines{"7 a", "b"}));
  Lines second = NextRow(lines);
  ASSERT_EQ(second.size(), 2u);
  EXPECT_EQ(Number(second[0]), 9) << "3 fails the filter";
  EXPECT_EQ(NextRow(semis), (Lines{"9 e", "f"}));
  EXPECT_EQ(NextRow(semis, kQuietMs), Lines{"<no row>"});
  EXPECT_EQ(NextRow(counted, kQuietMs), Lines{"<no row>"}) << "its interval is open";
  EXPECT_EQ(NextRow(batched, kQuietMs), Lines{"<no row>"});
  for (TableEntry* table = take_->FirstTable; table != nullptr; table = table->next)
    EXPECT_EQ(table->SourceCount, 2) << "one routed source each: " << table->TableName;

  // The file goes: the routed sources go offline, the summary's open interval first.
  files_.remove("feed.log");
  Lines sum = NextRow(counted);
  ASSERT_GE(sum.size(), 4u) << sum[0];
  EXPECT_EQ(Number(sum[0]), 7);
  EXPECT_EQ(Number(sum[3]), 1);
  EXPECT_EQ(Number(NextRow(counted)[0]), 9);
  Lines offline = status.nextSorted(3, kRowWaitMs);
  EXPECT_EQ(offline, (Lines{"FEED,LINES,feedhost,4133", "TAKE,COUNTED,feedhost,4133", "TAKE,SEMIS,feedhost,4133"}));
}

// Lines written while the application that feeds another is deleted.
class Writer {
 public:
  Writer(const ScratchDirectory& files, const std::string& name)
      : thread_([this, &files, name] {
          for (int n = 10; running_; ++n) {
            files.append(name, std::to_string(n) + " x;y\n");
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
          }
        }) {}
  ~Writer() {
    running_ = false;
    thread_.join();
  }

 private:
  std::atomic<bool> running_{true};
  std::thread thread_;
};

TEST_F(RoutingRoadTest, DeletingTheFeedingApplicationWhileItRoutesLeavesTheOthersGoingOn) {
  StatusWaiter status;
  RowWaiter semis("TAKE", "SEMIS"), log("DVAGENT", "DPLOG"), other("OTHER", "OWN");
  syncWithServer();
  DPAB* anchor = startRouting();
  ASSERT_NE(anchor, nullptr);
  files_.write("other.log", "start\n");
  ApplicationEntry* otherApplication = load(anchor, "other.mdl", {"//APPL Other", "//NAME Own E",
                                                                  "//SOURCE FILE %DIR%other.log", "//ATTRIBUTES ';'",
                                                                  "Text D 16"});
  ASSERT_NE(otherApplication, nullptr);
  ZEVP_CheckAndStartFileServer(anchor, ZEVP_FileServer);
  ASSERT_NE(NextNotice(status, "OTHER", kOnline), "");
  files_.append("feed.log", "8 first;row\n");
  ASSERT_EQ(NextRow(semis), (Lines{"8 first", "row"}));
  InternalRoutingBlock* block = feed_->FirstTable->RoutingBlock;
  ASSERT_NE(block, nullptr);

  TraceCapture trace("*=0x90 storage=0x80");
  {
    Writer writer(files_, "feed.log");
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    ZEVP_DeleteExistingApplication(anchor, feed_);
  }
  EXPECT_TRUE(trace.contains("Waiting for TerminationLock for PEptr @"));
  EXPECT_TRUE(trace.contains("Acquired TerminationLock for PEptr @"));
  EXPECT_TRUE(trace.contains("dp_unregister completed"));
  EXPECT_EQ(anchor->internalRoutingBlocks, nullptr) << "the block went with its output group";
  for (TableEntry* table = take_->FirstTable; table != nullptr; table = table->next)
    EXPECT_EQ(table->NextInputTable, nullptr) << table->TableName;
  bool heard = false;
  while (!heard) {
    std::string message = log.next(kRowWaitMs);
    if (message.empty()) break;
    Row row;
    heard = ReadRow(message, &row) && row.values.size() > 4 && Trimmed(row.values[3]) == "INFO" &&
            Trimmed(row.values[4]) == "Existing application Feed deleted.";
  }
  EXPECT_TRUE(heard) << "DP log message 10 as a row of the log";
  std::string offline = NextNotice(status, "FEED", kOffline);
  EXPECT_EQ(offline, "FEED,LINES,feedhost,4133");

  // The others go on.
  while (NextRow(semis, kQuietMs) != Lines{"<no row>"}) {
  }
  files_.append("other.log", "still here\n");
  EXPECT_EQ(NextRow(other), Lines{"still here"});
  EXPECT_NE(take_->FirstTable->FirstSource, nullptr) << "Take stays loaded";
}

}  // namespace
