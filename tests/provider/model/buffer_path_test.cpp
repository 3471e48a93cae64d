// The buffer path of the file and socket servers: a buffer in each state, the
// row's filters, the hand-over of an internal output group's unchanged record,
// the summary of a summary source, and a buffer that claims more than its entry
// holds. Routing and summaries are recorded at their seams.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "io_buffer.h"
#include "io_entry.h"
#include "parsed_application.h"
#include "record_paths.h"
#include "routine_overrides.h"
#include "source_entry.h"
#include "source_states.h"
#include "summary_block.h"
#include "table_entry.h"
#include "trace_capture.h"
#include "zev0/storage.h"

namespace {

constexpr int32_t kRecordLength = 64;

// What reached the routing and summary seams.
std::vector<std::string> routed;
std::vector<SourceEntry*> summarised;

void RecordRoute(DPAB*, SourceEntry*, InternalRoutingBlock*, const char* record, int32_t length) {
  routed.emplace_back(record, static_cast<size_t>(length));
}
void RecordSummary(SourceEntry* source) { summarised.push_back(source); }

// An I/O entry of the source with one buffer of kRecordLength bytes.
class InputBuffer {
 public:
  explicit InputBuffer(SourceEntry* source) {
    entry_.Source = source;
    entry_.RecordLength = kRecordLength;
    buffer_ = static_cast<IObuffer*>(ZEV0_GetStorage(static_cast<int32_t>(sizeof(IObuffer)) + kRecordLength));
    std::memset(buffer_, 0, sizeof(IObuffer) + kRecordLength);
  }
  ~InputBuffer() { ZEV0_FreeStorage(&buffer_); }

  // Puts the record into the buffer in that state, with that length (default: the record's).
  IObuffer* fill(const std::string& record, int32_t state, int32_t length = -1) {
    std::memcpy(buffer_->Data(), record.data(), std::min<size_t>(record.size(), kRecordLength));
    buffer_->DataLength = length >= 0 ? length : static_cast<int32_t>(record.size());
    buffer_->State = state;
    return buffer_;
  }
  IOEntry* entry() { return &entry_; }
  IObuffer* buffer() { return buffer_; }

