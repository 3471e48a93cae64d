#include "zev0/ber.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <string>

#include "ber_bytes.h"
#include "trace_capture.h"
#include "zev0/storage.h"

namespace {

// --- reading fields ---

TEST(BerFieldTest, ReadsShortAndLongFormLengths) {
  struct Case {
    const char* header;
    uint32_t length;
  };
  const Case cases[] = {
      {"04 00", 0},       {"04 7f", 127},          {"04 81 80", 128},
      {"04 81 c8", 200},  {"04 82 00 c8", 200},    {"04 82 01 00", 256},
      {"04 83 01 00 00", 65536},
      {"04 85 00 00 00 00 c8", 200},  // leading zero bytes are valid BER
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.header);
    Packet packet(c.header + std::string(2 * c.length, '5'));
    char* cursor = packet.data();
    uint32_t length = 99;
    char* value = nullptr;
    EXPECT_EQ(ZEV0_ExtractBERfield(&cursor, packet.size(), &length, &value), 0x04);
    EXPECT_EQ(length, c.length);
    EXPECT_EQ(cursor, packet.end());
    EXPECT_EQ(value, c.length == 0 ? nullptr : packet.end() - c.length);
  }
}

TEST(BerFieldTest, StepsIntoASequenceThroughItsValue) {
  Packet packet("30 08 02 01 05 04 03 61 62 63 05 00");
  char* cursor = packet.data();
  uint32_t length = 0;
  char* value = nullptr;
  ASSERT_EQ(ZEV0_ExtractBERfield(&cursor, packet.size(), &length, &value), ZEV0_ASN_SEQUENCE);
  EXPECT_EQ(length, 8u);
  EXPECT_EQ(cursor, packet.end() - 2);  // past the whole sequence

  char* inner = value;
  int32_t number = 0;
  ASSERT_EQ(ZEV0_ExtractBERinteger(&inner, length, &number), 1);
  EXPECT_EQ(number, 5);
  ASSERT_EQ(ZEV0_ExtractBERfield(&inner, static_cast<uint32_t>(value + length - inner), &length, &value), 0x04);
  EXPECT_EQ(std::string(value, length), "abc");
  EXPECT_EQ(inner, cursor);
}

// Every reader refuses a packet that is cut, padded or out of range, without
// reading one byte past it (the packets are exact heap blocks, the tests run
// under the address sanitizer).
enum class Reader { Field, Integer, ObjectIdentifier };

int readWith(Reader reader, char** cursor, uint32_t remaining) {
  uint32_t length = 7;
  char* value = reinterpret_cast<char*>(1);
  switch (reader) {
    case Reader::Field: {
      int tag = ZEV0_ExtractBERfield(cursor, remaining, &length, &value);
      if (tag == 0) {
        EXPECT_TRUE(length == 0 && value == nullptr) << "outputs cleared";
      }
      return tag;
    }
    case Reader::Integer: {
      int32_t number = 0;
      return ZEV0_ExtractBERinteger(cursor, remaining, &number);
    }
    case Reader::ObjectIdentifier: {
      if (ZEV0_ExtractBERfield(cursor, remaining, &length, &value) != ZEV0_ASN_OBJECTIDENTIFIER) return 0;
      int32_t count = -1;
      uint32_t* elements = ZEV0_DecodeOIDfromBER(value, length, &count);
      int read = elements != nullptr;
      if (!read) {
        EXPECT_EQ(count, 0);
      }
      ZEV0_FreeStorage(&elements);
      return read;
    }
  }
  return 0;
}

