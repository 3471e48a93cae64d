// The library's own character conversion of requests and replies.
#include <gtest/gtest.h>

#include <string>

#include "zevpapi/dp_api.h"

namespace {

TEST(ApiCodeConversionTest, TextGoesToTheNetworkCodeAndComesBack) {
  std::string text = "ZEVPAPI300 az09#;";
  ZEVP_ConvertBufferToNetwork(text.data(), static_cast<int>(text.size()));
  EXPECT_EQ(text, "\xE9\xC5\xE5\xD7\xC1\xD7\xC9\xF3\xF0\xF0\x40\x81\xA9\xF0\xF9\x7B\x5E");
  ZEVP_ConvertBufferToLocal(text.data(), static_cast<int>(text.size()), 0);
  EXPECT_EQ(text, "ZEVPAPI300 az09#;");
}

// The table covers 7-bit characters only: a byte above 0x7F is never an index past it.
TEST(ApiCodeConversionTest, ALocalByteAbove7FBecomesTheNetworkQuestionMark) {
  std::string bytes;
  for (int byte = 0x80; byte <= 0xFF; ++byte) bytes += static_cast<char>(byte);
  ZEVP_ConvertBufferToNetwork(bytes.data(), static_cast<int>(bytes.size()));
  EXPECT_EQ(bytes, std::string(0x80, '\x6F'));
  ZEVP_ConvertBufferToLocal(bytes.data(), static_cast<int>(bytes.size()), 0);
  EXPECT_EQ(bytes, std::string(0x80, '?'));
}

}  // namespace