 private:
  IOEntry entry_{};
  IObuffer* buffer_;
};

class BufferPathTest : public ::testing::Test {
 protected:
  void SetUp() override {
    routed.clear();
    summarised.clear();
    overrides_.routines().dispatchInternalOutput = RecordRoute;
    overrides_.routines().updateSummaryDataArray = RecordSummary;
  }
  RoutineOverrides overrides_;
};

TEST_F(BufferPathTest, OnlyABufferOfValidDataMakesARow) {
  ParsedApplication parsed({"//APPL Abc", "//NAME Grp P 60", "//ATTRIBUTES ';'", "A D 8", "N G 100"});
  SourceEntry* source = parsed.source();
  InputBuffer input(source);
  ASSERT_EQ(ZEVP_MoveDataFromBufferToAttr(parsed.anchor(), input.entry(), input.fill("first;1", ZEVP_ValidData)), 1);
  for (int32_t state : {ZEVP_NoStatus, ZEVP_NotInUse, ZEVP_Allocated}) {
    SCOPED_TRACE(BufferStateString[state]);
    TraceCapture trace("*=0x80");
    EXPECT_EQ(ZEVP_MoveDataFromBufferToAttr(parsed.anchor(), input.entry(), input.fill("second;2", state)), 0);
    EXPECT_TRUE(trace.contains("*** Logic error. Buffer @")) << trace.take();
    EXPECT_EQ(input.buffer()->State, ZEVP_NotInUse);
    EXPECT_EQ(input.buffer()->DataLength, 0);
    EXPECT_EQ(ValuesOf(source), (std::vector<std::string>{"A='first'", "N=1"}));
  }
  EXPECT_EQ(input.buffer()->State, ZEVP_NotInUse);
}

TEST_F(BufferPathTest, TheRowIsFilteredAndTheBufferFreedEitherWay) {
  ParsedApplication parsed({"//APPL Abc", "//NAME Grp P 60", "//ATTRIBUTES ';'", "A D 8", "N G 100 +FILTER={NUMBER>(0,5)}"});
  SourceEntry* source = parsed.source();
  InputBuffer input(source);
  struct Row {
    const char* record;
    int passes;
  };
  for (Row row : {Row{"a;6", 1}, Row{"b;5", 0}, Row{"c;70", 1}}) {
    SCOPED_TRACE(row.record);
    EXPECT_EQ(ZEVP_MoveDataFromBufferToAttr(parsed.anchor(), input.entry(), input.fill(row.record, ZEVP_ValidData)),
              row.passes);
    EXPECT_EQ(input.buffer()->State, ZEVP_NotInUse);
    EXPECT_EQ(input.buffer()->DataLength, 0);
  }
  EXPECT_EQ(routed, std::vector<std::string>{});
  EXPECT_EQ(summarised, std::vector<SourceEntry*>{});
}

TEST_F(BufferPathTest, AnInternalOutputGroupHandsOnTheUnchangedRecordOfRowsThatPass) {
  ParsedApplication parsed({"//APPL Abc", "//NAME Out P 60", "//INTERNAL OUTPUT Route", "//ATTRIBUTES ';'", "A D 8",
                            "N G 100 +FILTER={NUMBER>(0,5)}", "//NAME In P 60", "//INTERNAL INPUT Route",
                            "//ATTRIBUTES ';'", "X D 8"});
  SourceEntry* source = parsed.source();
  InputBuffer input(source);
  EXPECT_EQ(ZEVP_MoveDataFromBufferToAttr(parsed.anchor(), input.entry(), input.fill("pass;6", ZEVP_ValidData)), 1);
  EXPECT_EQ(ZEVP_MoveDataFromBufferToAttr(parsed.anchor(), input.entry(), input.fill("fail;5", ZEVP_ValidData)), 0);
  EXPECT_EQ(routed, std::vector<std::string>{"pass;6"});
  EXPECT_EQ(ValuesOf(source), (std::vector<std::string>{"A='fail'", "N=5"}));
}

TEST_F(BufferPathTest, ASummarySourceAddsRowsThatPassAndReadsNoSummaryAttributeFromTheRecord) {
  ParsedApplication parsed({"//APPL Abc", "//NAME Grp P 60", "//ATTRIBUTES ';'", "S1 D 4", "S2 D 4", "S3 D 4",
                            "A D 8", "N G 100 +FILTER={NUMBER>(0,5)}"});
  SourceEntry* source = parsed.source();
  // A block of the summary's own; the release frees it.
  source->Summary = ZEVP_CreateSummaryManagementBlock(60, 0);
  InputBuffer input(source);
  EXPECT_EQ(ZEVP_MoveDataFromBufferToAttr(parsed.anchor(), input.entry(), input.fill("a;6", ZEVP_ValidData)), 1);
  EXPECT_EQ(ValuesOf(source), (std::vector<std::string>{"S1 -", "S2 -", "S3 -", "A='a'", "N=6"}));
  EXPECT_EQ(ZEVP_MoveDataFromBufferToAttr(parsed.anchor(), input.entry(), input.fill("b;1", ZEVP_ValidData)), 0);
  EXPECT_EQ(summarised, std::vector<SourceEntry*>{source});
}

TEST_F(BufferPathTest, ALengthBeyondTheRecordLengthIsCutToIt) {
  ParsedApplication parsed({"//APPL Abc", "//NAME Grp P 60", "//ATTRIBUTES ';'", "A R 200"});
  SourceEntry* source = parsed.source();
  InputBuffer input(source);
  std::string record(kRecordLength, 'r');
  TraceCapture trace("*=0x80");
  EXPECT_EQ(ZEVP_MoveDataFromBufferToAttr(parsed.anchor(), input.entry(),
                                          input.fill(record, ZEVP_ValidData, kRecordLength + 1000)),
            1);
  EXPECT_EQ(ValuesOf(source), std::vector<std::string>{"A='" + record + "'"});
  EXPECT_TRUE(trace.contains("more than the record length 64")) << trace.take();
}

TEST_F(BufferPathTest, AHolderWithoutSourceMakesNoRow) {
  IOEntry entry{};
  InputBuffer input(nullptr);
  TraceCapture trace("*=0x80");
  EXPECT_EQ(ZEVP_MoveDataFromBufferToAttr(nullptr, &entry, input.fill("a", ZEVP_ValidData)), 0);
  EXPECT_EQ(input.buffer()->State, ZEVP_NotInUse);
}

}  // namespace
