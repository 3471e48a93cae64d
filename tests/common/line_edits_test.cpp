#include <gtest/gtest.h>

#include <string>

#include "trace_capture.h"
#include "zev0/text.h"

namespace {

TEST(LineEditsTest, RemoveCRandLFEndsTheLineOnlyNearItsEnd) {
  struct Case {
    std::string line;
    char mode;
    std::string expected;  // up to the first NUL
  } cases[] = {
      {"abc\r\n", 'B', "abc"},
      {"a\rbc\n", 'B', "a bc"},
      {"abc\n", 'R', "abc\n"},
      {"abc\n", 'F', "abc"},
      {"abc\r\n", 'R', "abc"},
      {"abc\r\n", 'F', "abc\r"},
      {"a\nbc\r\n", 'B', "a bc"},    // only the first line feed is touched
      {"ab\r\rcd", 'R', "ab \rcd"},  // only the first carriage return is touched
      {"\n", 'B', ""},
      {"", 'B', ""},
      {"abc\r\n", 'X', "abc\r\n"},
  };
  for (Case& test : cases) {
    SCOPED_TRACE(testing::PrintToString(test.line) + " mode " + test.mode);
    ZEV0_RemoveCRandLF(test.line.data(), test.mode);
    EXPECT_EQ(std::string(test.line.c_str()), test.expected);
  }
}

TEST(LineEditsTest, TruncateFromLeftKeepsTheLastCharacters) {
  char digits[] = "1234567";
  ZEV0_TruncateFromLeft(digits, 7, 5);
  EXPECT_STREQ(digits, "34567");

  char shortEnough[] = "12345";
  ZEV0_TruncateFromLeft(shortEnough, 5, 5);
  EXPECT_STREQ(shortEnough, "12345");
}

TEST(LineEditsTest, TerminateStringCopiesUpToTheTerminatorWithinTheLimit) {
  const char bytes[] = {'a', 'b', ',', 'c', 'd'};
  EXPECT_STREQ(ZEV0_terminateString(bytes, ',', 5), "ab");
  EXPECT_STREQ(ZEV0_terminateString(bytes, ';', 5), "ab,cd");
  EXPECT_STREQ(ZEV0_terminateString(bytes, ',', 2), "ab");
  EXPECT_STREQ(ZEV0_terminateString(bytes, 'd', 3), "ab,");
  EXPECT_STREQ(ZEV0_terminateString(bytes, ',', 0), "");
  EXPECT_STREQ(ZEV0_terminateString("abc", ' ', 1025), "abc");  // not read past the text's NUL
}

// The copy goes into a 1024-byte buffer: a copy that does not fit is refused, not
// written past the buffer.
TEST(LineEditsTest, TerminateStringRefusesACopyLongerThanItsBuffer) {
  std::string field(2000, 'x');
  EXPECT_EQ(std::string(ZEV0_terminateString(field.data(), ' ', 1023)), std::string(1023, 'x'));

  TraceCapture capture("*=0x80");
  EXPECT_EQ(ZEV0_terminateString(field.data(), ' ', 1024), nullptr);
  EXPECT_EQ(ZEV0_terminateString(field.data(), ' ', 2000), nullptr);
  EXPECT_TRUE(capture.contains("does not fit"));

  field[10] = ' ';
  EXPECT_STREQ(ZEV0_terminateString(field.data(), ' ', 2000), "xxxxxxxxxx");
}

}  // namespace
