// Summary rows in the batch output file, and the switch that lets only them through.
// The switch is read once per process: every case runs in a child of a parent that
// never wrote a record.
#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "application_entry.h"
#include "batch_output.h"
#include "dch_comm.h"
#include "dch_requests.h"
#include "dp_anchor.h"
#include "manual_clock.h"
#include "metafile_text.h"
#include "parsed_application.h"
#include "record_split.h"
#include "run_in_child.h"
#include "scratch_directory.h"
#include "source_entry.h"
#include "summary_data.h"
#include "trace_capture.h"

namespace {

// An application of a plain group and a group that summarises a minute per host,
// its rows going to out.dat of a scratch folder.
class BatchRows {
 public:
  BatchRows()
      : parsed_({"//APPL Sum", "//NAME Plain P 60", "//SOURCE BASE one", "//ATTRIBUTES ';'", "Host D 8",
                 "Bytes C 999999", "LocalTimeStamp T 16", "//NAME Traffic P 60", "//SOURCE BASE one",
                 "//SUMMARY 60", "//ATTRIBUTES ';'", "Host D 16 SKEY=1", "Bytes C 999999 SKEY=SUM",
                 "LocalTimeStamp T 16"}) {
    parsed_.anchor()->batchMode = 1;
    ZEVP_InitializeDCHcomm(&comm_, parsed_.anchor());
    parsed_.application()->BatchOutputFileName = zevp::NewStorageText(files_.file("out.dat"));
  }
  ~BatchRows() {
    if (parsed_.application()->BatchOutputStream != nullptr) ZEVP_CloseBatchOutputFile(parsed_.application());
    ZEVP_DestroyDCHcomm(&comm_);
  }

  // A record of the plain group, sent as its file server sends it.
  void plain(const std::string& record) {
    SourceEntry* source = parsed_.source(0);
    std::string copy = record;
    ZEVP_MoveDataToAttr(source, copy.data(), static_cast<int32_t>(copy.size()), nullptr);
    ZEVP_DoDPdata(source, &comm_);
  }
  // A record of the summary group, taken into its interval.
  void summarised(const std::string& record) {
    SourceEntry* source = parsed_.source(1);
    std::string copy = record;
    ZEVP_MoveDataToAttr(source, copy.data(), static_cast<int32_t>(copy.size()), nullptr);
    ZEVP_UpdateSummaryDataArray(source);
  }
  // The summary rows of the interval that ended.
  void summaryOutput() { ZEVP_PerformDataSummaryOutput(parsed_.source(1), &comm_); }
  std::string written() const { return files_.read("out.dat"); }

 private:
  ManualClock clock_;
  ScratchDirectory files_{"zev_batch_summary"};
  ParsedApplication parsed_;
  DCHcomm comm_{};
};

// Two hosts in the minute from 10:05; a row at 10:06:01 ends it.
void TrafficOfAMinute(BatchRows& rows) {
  rows.summarised("A;100;1021210100500000");
  rows.summarised("B;7;1021210100510000");
  rows.summarised("A;200;1021210100520000");
  rows.summarised("A;5;1021210100601000");
  rows.summaryOutput();
}

// A summary row: the interval's stamp first, then the row in summary order: the key,
// the unit, the interval, the occurrences, the stamp, its display form, the unit's
// name, the total.
const char kSummaryRows[] =
    "1021210100500000,Sum,Traffic,A,5,60,2,1021210100500000,2002/12/10 10:05:00 000,1 Minute(s),300,\n"
    "1021210100500000,Sum,Traffic,B,5,60,1,1021210100500000,2002/12/10 10:05:00 000,1 Minute(s),7,\n";

TEST(BatchSummaryOutputTest, SummaryRowsAreWrittenInSummaryOrderFromTheirIntervalsStamp) {
  RunInChild([] {
    BatchRows rows;
    rows.plain("disk;12;1021210100500000");
    TrafficOfAMinute(rows);
    EXPECT_EQ(rows.written(), std::string("1021210100500000,Sum,Plain,disk,12,1021210100500000,\n") + kSummaryRows);
  });
}

TEST(BatchSummaryOutputTest, WithTheSwitchOnlySummaryRowsAreWritten) {
  RunInChild([] {
    setenv("ZEVP_BATCH_SUMMARY_OUTPUT_ONLY", "y", 1);
    TraceCapture trace("*=0x90 storage=0x80");
    BatchRows rows;
    rows.plain("disk;12;1021210100500000");
    EXPECT_TRUE(trace.contains("Summary Batch Output Only! Batch output bypassed. {1021210100500000,Sum,Plain,disk,"));
    TrafficOfAMinute(rows);
    EXPECT_EQ(rows.written(), kSummaryRows);
  });
}

}  // namespace
