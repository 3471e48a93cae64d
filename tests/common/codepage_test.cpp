#include "zev0/codepage.h"

#include <arpa/inet.h>
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>

#include "trace_capture.h"

namespace {

static_assert(Local_A == ASCII_A, "these tests describe an ASCII host");

TEST(CodepageTest, TextTravelsInEbcdicAndComesBack) {
  char text[] = "ABC";
  ZEV0_ConvertDataToNetwork(text, 3);
  EXPECT_EQ(std::string(text), "\xC1\xC2\xC3");
  ZEV0_ConvertDataToLocal(text, 3);
  EXPECT_EQ(std::string(text), "ABC");
}

// After a trip to the network code and back every ASCII byte is itself, but DEL
// and the four bytes 0x1C-0x1F; a local byte above 0x7F comes back as '?'.
unsigned char expectedAfterRoundTrip(int byte) {
  if (byte == 0x7F) return 0x10;
  if ((byte >= 0x1C && byte <= 0x1F) || byte >= 0x80) return '?';
  return static_cast<unsigned char>(byte);
}

TEST(CodepageTest, EveryByteSurvivesARoundTripButTheListedOnes) {
  unsigned char bytes[256];
  for (int i = 0; i < 256; ++i) bytes[i] = static_cast<unsigned char>(i);
  ZEV0_ConvertDataToNetwork(bytes, 256);
  ZEV0_ConvertDataToLocal(bytes, 256);
  for (int i = 0; i < 256; ++i) EXPECT_EQ(bytes[i], expectedAfterRoundTrip(i)) << "byte 0x" << std::hex << i;
}

TEST(CodepageTest, EbcdicBytesWithoutAnAsciiCounterpart) {
  const struct {
    unsigned char ebcdic;
    unsigned char ascii;
  } cases[] = {{0x41, '?'}, {0xFA, '|'}, {0x4F, '|'}, {0x07, 0x10}, {0xBA, '?'}, {0xAD, '['}};
  for (const auto& c : cases) {
    unsigned char local = c.ebcdic;
    unsigned char known = c.ebcdic;
    ZEV0_ConvertDataToLocal(&local, 1);
    ZEV0_ConvertEBCDICtoASCII(&known, 1);
    EXPECT_EQ(local, c.ascii) << "EBCDIC 0x" << std::hex << int{c.ebcdic};
    EXPECT_EQ(known, c.ascii) << "EBCDIC 0x" << std::hex << int{c.ebcdic};
  }
}

TEST(CodepageTest, LengthOfZeroOrLessConvertsNothing) {
  for (int32_t length : {0, -1, INT32_MIN}) {
    char text[] = "AB";
    ZEV0_ConvertDataToNetwork(text, length);
    ZEV0_ConvertDataToLocal(text + 1, length);
    ZEV0_ConvertEBCDICtoASCII(text, length);
    EXPECT_EQ(std::string(text), "AB") << length;
  }
}

TEST(CodepageTest, CheckCodeConversionTellsWhetherDataNeedsConverting) {
  TraceCapture capture("codepage=0x01");
  EXPECT_EQ(ZEV0_CheckCodeConversion('A'), 0);
  EXPECT_TRUE(capture.contains("No data conversion required"));
  EXPECT_EQ(ZEV0_CheckCodeConversion('E'), 1);
  EXPECT_TRUE(capture.contains("Data conversion required"));
}

TEST(CodepageTest, EndianFunctionsSwapInPlace) {
  unsigned char shortValue[] = {0x12, 0x34};
  ZEV0_ConvertShortEndian(shortValue);
  EXPECT_EQ(std::memcmp(shortValue, "\x34\x12", 2), 0);

  unsigned char longValue[] = {0x12, 0x34, 0x56, 0x78};
  ZEV0_ConvertLongEndian(longValue);
  EXPECT_EQ(std::memcmp(longValue, "\x78\x56\x34\x12", 4), 0);
}

TEST(CodepageTest, CheckIntegerEndianGivesNetworkOrder) {
  uint16_t shortValue = 0x1234;
  ZEV0_CheckIntegerEndian(2, &shortValue);
  EXPECT_EQ(shortValue, htons(0x1234));

  uint32_t longValue = 0x12345678;
  ZEV0_CheckIntegerEndian(4, &longValue);
  EXPECT_EQ(longValue, htonl(0x12345678));
  ZEV0_CheckIntegerEndian(4, &longValue);
  EXPECT_EQ(longValue, 0x12345678u);

  unsigned char odd[] = {1, 2, 3};
  ZEV0_CheckIntegerEndian(3, odd);
  EXPECT_EQ(std::memcmp(odd, "\x01\x02\x03", 3), 0);
  uint64_t wide = 0x0102030405060708;
  ZEV0_CheckIntegerEndian(8, &wide);
  EXPECT_EQ(wide, 0x0102030405060708u);
}

}  // namespace
