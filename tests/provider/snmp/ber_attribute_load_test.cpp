// Values of GetResponses loaded into attributes, by BER type and by the
// attribute's type letter and size, and the VarBinds that load nothing.
#include "ber_attribute_load.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "attribute_entry.h"
#include "integer_values.h"
#include "model_limits.h"
#include "snmp_messages.h"
#include "trace_capture.h"

namespace {

const SnmpBytes kOID = {0x06, 0x08, 0x2B, 0x06, 0x01, 0x02, 0x01, 0x02, 0x02, 0x01};

// An attribute with its value area, as the model makes it.
struct Attribute {
  Attribute(char type, uint16_t size) : entry(static_cast<AttributeEntry*>(std::calloc(1, ZEVP_AttributeEntrySize(size)))) {
    std::strcpy(entry->AttrName, "ifValue");
    entry->AttrType = type;
    entry->MaxValSize = size;
    entry->PreviousValue = ZEVP_FIRST_SAMPLE_MARKER;
  }
  ~Attribute() { std::free(entry); }
  std::string value() const { return std::string(entry->Value(), entry->ActualValSize); }
  AttributeEntry* entry;
};

int Load(Attribute& attribute, const SnmpBytes& valueField, const SnmpBytes& oid = kOID) {
  SnmpBytes varBind = VarBindBytes(oid, valueField);
  std::vector<char> exact(varBind.begin(), varBind.end());
  return ZEVP_SNMPloadAttributeFromBER(exact.data(), static_cast<uint32_t>(exact.size()), attribute.entry,
                                       reinterpret_cast<const char*>(kOID.data()), static_cast<int32_t>(kOID.size()));
}

std::string Bytes(std::initializer_list<unsigned char> bytes) { return std::string(bytes.begin(), bytes.end()); }

TEST(BerAttributeLoadTest, EachTypeLoadsByTheAttributesLetterAndSize) {
  const struct {
    const char* what;
    char type;
    uint16_t size;
    SnmpBytes field;
    std::string value;
  } cases[] = {
      {"INTEGER FF is -1", 'G', 4, {0x02, 0x01, 0xFF}, Bytes({0xFF, 0xFF, 0xFF, 0xFF})},
      {"Counter FF is 255", 'C', 4, {0x41, 0x01, 0xFF}, Bytes({0x00, 0x00, 0x00, 0xFF})},
      {"a 5-byte Gauge with a leading zero", 'G', 4, {0x42, 0x05, 0x00, 0x80, 0x00, 0x00, 0x00},
       Bytes({0x80, 0x00, 0x00, 0x00})},
      {"a 6-byte INTEGER with two leading zeros", 'G', 4, {0x02, 0x06, 0x00, 0x00, 0x01, 0x02, 0x03, 0x04},
       Bytes({0x01, 0x02, 0x03, 0x04})},
      {"INTEGER 70000 in 2 bytes", 'G', 2, {0x02, 0x03, 0x01, 0x11, 0x70}, Bytes({0x11, 0x70})},
      {"TimeTicks 4294967295 as text", 'D', 16, {0x43, 0x05, 0x00, 0xFF, 0xFF, 0xFF, 0xFF}, "4294967295"},
      {"Gauge 2147483648 as text", 'D', 16, {0x42, 0x05, 0x00, 0x80, 0x00, 0x00, 0x00}, "2147483648"},
      {"INTEGER -5 as text", 'D', 16, {0x02, 0x01, 0xFB}, "-5"},
      {"INTEGER -256 as text, cut", 'D', 3, {0x02, 0x02, 0xFF, 0x00}, "-25"},
      {"text with CR LF", 'D', 16, {0x04, 0x04, 'a', 'b', '\r', '\n'}, "ab  "},
      {"text with a zero byte", 'D', 16, {0x04, 0x02, 'a', 0x00}, "6100"},
      {"text cut to the size", 'D', 3, {0x04, 0x05, 'h', 'e', 'l', 'l', 'o'}, "hel"},
      {"empty text", 'D', 8, {0x04, 0x00}, ""},
      {"an OID cut to 8", 'D', 8, {0x06, 0x06, 0x2B, 0x06, 0x01, 0x04, 0x01, 0x09}, "1.3.6.1."},
      {"an OID with an element above 2^31", 'D', 32, {0x06, 0x06, 0x2B, 0x8F, 0xFF, 0xFF, 0xFF, 0x7F},
       "1.3.4294967295"},
      {"an IpAddress", 'D', 16, {0x40, 0x04, 10, 1, 2, 254}, "10.1.2.254"},
      {"an IpAddress cut", 'D', 4, {0x40, 0x04, 10, 1, 2, 254}, "10.1"},
      {"a 5-byte IpAddress is opaque", 'D', 16, {0x40, 0x05, 1, 2, 3, 4, 5}, Bytes({1, 2, 3, 4, 5})},
      {"NULL", 'D', 16, {0x05, 0x00}, ""},
      {"Opaque, cut", 'D', 2, {0x44, 0x03, 0xAA, 0xBB, 0xCC}, Bytes({0xAA, 0xBB})},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    Attribute attribute(c.type, c.size);
    EXPECT_EQ(Load(attribute, c.field), 1);
    EXPECT_EQ(attribute.value(), c.value);
  }
}

TEST(BerAttributeLoadTest, WhatCannotBeLoadedLeavesTheAttributeAsItWas) {
  const struct {
    const char* what;
    char type;
    uint16_t size;
    SnmpBytes field;
    SnmpBytes oid;
    const char* trace;
  } cases[] = {
      {"another OID than asked", 'G', 4, {0x02, 0x01, 0x01}, {0x06, 0x08, 0x2B, 0x06, 0x01, 0x02, 0x01, 0x02, 0x02, 0x02},
       "*****unexpected VarBind OID received 06082B0601020102020"},
      {"a shorter OID", 'G', 4, {0x02, 0x01, 0x01}, {0x06, 0x01, 0x2B}, "*****unexpected VarBind OID received"},
      {"size 3", 'G', 3, {0x02, 0x01, 0x01}, kOID, "*****unsupported attribute <ifValue> size 3"},
      {"a 6-byte INTEGER with a non-zero lead", 'G', 4, {0x02, 0x06, 0x00, 0x01, 0x01, 0x02, 0x03, 0x04}, kOID,
       "integer value not loaded: 000101020304"},
      {"an empty INTEGER", 'G', 4, {0x02, 0x00}, kOID, "integer value not loaded"},
      {"an OID value that does not decode", 'D', 16, {0x06, 0x02, 0x2B, 0x86}, kOID, "Attr value OID not loaded"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    TraceCapture capture("*=0x80");
    Attribute attribute(c.type, c.size);
    std::memcpy(attribute.entry->Value(), "was", 3);
    attribute.entry->ActualValSize = 3;
    EXPECT_EQ(Load(attribute, c.field, c.oid), 0);
    EXPECT_EQ(attribute.value(), "was");
    std::string trace = capture.take();
    EXPECT_NE(trace.find(c.trace), std::string::npos) << trace;
  }
}

TEST(BerAttributeLoadTest, RateLettersGoThroughTheRateOfTheAttribute) {
  const struct {
    char type;
    SnmpBytes first;
    SnmpBytes second;
    int32_t rate;
  } cases[] = {
      {'#', {0x41, 0x01, 0x0A}, {0x41, 0x01, 0x19}, 15},
      {'%', {0x02, 0x01, 0x14}, {0x02, 0x01, 0x1E}, 50},
      {'#', {0x02, 0x01, 0x0A}, {0x02, 0x01, 0xFB}, -15},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.type);
    Attribute attribute(c.type, 4);
    ASSERT_EQ(Load(attribute, c.first), 1);
    EXPECT_EQ(zevp::IntegerValue(attribute.entry), 0) << "the first sample";
    ASSERT_EQ(Load(attribute, c.second), 1);
    EXPECT_EQ(zevp::IntegerValue(attribute.entry), c.rate);
  }
}

}  // namespace
