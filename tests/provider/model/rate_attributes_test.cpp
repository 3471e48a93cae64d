// Rate attributes on the manual clock: the change, the change in percent and the
// change per second, their first sample, results beyond 32 bits, and previous
// values kept per key in key data groups.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "attribute_entry.h"
#include "manual_clock.h"
#include "parsed_application.h"
#include "record_split.h"
#include "source_entry.h"

namespace {

struct Row {
  std::string record;
  int64_t secondsLater;  // before this row
  std::string value;     // of the rate attribute, as ValueOf writes it
};

struct RateCase {
  const char* name;
  std::vector<std::string> group;  // //NAME, //ATTRIBUTES and the attributes
  std::vector<Row> rows;
};

void RunRateCases(const std::vector<RateCase>& cases) {
  for (const RateCase& c : cases) {
    SCOPED_TRACE(c.name);
    ManualClock clock;
    std::vector<std::string> metafile = {"//APPL Abc"};
    metafile.insert(metafile.end(), c.group.begin(), c.group.end());
    ParsedApplication parsed(metafile);
    SourceEntry* source = parsed.source();
    ASSERT_NE(source, nullptr);
    AttributeEntry* rate = AttributeNamed(source, "Rate");
    for (const Row& row : c.rows) {
      SCOPED_TRACE(row.record);
      clock.advance(row.secondsLater);
      std::string record = row.record;
      ZEVP_MoveDataToAttr(source, record.data(), static_cast<int32_t>(record.size()), nullptr);
      EXPECT_EQ(ValueOf(rate), row.value);
    }
  }
}

const std::vector<std::string> Group(const char* rateType) {
  return {"//NAME Grp P 60", "//ATTRIBUTES ';'", std::string("Rate ") + rateType + " 2000000000"};
}

TEST(RateAttributes, ChangePercentAndPerSecond) {
  RunRateCases({
      {"# up", Group("#"), {{"100", 0, "Rate=0"}, {"130", 0, "Rate=30"}}},
      {"# down", Group("#"), {{"130", 0, "Rate=0"}, {"100", 0, "Rate=-30"}}},
      {"% up", Group("%"), {{"200", 0, "Rate=0"}, {"250", 0, "Rate=25"}}},
      {"% half a percent down rounds to 0", Group("%"), {{"200", 0, "Rate=0"}, {"199", 0, "Rate=0"}}},
      {"% from 0 is 100", Group("%"), {{"0", 0, "Rate=100"}, {"5", 0, "Rate=100"}}},
      {"% beyond 32 bits is held to them", Group("%"), {{"1", 0, "Rate=0"}, {"2000000000", 0, "Rate=2147483647"}}},
      {"? per second", Group("?"), {{"1000", 0, "Rate=0"}, {"1600", 10, "Rate=60"}}},
      {"? within one second divides by 1", Group("?"), {{"1000", 5, "Rate=0"}, {"1600", 0, "Rate=600"}}},
  });
}

TEST(RateAttributes, KeyDataGroupsRateEachKeyAgainstItsOwnPreviousValue) {
  RunRateCases({
      {"# per key",
       {"//NAME Grp K 60", "//ATTRIBUTES ';'", "Host D 8 KEY", "Rate # 100000"},
       {{"A;100", 0, "Rate=0"}, {"B;500", 0, "Rate=0"}, {"A;130", 0, "Rate=30"}, {"B;400", 0, "Rate=-100"}}},
      {"? per key, each with its own previous time",
       {"//NAME Grp K 60", "//ATTRIBUTES ';'", "Host D 8 KEY", "Rate ? 100000"},
       {{"A;100", 0, "Rate=0"}, {"B;100", 5, "Rate=0"}, {"A;200", 5, "Rate=10"}, {"B;200", 5, "Rate=10"}}},
      {"two key attributes: a row matches only on both",
       {"//NAME Grp K 60", "//ATTRIBUTES ';'", "Host D 8 KEY", "Disk D 8 KEY", "Rate # 100000"},
       {{"A;d1;10", 0, "Rate=0"}, {"A;d2;50", 0, "Rate=0"}, {"A;d1;15", 0, "Rate=5"}, {"A;d2;45", 0, "Rate=-5"}}},
  });
}

TEST(RateAttributes, KeyListsAreKeptOnePerKeyInOrderOfFirstAppearance) {
  ManualClock clock;
  ParsedApplication parsed({"//APPL Abc", "//NAME Grp K 60", "//ATTRIBUTES ';'", "Host D 8 KEY", "Rate # 100000"});
  SourceEntry* source = parsed.source();
  for (const char* row : {"A;1", "B;2", "A;3", "C;4", "B;5"}) {
    std::string record = row;
    ZEVP_MoveDataToAttr(source, record.data(), static_cast<int32_t>(record.size()), nullptr);
  }
  std::vector<std::string> keys;
  for (const AttributeEntry* list = source->SavedRows; list != nullptr; list = list->NextCopiedList)
    keys.push_back(ValueOf(list));
  EXPECT_EQ(keys, (std::vector<std::string>{"Host='A'", "Host='B'", "Host='C'"}));
}

}  // namespace
