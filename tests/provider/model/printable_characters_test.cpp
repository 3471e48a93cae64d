#include "printable_characters.h"

#include <gtest/gtest.h>

#include <string>

#include "zev0/storage.h"

namespace {

TEST(PrintableCharacters, TextStaysAndOtherBytesBecomeHex) {
  char text[] = "line one\r\nline two; (ok)!";
  int32_t length = static_cast<int32_t>(sizeof text - 1);
  EXPECT_EQ(ZEVP_ConvertToPrintableCharacters(text, &length), text);
  EXPECT_EQ(length, static_cast<int32_t>(sizeof text - 1));
  EXPECT_STREQ(text, "line one  line two; (ok)!");

  char bytes[] = {'A', '\0', '\x7f', '\xff', '\n'};
  length = sizeof bytes;
  char* hex = ZEVP_ConvertToPrintableCharacters(bytes, &length);
  ASSERT_NE(hex, bytes);
  EXPECT_EQ(length, 11);
  EXPECT_EQ(std::string(hex), "41007FFF20");
  ZEV0_FreeStorage(&hex);
}

}  // namespace
