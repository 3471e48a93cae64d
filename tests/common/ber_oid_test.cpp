#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ber_bytes.h"
#include "trace_capture.h"
#include "zev0/ber.h"
#include "zev0/storage.h"

namespace {

std::string encodeOid(const char* text) {
  char* block = nullptr;
  int32_t length = -1;
  if (ZEV0_FormatOIDfromString(text, &block, &length) != 1) {
    EXPECT_EQ(block, nullptr);
    EXPECT_EQ(length, 0);
    return "refused";
  }
  std::string hex = Hex(block, static_cast<size_t>(length));
  ZEV0_FreeStorage(&block);
  return hex;
}

// The elements of OID content, or {} when it is refused.
std::vector<uint32_t> decodeOid(const Packet& content) {
  int32_t count = -1;
  uint32_t* elements = ZEV0_DecodeOIDfromBER(content.data(), content.size(), &count);
  if (elements == nullptr) {
    EXPECT_EQ(count, 0);
    return {};
  }
  std::vector<uint32_t> result(elements, elements + count);
  ZEV0_FreeStorage(&elements);
  return result;
}

std::string oidText(const std::vector<uint32_t>& elements) {
  char* text = ZEV0_ConvertOIDtoString(elements.data(), static_cast<int32_t>(elements.size()));
  if (text == nullptr) return "refused";
  std::string result = text;
  ZEV0_FreeStorage(&text);
  return result;
}

std::string repeated(const std::string& text, int count) {
  std::string result;
  for (int i = 0; i < count; ++i) result += text;
  return result;
}

// 1.3 followed by `count` elements of 16384 (three bytes each).
std::string longOidText(int count) { return "1.3" + repeated(".16384", count); }

TEST(OidTextTest, EncodesWholeFields) {
  const std::pair<std::string, std::string> cases[] = {
      {"1.3.6.1.2.1.1.1.0", "06082b06010201010100"},
      {"1.3.6.1.4.1.200", "06072b060104018148"},
      {".1.3.6", "06022b06"},  // empty pieces are skipped
      {"1.3..6.", "06022b06"},
      {"0.0", "060100"},
      {"2.39", "060177"},
      {"1.3.127.128.16383.16384", "06092b7f8100ff7f818000"},
      {"1.3.2097151.2097152", "06082bffff7f81808000"},
      {"1.3.268435455.268435456.4294967295", "060f2bffffff7f81808080008fffffff7f"},
      {longOidText(43), "068200822b" + repeated("818000", 43)},  // content of 130 bytes
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.first);
    EXPECT_EQ(encodeOid(c.first.c_str()), c.second);
  }
}

TEST(OidTextTest, RefusesTextThatIsNotAnOid) {
  struct Case {
    const char* text;
    const char* trace;
  };
  const Case cases[] = {
      {"3.1", "First OID element must be 0, 1, or 2. Input 3"},
      {"1.40", "Second OID element must be less than 40. Input 40"},
      {"2.40", "Second OID element must be less than 40. Input 40"},
      {"1", "<1>"},
      {"", "<>"},
      {"...", "<...>"},
      {"1.3.x", "<1.3.x>"},
      {"1.3.-1", "<1.3.-1>"},
      {"1.3. 6", "<1.3. 6>"},
      {"1.3.6a", "<1.3.6a>"},
      {"1.3.4294967296", "<1.3.4294967296>"},
      {"1.3.99999999999999999999999", "<1.3.99999999999999999999999>"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    TraceCapture capture("*=0x80");
    EXPECT_EQ(encodeOid(c.text), "refused");
    EXPECT_TRUE(capture.contains("*****Error detected in input OID string"));
    EXPECT_TRUE(capture.contains(c.trace)) << capture.take();
  }
  char* block = reinterpret_cast<char*>(1);
  int32_t length = 5;
  EXPECT_EQ(ZEV0_FormatOIDfromString(nullptr, &block, &length), 0);
  EXPECT_EQ(block, nullptr);
  EXPECT_EQ(length, 0);
}

TEST(OidContentTest, DecodesElements) {
  struct Case {
    const char* content;
    std::vector<uint32_t> elements;
  };
  const Case cases[] = {
      {"2b 06 01", {1, 3, 6, 1}},
      {"2b 06 01 04 01 81 48", {1, 3, 6, 1, 4, 1, 200}},
      {"00", {0, 0}},
      {"27", {0, 39}},
      {"28", {1, 0}},
      {"4f", {1, 39}},
      {"50", {2, 0}},
      {"88 37 03", {2, 999, 3}},  // the first sub-identifier takes two bytes
      {"2b 8f ff ff ff 7f", {1, 3, 4294967295u}},
      {"2b ff ff ff 7f 81 80 80 80 00", {1, 3, 268435455, 268435456}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.content);
    EXPECT_EQ(decodeOid(Packet(c.content)), c.elements);
  }
}

TEST(OidContentTest, HoldsAtMostSixtyFourElements) {
  std::string sixtyFour = "2b" + std::string(62 * 2, '7');
  EXPECT_EQ(decodeOid(Packet(sixtyFour)).size(), 64u);
  EXPECT_TRUE(decodeOid(Packet(sixtyFour + "77")).empty());
  EXPECT_TRUE(decodeOid(Packet("")).empty());
}

TEST(OidTextTest, ConvertsElementsToDottedText) {
  EXPECT_EQ(oidText({1, 3, 6, 1}), "1.3.6.1");
  EXPECT_EQ(oidText({}), "");
  EXPECT_EQ(oidText({1, 3, 2147483648u, 4294967295u}), "1.3.2147483648.4294967295");
  EXPECT_EQ(oidText(std::vector<uint32_t>(ZEV0_OID_MAX_ELEMENTS, 4294967295u)).size(), 64u * 11 - 1);
  TraceCapture capture("*=0x80");
  EXPECT_EQ(oidText(std::vector<uint32_t>(100, 4294967295u)), "refused");
  EXPECT_TRUE(capture.contains("*****OID text longer than 1023 bytes unsupported"));
  EXPECT_EQ(ZEV0_ConvertOIDtoString(nullptr, 3), nullptr);
}

TEST(OidTextTest, TextFieldContentAndTextAgreeBothWays) {
  for (const char* text : {"1.3.6.1.2.1.1.1.0", "0.39.0", "2.0.128", "1.3.6.1.4.1.2147483648.4294967295"}) {
    SCOPED_TRACE(text);
    char* block = nullptr;
    int32_t length = 0;
    ASSERT_EQ(ZEV0_FormatOIDfromString(text, &block, &length), 1);
    char* cursor = block;
    uint32_t contentLength = 0;
    char* content = nullptr;
    EXPECT_EQ(ZEV0_ExtractBERfield(&cursor, static_cast<uint32_t>(length), &contentLength, &content),
              ZEV0_ASN_OBJECTIDENTIFIER);
    EXPECT_EQ(cursor, block + length);
    EXPECT_EQ(oidText(decodeOid(Packet(Hex(content, contentLength)))), text);
    ZEV0_FreeStorage(&block);
  }
}

}  // namespace