TEST(BerMalformedTest, EveryCaseIsAFailureWithinThePacket) {
  struct Case {
    const char* name;
    Reader reader;
    const char* bytes;
    bool cursorMoves;  // the field itself was whole; only its content is refused
    const char* trace;
  };
  const std::string tooManyElements = "06 41 2b" + std::string(64 * 2, '1');  // 66 elements
  const Case cases[] = {
      {"empty packet", Reader::Field, "", false, "*****BER field missing at the end of the buffer"},
      {"tag without length", Reader::Field, "04", false, "*****BER length field missing"},
      {"length past the buffer", Reader::Field, "04 05 61 62 63", false, "runs past the end of the buffer"},
      {"long-form length cut short", Reader::Field, "04 82 01", false, "length field of 2 bytes runs past"},
      {"long-form length past the buffer", Reader::Field, "04 82 01 00 61", false, "*****BER field length 256"},
      {"length of 4 GiB less one", Reader::Field, "04 84 ff ff ff ff 00", false, "runs past the end"},
      {"length of five significant bytes", Reader::Field, "04 85 01 00 00 00 00", false,
       "*****ASN1 field length 5 too large. Unsupported"},
      {"indefinite length", Reader::Field, "30 80 02 01 01 00 00", false, "*****Indefinite BER length"},
      {"end-of-contents tag", Reader::Field, "00 00", false, "end-of-contents"},
      {"truncated content", Reader::Field, "30 06 02 01 01 04", false, "runs past the end"},
      {"integer content cut short", Reader::Integer, "02 04 00 ff", false, "runs past the end"},
      {"zero-length integer", Reader::Integer, "02 00", true, "*****BER integer without content"},
      {"over-long integer", Reader::Integer, "02 05 00 ff ff ff ff", true,
       "*****unsupported BER integer size 5 too large"},
      {"not an integer", Reader::Integer, "04 01 05", false, "*****current BER field in buffer is not integer type"},
      {"OID content cut short", Reader::ObjectIdentifier, "06 04 2b 06", false, "runs past the end"},
      {"OID ending inside an element", Reader::ObjectIdentifier, "06 02 2b 86", true, "ends inside an element"},
      {"empty OID", Reader::ObjectIdentifier, "06 00", true, "*****OID content empty"},
      {"OID element of six bytes", Reader::ObjectIdentifier, "06 07 2b 81 80 80 80 80 01", true,
       "*****unsupported too large length field 5"},
      {"OID element above 32 bits", Reader::ObjectIdentifier, "06 06 2b 90 80 80 80 00", true,
       "larger than 32 bits"},
      {"OID element padded with 0x80", Reader::ObjectIdentifier, "06 03 2b 80 01", true, "padding byte"},
      {"too many sub-identifiers", Reader::ObjectIdentifier, tooManyElements.c_str(), true,
       "*****OID of more than 64 elements unsupported"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Packet packet(c.bytes);
    char* cursor = packet.data();
    TraceCapture capture("*=0x80");
    EXPECT_EQ(readWith(c.reader, &cursor, packet.size()), 0);
    EXPECT_EQ(cursor, c.cursorMoves ? packet.end() : packet.data());
    EXPECT_TRUE(capture.contains(c.trace)) << capture.take();
  }
}

TEST(BerMalformedTest, ASequenceBoundsTheFieldsInsideIt) {
  // The inner string claims 3 bytes; 4 lie in the packet, but only 1 in the sequence.
  Packet packet("30 04 02 01 01 04 03 61 62 63");
  char* cursor = packet.data();
  uint32_t length = 0;
  char* value = nullptr;
  ASSERT_EQ(ZEV0_ExtractBERfield(&cursor, packet.size(), &length, &value), ZEV0_ASN_SEQUENCE);
  char* inner = value;
  int32_t number = 0;
  ASSERT_EQ(ZEV0_ExtractBERinteger(&inner, length, &number), 1);
  EXPECT_EQ(ZEV0_ExtractBERfield(&inner, static_cast<uint32_t>(value + length - inner), &length, &value), 0);
}

TEST(BerMalformedTest, NullCursorIsRefused) {
  TraceCapture capture("*=0x80");
  uint32_t length = 5;
  char* value = nullptr;
  char* nothing = nullptr;
  EXPECT_EQ(ZEV0_ExtractBERfield(nullptr, 10, &length, &value), 0);
  EXPECT_EQ(ZEV0_ExtractBERfield(&nothing, 10, &length, &value), 0);
  EXPECT_EQ(length, 5u);  // nothing changed
  int32_t number = 0;
  EXPECT_EQ(ZEV0_ExtractBERinteger(&nothing, 10, &number), 0);
  EXPECT_EQ(capture.count("*****Input BER data buffer pointer invalid"), 3);
}

// --- integers ---

TEST(BerIntegerTest, WritesTheShortestTwosComplementForm) {
  struct Case {
    int32_t value;
    const char* encoding;
  };
  const Case cases[] = {
      {0, "020100"},           {127, "02017f"},           {128, "02020080"},
      {255, "020200ff"},       {32767, "02027fff"},       {32768, "0203008000"},
      {40000, "0203009c40"},   {8388607, "02037fffff"},   {8388608, "020400800000"},
      {INT32_MAX, "02047fffffff"},
      {-1, "0201ff"},          {-128, "020180"},          {-129, "0202ff7f"},
      {-32768, "02028000"},    {-32769, "0203ff7fff"},    {-8388608, "0203800000"},
      {-8388609, "0204ff7fffff"}, {INT32_MIN, "020480000000"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.value);
    char buffer[8];
    std::memset(buffer, 0xAA, sizeof buffer);  // the tag is stored, whatever was there
    char* cursor = buffer;
    int written = ZEV0_FormatBERintegerType(&cursor, ZEV0_ASN_INTEGER, c.value);
    EXPECT_EQ(Hex(buffer, static_cast<size_t>(written)), c.encoding);
    EXPECT_EQ(cursor, buffer + written);

    Packet packet(c.encoding);
    char* reader = packet.data();
    int32_t number = 0;
    EXPECT_EQ(ZEV0_ExtractBERinteger(&reader, packet.size(), &number), 1);
    EXPECT_EQ(number, c.value);
    EXPECT_EQ(reader, packet.end());
  }
}

TEST(BerIntegerTest, ReadsNonMinimalFormsAndAnyTagWritten) {
  const std::pair<const char*, int32_t> cases[] = {
      {"02 02 00 ff", 255}, {"02 04 00 00 00 05", 5}, {"02 02 ff ff", -1}, {"02 03 ff 63 c0", -40000}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.first);
    Packet packet(c.first);
    char* cursor = packet.data();
    int32_t number = 0;
    EXPECT_EQ(ZEV0_ExtractBERinteger(&cursor, packet.size(), &number), 1);
    EXPECT_EQ(number, c.second);
  }
  char buffer[8] = {};
  char* cursor = buffer;
  EXPECT_EQ(ZEV0_FormatBERintegerType(&cursor, 0x43, 300), 4);
  EXPECT_EQ(Hex(buffer, 4), "4302012c");
}

