#include "attribute_register.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "attr_info_list.h"
#include "trace_capture.h"

namespace {

struct GoodText {
  const char* name;
  std::string text;
  std::string attrName;
  char type;
  int length;
  bool keyed;
  bool atomic;
  std::string enumerations;
  std::string help;
};

const std::string k245(245, 'h');

const GoodText kGoodTexts[] = {
    {"key and atomic display", "@$NAME,D,32, , ;", "NAME", 'D', 32, true, true, " ", "No attribute Help Defined"},
    {"atomic counter", "$CNT,C,4, , ;", "CNT", 'C', 4, false, true, " ", "No attribute Help Defined"},
    {"key gauge with enumerations", "@LVL,G,2,low|high,The level;", "LVL", 'G', 2, true, false, "low|high",
     "The level"},
    {"plain time stamp", "WHEN,T,16,x,When it happened;", "WHEN", 'T', 16, false, false, " ", "When it happened"},
    {"help with commas taken whole, separators blanked", "N,O,8, ,a,b:c'd\"e;", "N", 'O', 8, false, false, " ",
     "a b c d e"},
    {"invalid name characters replaced", "na me.x,D,4, , ;", "na_me_x", 'D', 4, false, false, " ",
     "No attribute Help Defined"},
    {"'$' before '@' is no key mark", "$@N,S,2, , ;", "_N", 'S', 2, false, true, " ", "No attribute Help Defined"},
    {"an empty field is skipped and the next moves up", "A,,C,4, , ;", "A", 'C', 4, false, false, " ",
     "No attribute Help Defined"},
    {"leading semicolons skipped", ";;A,D,1, ,h;", "A", 'D', 1, false, false, " ", "h"},
    {"type is the field's first character", "A,Display,3, ,h;", "A", 'D', 3, false, false, " ", "h"},
    {"length read as a decimal number", "A,D, 12xy, ,h;", "A", 'D', 12, false, false, " ", "h"},
    {"no terminating semicolon", "A,D,5, ,h", "A", 'D', 5, false, false, " ", "h"},
    {"longest name", std::string(201, 'n') + ",D,1, ,h;", std::string(201, 'n'), 'D', 1, false, false, " ", "h"},
    {"help cut to 245 characters", "A,D,1, ," + k245 + "TAIL;", "A", 'D', 1, false, false, " ", k245},
    {"zero length", "A,D,0, ,h;", "A", 'D', 0, false, false, " ", "h"},
    {"longest length", "A,D,32767, ,h;", "A", 'D', 32767, false, false, " ", "h"},
};

TEST(AttributeRegisterTest, GoodDescriptions) {
  for (const GoodText& c : kGoodTexts) {
    SCOPED_TRACE(c.name);
    AttributeRegisterParser parser(c.text.c_str());
    AttributeDescription d;
    ASSERT_EQ(parser.next(&d), 1);
    EXPECT_EQ(d.name, c.attrName);
    EXPECT_EQ(d.type, c.type);
    EXPECT_EQ(d.length, c.length);
    EXPECT_EQ(d.keyed, c.keyed);
    EXPECT_EQ(d.atomic, c.atomic);
    EXPECT_EQ(d.enumerations, c.enumerations);
    EXPECT_EQ(d.help, c.help);
    EXPECT_EQ(parser.next(&d), 0);
  }
}

struct BadText {
  const char* name;
  std::string text;
  int goodBefore;  // descriptions read before the bad one
  std::string error;
};

const BadText kBadTexts[] = {
    {"name only", "A;", 0, "Error: typeStr was NULL."},
    {"no length", "A,D;", 0, "Error: lenStr was NULL."},
    {"no enumerations", "A,D,4;", 0, "Error: ENUM was NULL."},
    {"no help", "A,D,4, ;", 0, "Error: helpText was NULL."},
    {"empty help", "A,D,4,e,;", 0, "Error: helpText was NULL."},
    {"nothing but commas", ",,,;", 0, "Error: name was NULL."},
    {"a mark and no name", "@,D,4, , ;", 0, "Error: name was NULL."},
    {"negative length", "A,D,-1, , ;", 0, "Error: attribute <A> length <-1> out of range"},
    {"length beyond 16 bits", "A,D,32768, , ;", 0, "Error: attribute <A> length <32768> out of range"},
    {"huge length", "A,D,99999999999999999999, , ;", 0, "out of range"},
    {"name of 202 characters", std::string(202, 'n') + ",D,1, ,h;", 0, "length > 201"},
    {"second of two", "A,D,4, , ;B,C;", 1, "Error: lenStr was NULL."},
    {"fragment after the last semicolon", "A,D,4, , ;B", 1, "Error: typeStr was NULL."},
};

TEST(AttributeRegisterTest, BadDescriptionsEndTheParseWithTheirError) {
  for (const BadText& c : kBadTexts) {
    SCOPED_TRACE(c.name);
    TraceCapture capture("*=0x80");
    AttributeRegisterParser parser(c.text.c_str());
    AttributeDescription d;
    for (int i = 0; i < c.goodBefore; ++i) ASSERT_EQ(parser.next(&d), 1);
    EXPECT_EQ(parser.next(&d), -1);
    EXPECT_TRUE(capture.contains(c.error)) << capture.take();
  }
}

TEST(AttributeRegisterTest, EmptyAndMissingTextsHoldNoAttributes) {
  AttributeDescription d;
  EXPECT_EQ(AttributeRegisterParser("").next(&d), 0);
  EXPECT_EQ(AttributeRegisterParser(";;").next(&d), 0);
  EXPECT_EQ(AttributeRegisterParser(nullptr).next(&d), 0);
}

std::string attributes(int count) {
  std::string text;
  for (int i = 1; i <= count; ++i) text += "A" + std::to_string(i) + ",C,4, , ;";
  return text;
}

TEST(AttributeRegisterTest, ListTakesTheAttributesInTextOrder) {
  attrInfoList list(nullptr, "GRP", "SRC", 'P', 60, "FIRST,D,4, , ;SECOND,C,4, , ;THIRD,G,2, , ;", 0);
  ASSERT_EQ(list.errors(), 0);
  EXPECT_EQ(list.noOfElements(), 3);
  std::vector<std::string> names;
  attrInfoIterator walk(list.attributes());
  while (const attrInfoEntry* attribute = walk.Next()) names.emplace_back(attribute->name());
  EXPECT_EQ(names, (std::vector<std::string>{"FIRST", "SECOND", "THIRD"}));
  EXPECT_STREQ(list.attrRegister(), "FIRST,D,4, , ;SECOND,C,4, , ;THIRD,G,2, , ;");
  EXPECT_EQ(list.getAttrType("SECOND"), 'C');
  EXPECT_EQ(list.getAttrType("SECON"), '?');
}

TEST(AttributeRegisterTest, SampleTypeIsUpperCasedAndChecked) {
  TraceCapture capture("*=0x80");
  for (char type : {'P', 'E', 'S', 'K', 'N', 'p', 'k'}) {
    attrInfoList list(nullptr, "GRP", "SRC", type, 60, "A,C,4, , ;", 0);
    EXPECT_EQ(list.errors(), 0) << type;
    EXPECT_EQ(list.attrType(), std::toupper(type));
  }
  attrInfoList bad(nullptr, "GRP", "SRC", 'X', 60, "A,C,4, , ;", 0);
  EXPECT_NE(bad.errors(), 0);
  EXPECT_EQ(bad.noOfElements(), 0);
  EXPECT_TRUE(capture.contains("Error: Invalid Data Type <X>"));
}

TEST(AttributeRegisterTest, DefaultColumnLimitAccepts63AttributesAndRefuses64) {
  TraceCapture capture("*=0x80");
  attrInfoList accepted(nullptr, "GRP", "SRC", 'P', 60, attributes(63).c_str(), 0);
  EXPECT_EQ(accepted.errors(), 0);
  EXPECT_EQ(accepted.noOfElements(), 63);
  attrInfoList refused(nullptr, "GRP", "SRC", 'P', 60, attributes(64).c_str(), 0);
  EXPECT_NE(refused.errors(), 0);
  EXPECT_TRUE(capture.contains("Error: Maximum allowed number of attributes <63> exceeded."));
}

TEST(AttributeRegisterTest, ColumnLimitFollowsWjdMaxcols) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");  // the limit is read once per process
  EXPECT_EXIT(
      {
        setenv("WJD_MAXCOLS", "10", 1);
        attrInfoList accepted(nullptr, "GRP", "SRC", 'P', 60, attributes(9).c_str(), 0);
        attrInfoList refused(nullptr, "GRP", "SRC", 'P', 60, attributes(10).c_str(), 0);
        std::exit(accepted.errors() == 0 && refused.errors() != 0 ? 0 : 1);
      },
      ::testing::ExitedWithCode(0), "");
}

TEST(AttributeRegisterTest, FirstBadAttributeRefusesTheList) {
  TraceCapture capture("*=0x80");
  attrInfoList list(nullptr, "GRP", "SRC", 'P', 60, "A,C,4, , ;B,C;C,C,4, , ;", 0);
  EXPECT_NE(list.errors(), 0);
  EXPECT_EQ(list.noOfElements(), 1);  // C is never read
  EXPECT_TRUE(capture.contains("Error: lenStr was NULL."));
}

}  // namespace
