// What the data thread makes of one data record before it files it: the source name
// and the row.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "raw_dch_peer.h"
#include "record_row.h"
#include "record_source.h"
#include "trace_capture.h"
#include "zev0/typed_field.h"

namespace {

TEST(RecordSourceNameTest, AHostNameLosesItsDomainAndALongNameKeepsItsLast32Characters) {
  const struct {
    std::string received;
    std::string filed;
  } cases[] = {
      {"host1", "host1"},
      {"host1.example.com", "host1"},
      {"127.0.0.1", "127.0.0.1"},
      {"10.1.200.7", "10.1.200.7"},
      {"10.1.2", "10"},  // not an address
      {std::string(8, 'a') + std::string(32, 'b'), std::string(32, 'b')},
      {std::string(32, 'c'), std::string(32, 'c')},
      {std::string(40, 'd') + ".example.com", std::string(32, 'd')},
      {std::string("nul\0tail", 8), "nul"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.received);
    char filed[kRecordSourceNameSize];
    std::memset(filed, 'x', sizeof filed);
    recordSourceName(c.received.data(), c.received.size(), filed);
    EXPECT_EQ(std::string(filed), c.filed);
    EXPECT_EQ(filed[kRecordSourceNameSize - 1], '\0');
  }
}

// A row of the origin node, NUM (4), TEXT (6) and LAST (2).
constexpr int kRowSize = 44;
rowLayout Layout() {
  rowLayout layout;
  layout.sampleType = 'S';
  layout.columns = {{0, 32, 2, false}, {32, 4, 1, false}, {36, 6, 2, false}, {42, 2, 2, false}};
  return layout;
}

// The row of a record whose fields follow its head.
recordRow Filled(const rawdch::Message& fields, const rowLayout& layout = Layout()) {
  std::string message = fields.bytes();
  DataFieldReader reader(message.data(), message.size());
  return fillRecordRow(reader, layout, kRowSize, "TBL");
}

std::string Raw(const recordRow& filled) { return std::string(filled.row.get(), kRowSize); }

TEST(RecordRowTest, ValuesGoToTheirColumnsOverBlanks) {
  rawdch::Message values;
  values.raw(rawdch::kAttrRawValue, std::string("\x01\x02\x03\x04", 4)).raw(rawdch::kAttrRawValue, "abc");
  recordRow filled = Filled(values);
  ASSERT_NE(filled.row, nullptr);
  EXPECT_EQ(Raw(filled), std::string(32, ' ') + "\x01\x02\x03\x04" + "abc   " + "  ");
  EXPECT_EQ(filled.noValueFlag, 0);
  EXPECT_FALSE(filled.offsetError);
}

TEST(RecordRowTest, AnEmptyValueMarksItsColumnAsHavingNone) {
  rawdch::Message values;
  values.raw(rawdch::kAttrRawValue, "").raw(rawdch::kAttrRawValue, "x").raw(rawdch::kAttrRawValue, "");
  recordRow filled = Filled(values);
  EXPECT_EQ(Raw(filled), std::string(32, ' ') + std::string("^\0\0\0", 4) + "x     " + std::string("^\0", 2));
  EXPECT_EQ(filled.noValueFlag, 1);
}

// The faults: a value longer than its column ran into the next columns and past the
// row, and values beyond the last column were written past the column records.
TEST(RecordRowTest, RegressionALongValueIsCutToItsColumnAndExcessValuesAreIgnored) {
  TraceCapture capture("*=0x80");
  rawdch::Message values;
  values.raw(rawdch::kAttrRawValue, "12345678")
      .raw(rawdch::kAttrRawValue, "abcdefghij")
      .raw(rawdch::kAttrRawValue, "zzzz")
      .raw(rawdch::kAttrRawValue, "extra")
      .raw(rawdch::kAttrRawValue, "more");
  recordRow filled = Filled(values);
  EXPECT_EQ(Raw(filled), std::string(32, ' ') + "1234" + "abcdef" + "zz");
  EXPECT_TRUE(capture.contains("Warning: value of 10 bytes for column 2 of table <TBL> cut to 6 bytes."));
  EXPECT_TRUE(capture.contains("Warning: 2 value(s) beyond the 3 column(s) of table <TBL> ignored."));
}

TEST(RecordRowTest, TheWalkEndsAtAFieldOfAnotherTypeOrAColumnBeyondTheRow) {
  rawdch::Message values;
  values.raw(rawdch::kAttrRawValue, "1234").text(rawdch::kSourceName, "x").raw(rawdch::kAttrRawValue, "abc");
  EXPECT_EQ(Raw(Filled(values)), std::string(32, ' ') + "1234" + std::string(8, ' '));

  TraceCapture capture("*=0x80");
  rowLayout broken = Layout();
  broken.columns[2].offset = kRowSize + 1;
  rawdch::Message twoValues;
  twoValues.raw(rawdch::kAttrRawValue, "1234").raw(rawdch::kAttrRawValue, "abc");
  recordRow filled = Filled(twoValues, broken);
  EXPECT_TRUE(filled.offsetError);
  EXPECT_EQ(Raw(filled), std::string(32, ' ') + "1234" + std::string(8, ' ')) << "filled as far as it went";
  EXPECT_TRUE(capture.contains("Error: offset=45 > 44"));
}

}  // namespace