TEST(BerIntegerTest, NullCursorWritesNothing) {
  TraceCapture capture("*=0x80");
  char* nothing = nullptr;
  EXPECT_EQ(ZEV0_FormatBERintegerType(&nothing, ZEV0_ASN_INTEGER, 1), 0);
  EXPECT_EQ(ZEV0_FormatBERintegerType(nullptr, ZEV0_ASN_INTEGER, 1), 0);
  EXPECT_EQ(capture.count("*****Input parameter invalid"), 2);
}

// --- lengths, octet strings, nulls ---

TEST(BerLengthTest, WritesOneToFiveBytes) {
  const std::pair<uint32_t, const char*> cases[] = {
      {1, "01"},           {127, "7f"},           {128, "820080"},     {200, "8200c8"},
      {65535, "82ffff"},   {65536, "83010000"},   {16777215, "83ffffff"},
      {16777216, "8401000000"}, {UINT32_MAX, "84ffffffff"}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.first);
    char buffer[8] = {};
    char* cursor = buffer;
    EXPECT_EQ(ZEV0_FormatBERlengthField(&cursor, c.first), 1);
    EXPECT_EQ(Hex(buffer, static_cast<size_t>(cursor - buffer)), c.second);
  }
  char buffer[2] = {};
  char* cursor = buffer;
  EXPECT_EQ(ZEV0_FormatBERlengthField(&cursor, 0), 0);
  EXPECT_EQ(cursor, buffer);
}

