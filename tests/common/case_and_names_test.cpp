#include <gtest/gtest.h>

#include <string>

#include "trace_capture.h"
#include "zev0/storage.h"
#include "zev0/text.h"

namespace {

TEST(CaseAndNamesTest, UpperCaseInPlaceReturnsTheSameString) {
  char text[] = "Mixed case 42-x";
  EXPECT_EQ(ZEV0_ConvertStringToUpper(text, 0), text);
  EXPECT_STREQ(text, "MIXED CASE 42-X");
}

TEST(CaseAndNamesTest, UpperCaseCopyLeavesTheInputAlone) {
  char text[] = "abc";
  char* copy = ZEV0_ConvertStringToUpper(text, 1);
  ASSERT_NE(copy, nullptr);
  EXPECT_NE(copy, text);
  EXPECT_STREQ(copy, "ABC");
  EXPECT_STREQ(text, "abc");
  ZEV0_FreeStorage(&copy);
}

TEST(CaseAndNamesTest, UpperCaseOfNullIsNullWithATrace) {
  TraceCapture capture("*=0x80");
  EXPECT_EQ(ZEV0_ConvertStringToUpper(nullptr, 0), nullptr);
  EXPECT_EQ(ZEV0_ConvertStringToUpper(nullptr, 1), nullptr);
  EXPECT_EQ(capture.count("***** Input is NULL string"), 2);
}

TEST(CaseAndNamesTest, NameCharactersOutsideTheSetBecomeUnderscores) {
  struct Case {
    std::string name;
    std::string expected;
  } cases[] = {
      {"a.b c", "a_b_c"},
      {"Keep*these-_09AZaz", "Keep*these-_09AZaz"},
      {"tab\there/slash:colon", "tab_here_slash_colon"},
      {"caf\xc3\xa9", "caf__"},
      {"", ""},
  };
  TraceCapture capture("*=0x01");
  for (Case& test : cases) {
    SCOPED_TRACE(test.name);
    ZEV0_SubValidNameCharacter(test.name.data());
    EXPECT_EQ(test.name, test.expected);
  }
  EXPECT_TRUE(capture.contains("Invalid name character . replaced by _"));
}

}  // namespace
