// Joining the lines of a monitored file into records: begin strings, line counts
// with their compare rules, value counts, line ends and records too long for
// their buffer.
#include "record_reader.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "scratch_directory.h"
#include "table_entry.h"
#include "trace_capture.h"

namespace {

struct Group {
  const char* delimiter = " ";
  int32_t attributes = 10;
  int32_t lineCount = 1;
  const char* beginString = nullptr;
  const char* rule = nullptr;
  bool noValueCount = false;
};

struct Reading {
  std::vector<std::string> records;
  bool unendedLineLeft = false;
  int64_t resumePosition = 0;
  int32_t lines = 0;
};

// Reads every record of the content as one pass does.
Reading ReadRecords(const std::string& content, const Group& group, int32_t length = 200, bool leaveUnended = false) {
  ScratchDirectory scratch;
  FILE* file = std::fopen(scratch.write("monitored", content).c_str(), "rb");
  EXPECT_NE(file, nullptr);
  TableEntry table;
  std::memset(&table, 0, sizeof table);
  table.AttributesDefined = group.attributes;
  table.RecordSetCount = group.lineCount;
  table.NoValueCountTest = group.noValueCount ? 1 : 0;
  std::string beginString = group.beginString != nullptr ? group.beginString : "";
  table.RecordSetDelimiter = group.beginString != nullptr ? beginString.data() : nullptr;
  table.RecordSetDelimiterLength = static_cast<int32_t>(beginString.size());

  zevp::MonitorFileStream stream(file);
  std::unique_ptr<RecordSetCompareRule> rule = group.rule != nullptr ? ZEVP_FormatRecordSetRule(group.rule) : nullptr;
  EXPECT_EQ(rule != nullptr, group.rule != nullptr);
  MonitorFileRead read;
  read.stream = &stream;
  read.table = &table;
  read.delimiter = group.delimiter;
  read.beginStringMode = group.beginString != nullptr;
  read.rule = rule.get();
  read.leaveUnendedLine = leaveUnended;

  Reading result;
  std::vector<char> record(static_cast<size_t>(length));
  while (ReadMonitorFileRecord(read, record.data(), length) != nullptr) result.records.push_back(record.data());
  result.unendedLineLeft = read.unendedLineLeft;
  result.resumePosition = read.resumePosition;
  result.lines = read.recordCounter;
  std::fclose(file);
  return result;
}

using Records = std::vector<std::string>;

TEST(RecordReaderTest, RecordSetsJoinLinesByBeginStringCountAndRule) {
  struct Case {
    const char* label;
    std::string content;
    Group group;
    Records records;
  } cases[] = {
      {"begin string: the begin lines are in no record", "BEGIN\na\nb\nBEGIN\nc\n",
       {" ", 10, 1, "BEGIN"}, {"a b", "c"}},
      {"a begin line needs the whole string", "BEGIN\na\nBEG\nBEGINx\nb\n", {" ", 10, 1, "BEGIN"}, {"a BEG", "b"}},
      {"count 3 and a NEW rule", "HDR1\nx\nHDR2\ny\nz\nw\n", {" ", 10, 3, nullptr, "NEW(0,==,HDR"},
       {"HDR1 x", "HDR2 y z", "w"}},
      {"count 5 and an END rule; a line too short to hold the text differs", "AAOK1\nBBOK2\nCCNO3\nDDOK4\nEE\nFFOK\n",
       {" ", 10, 5, nullptr, "END(2,!=,OK"}, {"AAOK1 BBOK2 CCNO3", "DDOK4 EE", "FFOK"}},
      {"a NEW rule beyond a short line matches no ==", "ab\nxxxxxX\ncd\nyyyyyX\n", {" ", 10, 4, nullptr, "NEW(5,==,X"},
       {"ab", "xxxxxX cd", "yyyyyX"}},
      {"a NEW rule beyond a short line matches !=", "aaaaaX\nbb\ncccccX\n", {" ", 10, 4, nullptr, "NEW(5,!=,X"},
       {"aaaaaX", "bb cccccX"}},
      {"blank delimiter, 4 attributes, one line a record", "a b\nc d\n", {" ", 4, 1}, {"a b", "c d"}},
      {"blank delimiter, 4 attributes, two lines a record", "a b\nc d\ne\n", {" ", 4, 2}, {"a b c d", "e"}},
      {"the values of the attributes end a record", "1,2\n3\n4,5,6\n", {",", 3, 5}, {"1,2,3", "4,5,6"}},
      {"a run of delimiters is one separator", "1,,2\n,3\n", {",", 3, 5}, {"1,,2,,3"}},
      {"without the value count the line count ends it", "1,2\n3\n4,5,6\n", {",", 3, 2, nullptr, nullptr, true},
       {"1,2,3", "4,5,6"}},
      {"a begin and end pair wraps each line", "[a]\nb\n", {"[]", 10, 2}, {"[a][b"}},
      {"no delimiter joins lines as they are", "ab\ncd\n", {nullptr, 10, 2}, {"abcd"}},
      {"empty lines and line ends are no part of a record", "a\r\n\n\r\nb\n", {" ", 10, 1}, {"a", "b"}},
      {"a last line without its end", "a\nb", {" ", 10, 1}, {"a", "b"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    EXPECT_EQ(ReadRecords(c.content, c.group).records, c.records);
  }
}

TEST(RecordReaderTest, RecordTooLongForItsBufferIsCutAndOnlyItsRestDropped) {
  TraceCapture trace("*=0x80");
  struct Case {
    const char* label;
    std::string content;
    Group group;
    Records records;
    int cut;        // records cut
    int discarded;  // lines dropped after a cut
  } cases[] = {
      {"one long line", "short\nthis line is far too long\nnext\n", {" ", 10, 1}, {"short", "this line is fa", "next"},
       1, 0},
      {"a line that fills the buffer exactly fits", "fifteen chars..\nnext\n", {" ", 10, 1},
       {"fifteen chars..", "next"}, 0, 0},
      {"the second line of a record crosses the end", "aaaaaaaaaa\nbbbbbbbbbb\nc\nd\n", {nullptr, 10, 2},
       {"aaaaaaaaaabbbbb", "cd"}, 1, 0},
      {"the later lines of a cut record are dropped", "aaaaaaaaaaaaaaaaaaaa\nb\nc\nd\n", {nullptr, 10, 3},
       {"aaaaaaaaaaaaaaa", "d"}, 1, 2},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    EXPECT_EQ(ReadRecords(c.content, c.group, 16).records, c.records);
    EXPECT_EQ(trace.count("exceeded defined record size 16"), c.cut);
    EXPECT_EQ(trace.count("***** File record discarded"), c.discarded);
    trace.take();
  }
}

TEST(RecordReaderTest, UnendedLastLineIsLeftForTheNextPassWhenAsked) {
  Reading tail = ReadRecords("a\nb\npart", {" ", 10, 1}, 200, true);
  EXPECT_EQ(tail.records, (Records{"a", "b"}));
  EXPECT_TRUE(tail.unendedLineLeft);
  EXPECT_EQ(tail.resumePosition, 4) << "before the unended line";
  EXPECT_EQ(tail.lines, 2);

  Reading ended = ReadRecords("a\nb\n", {" ", 10, 1}, 200, true);
  EXPECT_EQ(ended.records, (Records{"a", "b"}));
  EXPECT_FALSE(ended.unendedLineLeft);
  EXPECT_EQ(ended.resumePosition, 4);
}

TEST(RecordReaderTest, RuleTextsAreReadOrRefused) {
  struct Case {
    const char* text;
    bool valid;
    int32_t type;
    int32_t offset;
    int32_t compareOperator;
    const char* compare;
  } cases[] = {
      {"NEW(0,==,BEGIN", true, ZEVP_RULE_NEW, 0, ZEVP_RULE_EQUAL, "BEGIN"},
      {"end(12,!=,a b ", true, ZEVP_RULE_END, 12, ZEVP_RULE_NOT_EQUAL, "a b "},
      {"NEWEST( 3 ,==x,=", true, ZEVP_RULE_NEW, 3, ZEVP_RULE_EQUAL, "="},
      {"END(0,==,", false, 0, 0, 0, nullptr},
      {"XYZ(0,==,A", false, 0, 0, 0, nullptr},
      {"NEW 0,==,A", false, 0, 0, 0, nullptr},
      {"NEW(0==A", false, 0, 0, 0, nullptr},
      {"NEW(0,<>,A", false, 0, 0, 0, nullptr},
      {"NEW(-1,==,A", false, 0, 0, 0, nullptr},
      {"NEW(x,==,A", false, 0, 0, 0, nullptr},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    std::unique_ptr<RecordSetCompareRule> rule = ZEVP_FormatRecordSetRule(c.text);
    ASSERT_EQ(rule != nullptr, c.valid);
    if (!c.valid) continue;
    EXPECT_EQ(rule->Type, c.type);
    EXPECT_EQ(rule->Offset, c.offset);
    EXPECT_EQ(rule->Operator, c.compareOperator);
    EXPECT_EQ(rule->CompareText, c.compare);
  }
}

}  // namespace
