// Summary rows in the batch output file, and the switch that lets only them through.
// The switch is read once per process: every case runs in a child of a parent that
// never wrote a record.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "application_entry.h"
#include "attribute_entry.h"
#include "batch_output.h"
#include "dp_anchor.h"
#include "dp_log.h"
#include "metafile_text.h"
#include "parsed_application.h"
#include "run_in_child.h"
#include "running_provider.h"
#include "scratch_directory.h"
#include "source_entry.h"
#include "trace_capture.h"

namespace {

const char kStamp[] = "1021102093000000";


// A group whose summary order (keys, interval, unit, occurrences, the interval's
// stamp, totals) is not its definition order.
class SummaryRows {
 public:
  SummaryRows()
      : parsed_({"//APPL APP", "//NAME GRP P 60", "//SOURCE BASE one", "//ATTRIBUTES ';'", "Used C 100000",
                 "Disk D 8", "_Interval C 100000", "_Interval_Unit C 100", "_Occurrences C 100000",
                 "_LocalTimeStamp T 16"}) {
    SourceEntry* source = parsed_.source();
    const char* order[] = {"Disk", "_Interval", "_Interval_Unit", "_Occurrences", "_LocalTimeStamp", "Used"};
    AttributeEntry* previous = nullptr;
    for (const char* name : order) {
      AttributeEntry* attribute = AttributeNamed(source, name);
      (previous == nullptr ? source->FirstInSequence : previous->NextInSequence) = attribute;
      previous = attribute;
    }
    previous->NextInSequence = nullptr;
    AttributeNamed(source, "Disk")->AttrSortKey = 1;
    parsed_.application()->BatchOutputFileName = zevp::NewStorageText(files_.file("out.dat"));
  }
  ~SummaryRows() {
    if (parsed_.application()->BatchOutputStream != nullptr) ZEVP_CloseBatchOutputFile(parsed_.application());
  }

  SourceEntry* source() const { return parsed_.source(); }
  // One row as the summary output delivers it.
  void summaryRow(const char* disk, int32_t occurrences, int32_t used) {
    source()->SummaryDelivering = 1;
    SetAttributeValue(source(), "Disk", disk);
    SetAttributeNumber<int32_t>(source(), "_Interval", 3600);
    SetAttributeNumber<uint16_t>(source(), "_Interval_Unit", 9);
    SetAttributeNumber<int32_t>(source(), "_Occurrences", occurrences);
    SetAttributeValue(source(), "_LocalTimeStamp", kStamp);
    SetAttributeNumber<int32_t>(source(), "Used", used);
    ZEVP_OutputBatchDataRecord(source());
    source()->SummaryDelivering = 0;
  }
  // One ordinary row.
  void row(const char* disk, int32_t used) {
    SetAttributeValue(source(), "Disk", disk);
    SetAttributeValue(source(), "_LocalTimeStamp", kStamp);
    SetAttributeNumber<int32_t>(source(), "Used", used);
    ZEVP_OutputBatchDataRecord(source());
  }
  std::string written() { return files_.read("out.dat"); }

 private:
  ScratchDirectory files_{"zev_batch_summary"};
  ParsedApplication parsed_;
};

TEST(BatchSummaryOutputTest, ASummaryRowIsWrittenInSummaryOrderFromItsIntervalsStamp) {
  RunInChild([] {
    SummaryRows rows;
    rows.summaryRow("sda", 4, 17);
    rows.row("sdb", 5);
    EXPECT_EQ(rows.written(), std::string(kStamp) + ",APP,GRP,sda,3600,9,4," + kStamp + ",17,\n" + kStamp +
                                  ",APP,GRP,5,sdb,0,0,0," + kStamp + ",\n");
  });
}

TEST(BatchSummaryOutputTest, WithTheSwitchOnlySummaryRowsAreWritten) {
  RunInChild([] {
    setenv("ZEVP_BATCH_SUMMARY_OUTPUT_ONLY", "y", 1);
    TraceCapture trace("*=0x90 storage=0x80");
    SummaryRows rows;
    rows.row("sdb", 5);
    EXPECT_TRUE(trace.contains("Summary Batch Output Only! Batch output bypassed. {"));
    rows.summaryRow("sda", 4, 17);
    EXPECT_EQ(rows.written(), std::string(kStamp) + ",APP,GRP,sda,3600,9,4," + kStamp + ",17,\n");
  });
}

}  // namespace
