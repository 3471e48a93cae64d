// Partner buffers to the network code and back, in place.
#include "partner_code_conversion.h"

#include <gtest/gtest.h>

#include <string>

TEST(PartnerCodeConversionTest, TextGoesToEBCDICAndBack) {
  std::string text = "Abc 09,;@";
  ZEVP_ConvertBufferToNetwork(text.data(), static_cast<int>(text.size()));
  EXPECT_EQ(text, std::string("\xC1\x82\x83\x40\xF0\xF9\x6B\x5E\x7C"));
  ZEVP_ConvertBufferToLocal(text.data(), static_cast<int>(text.size()), 1);
  EXPECT_EQ(text, "Abc 09,;@");
}
