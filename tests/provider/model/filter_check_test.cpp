// Attribute filters on the row a split left: accept and reject filters of text
// and numeric terms joined by OR and AND, status rows, and several filtered
// attributes.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "filter_check.h"
#include "parsed_application.h"
#include "record_split.h"
#include "source_entry.h"

namespace {

struct FilteredRow {
  std::string record;
  int passes;
  int16_t sequence = ZEVP_DATA_SEQUENCE_ROW;
};

struct FilterCase {
  const char* name;
  std::vector<std::string> attributes;
  std::vector<FilteredRow> rows;
};

TEST(FilterCheck, RowsAgainstTheFiltersOfTheirAttributes) {
  const std::vector<FilterCase> cases = {
      {"no filter passes every row", {"A D 4", "B G"}, {{"x;1", 1}, {";", 1}}},
      {"an accept filter of two scans joined by OR",
       {"Msg D 20 +FILTER={SCAN(0,disk) OR SCAN(0,cpu)}"},
       {{"disk full", 1}, {"high cpu", 1}, {"memory low", 0}}},
      {"a scan from an offset", {"Msg D 20 +FILTER={SCAN(3,x)}"}, {{"x..", 0}, {"abcx", 1}, {"ab", 0}}},
      {"an accept filter of a range joined by AND",
       {"N G 100 +FILTER={NUMBER>=(0,10) AND NUMBER<=(0,20)}"},
       {{"10", 1}, {"20", 1}, {"9", 0}, {"21", 0}}},
      {"a reject filter of one match, never past the loaded value",
       {"Msg D 20 -FILTER={MATCH(2,err)}"},
       {{"E:error", 0}, {"E:warn", 1}, {"E:er", 1}, {"err", 1}}},
      {"a 2-byte value is read with its sign", {"N G 100 +FILTER={NUMBER>(0,0)}"}, {{"-1", 0}, {"1", 1}}},
      {"a reject filter joined by AND rejects the rows for which all its terms hold",
       {"N G 100 -FILTER={NUMBER>=(0,10) AND NUMBER<=(0,20)}"},
       {{"15", 0}, {"5", 1}, {"25", 1}}},
      {"equal, less and greater on a 4-byte value",
       {"N G 100000 +FILTER={NUMBER=(0,40000) OR NUMBER<(0,-5) OR NUMBER>(0,90000)}"},
       {{"40000", 1}, {"-6", 1}, {"90001", 1}, {"-5", 0}, {"90000", 0}, {"39999", 0}}},
      {"a rate is filtered by its computed rate", {"R # 1000 +FILTER={NUMBER>(0,0)}"}, {{"100", 0}, {"130", 1}}},
      {"two filtered attributes: the row passes only when both do",
       {"A D 8 +FILTER={SCAN(0,a)}", "N G 100 +FILTER={NUMBER=(0,5)}"},
       {{"a;5", 1}, {"a;6", 0}, {"b;5", 0}}},
      {"status and delete rows pass unfiltered",
       {"N G 100 +FILTER={NUMBER>(0,0)}"},
       {{"-1", 1, 1}, {"-1", 1, 16}, {"-1", 1, 221}, {"-1", 1, 255}, {"-1", 0, 0}, {"-1", 0, 17}}},
  };
  for (const FilterCase& c : cases) {
    SCOPED_TRACE(c.name);
    std::vector<std::string> metafile = {"//APPL Abc", "//NAME Grp P 60", "//ATTRIBUTES ';'"};
    metafile.insert(metafile.end(), c.attributes.begin(), c.attributes.end());
    ParsedApplication parsed(metafile);
    ASSERT_EQ(parsed.messages(), std::vector<std::string>{});
    SourceEntry* source = parsed.source();
    for (const FilteredRow& row : c.rows) {
      SCOPED_TRACE(row.record + " sequence " + std::to_string(row.sequence));
      std::string record = row.record;
      ZEVP_MoveDataToAttr(source, record.data(), static_cast<int32_t>(record.size()), nullptr);
      source->DataSequence = row.sequence;
      std::vector<std::string> before = ValuesOf(source);
      EXPECT_EQ(ZEVP_CheckAttributesPassFilters(source), row.passes);
      EXPECT_EQ(ValuesOf(source), before);
    }
  }
}

}  // namespace
