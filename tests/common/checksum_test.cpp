#include <gtest/gtest.h>

#include <string>

#include "trace_capture.h"
#include "zev0/text.h"

namespace {

TEST(ChecksumTest, KnownValues) {
  struct Case {
    std::string data;
    unsigned expected;
  } cases[] = {
      {"abc", 31225},                            // 0x79F9
      {"", 65535},                               // nothing to sum
      {"ABCD", 47284},                           // 0xB8B4: one whole word
      {std::string("abc\0\0\0\0\0", 8), 31225},  // trailing zero bytes change nothing
  };
  for (const Case& test : cases) {
    SCOPED_TRACE(testing::PrintToString(test.data));
    EXPECT_EQ(ZEV0_ComputeCheckSum(test.data.data(), static_cast<int32_t>(test.data.size())), test.expected);
  }
}

TEST(ChecksumTest, EmptyInputTracesTheRefusedStorageSize) {
  TraceCapture capture("*=0x80");
  EXPECT_EQ(ZEV0_ComputeCheckSum("", 0), 65535);
  EXPECT_TRUE(capture.contains("*****Invalid get storage size 0"));
  EXPECT_EQ(ZEV0_ComputeCheckSum(nullptr, 5), 65535);
}

TEST(ChecksumTest, OnlyTheGivenLengthCounts) { EXPECT_EQ(ZEV0_ComputeCheckSum("abcdef", 3), 31225); }

TEST(ChecksumTest, ResultIsTracedUnderTheFlowClass) {
  TraceCapture capture("*=0x40");
  ZEV0_ComputeCheckSum("abc", 3);
  EXPECT_TRUE(capture.contains("Check Sum->31225 79F9"));
}

}  // namespace