TEST(BerOctetStringTest, WritesTagLengthAndData) {
  char buffer[300] = {};
  char* cursor = buffer;
  EXPECT_EQ(ZEV0_FormatBERoctetstringType(&cursor, ZEV0_ASN_OCTETSTRING, "public", 6), 8);
  EXPECT_EQ(Hex(buffer, 8), "04067075626c6963");
  EXPECT_EQ(cursor, buffer + 8);

  std::string data(200, 'x');
  cursor = buffer;
  EXPECT_EQ(ZEV0_FormatBERoctetstringType(&cursor, 0xA0, data.data(), 200), 204);
  EXPECT_EQ(Hex(buffer, 4), "a08200c8");
  EXPECT_EQ(std::string(buffer + 4, 200), data);
}

TEST(BerOctetStringTest, WrapsContentBuiltInTheSameBuffer) {
  // Content behind and before the cursor, overlapping the header it receives.
  for (int contentOffset : {1, 2, 5, -3}) {
    SCOPED_TRACE(contentOffset);
    char buffer[400] = {};
    char* start = buffer + 10;
    char* content = start + contentOffset;
    for (int i = 0; i < 200; ++i) content[i] = static_cast<char>(i);
    std::string expected(content, 200);
    char* cursor = start;
    EXPECT_EQ(ZEV0_FormatBERoctetstringType(&cursor, ZEV0_ASN_SEQUENCE, content, 200), 204);
    EXPECT_EQ(Hex(start, 4), "308200c8");
    EXPECT_EQ(std::string(start + 4, 200), expected);
  }
}

TEST(BerOctetStringTest, RefusesEmptyOrMissingData) {
  TraceCapture capture("*=0x80");
  char buffer[8] = {};
  char* cursor = buffer;
  EXPECT_EQ(ZEV0_FormatBERoctetstringType(&cursor, ZEV0_ASN_OCTETSTRING, "x", 0), 0);
  EXPECT_EQ(ZEV0_FormatBERoctetstringType(&cursor, ZEV0_ASN_OCTETSTRING, "x", -1), 0);
  EXPECT_EQ(ZEV0_FormatBERoctetstringType(&cursor, ZEV0_ASN_OCTETSTRING, nullptr, 1), 0);
  EXPECT_EQ(ZEV0_FormatBERoctetstringType(nullptr, ZEV0_ASN_OCTETSTRING, "x", 1), 0);
  EXPECT_EQ(cursor, buffer);
  EXPECT_EQ(capture.count("*****Input parameter invalid"), 4);
}

TEST(BerNullTest, WritesTwoBytes) {
  char buffer[4];
  std::memset(buffer, 0xAA, sizeof buffer);
  char* cursor = buffer;
  EXPECT_EQ(ZEV0_FormatBERnullType(&cursor), 2);
  EXPECT_EQ(Hex(buffer, 2), "0500");
  EXPECT_EQ(cursor, buffer + 2);
  char* nothing = nullptr;
  EXPECT_EQ(ZEV0_FormatBERnullType(&nothing), 0);
}

TEST(BerTagNameTest, NamesTheFiveTypesByTheLowByte) {
  EXPECT_STREQ(ZEV0_GetASN1typeString(0x02), "ASN_INTEGER");
  EXPECT_STREQ(ZEV0_GetASN1typeString(0x04), "ASN_OCTETSTRING");
  EXPECT_STREQ(ZEV0_GetASN1typeString(0x05), "ASN_NULL");
  EXPECT_STREQ(ZEV0_GetASN1typeString(0x06), "ASN_OBJECTIDENTIFIER");
  EXPECT_STREQ(ZEV0_GetASN1typeString(0x130), "ASN_SEQUENCE");
  EXPECT_STREQ(ZEV0_GetASN1typeString(0x41), "UNKNOWN");
  EXPECT_STREQ(ZEV0_GetASN1typeString(0), "UNKNOWN");
}

}  // namespace
