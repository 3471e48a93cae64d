#include "ber_attribute_load.h"

#include <algorithm>
#include <cinttypes>
#include <cstdio>
#include <cstring>
#include <string>

#include "attribute_entry.h"
#include "mib_io_trace.h"
#include "printable_characters.h"
#include "rate_attributes.h"
#include "snmp_pdu.h"
#include "zev0/ber.h"
#include "zev0/storage.h"

TRC_UNIT();

namespace {

constexpr int kIpAddress = 0x40;
constexpr int kCounter = 0x41;
constexpr int kGauge = 0x42;
constexpr int kTimeTicks = 0x43;
constexpr uint32_t kIntegerBytes = 4;
constexpr uint32_t kIpAddressBytes = 4;
// The attribute sizes that hold an integer as bytes.
constexpr uint16_t kWordAttribute = 4;
constexpr uint16_t kHalfWordAttribute = 2;

std::string hexDump(const char* bytes, uint32_t length) {
  std::string text;
  char pair[4];
  for (uint32_t i = 0; i < length; ++i) {
    std::snprintf(pair, sizeof pair, "%02X", static_cast<unsigned char>(bytes[i]));
    text += pair;
  }
  return text;
}

// Puts the bytes into the value area, cut to the attribute's size.
void store(AttributeEntry* attribute, const char* bytes, size_t length) {
  size_t kept = std::min<size_t>(length, attribute->MaxValSize);
  if (kept > 0) std::memcpy(attribute->Value(), bytes, kept);
  attribute->Value()[kept] = '\0';
  attribute->ActualValSize = static_cast<uint16_t>(kept);
}

void storeText(AttributeEntry* attribute, const char* text) { store(attribute, text, std::strlen(text)); }

bool isRate(char type) {
  return type == ZEVP_ATTR_RATE_CHANGE || type == ZEVP_ATTR_RATE_DELTA || type == ZEVP_ATTR_RATE_PERCENT;
}

int loadInteger(AttributeEntry* attribute, const char* content, uint32_t length, bool isSigned) {
  uint32_t start = 0;
  while (length - start > kIntegerBytes && content[start] == 0) ++start;
  if (length - start > kIntegerBytes || length == 0) {
    ZEVP_MIBIO_TRC(TRC_ERROR, "*****Attr <%s> integer value not loaded: %s", attribute->AttrName,
                   hexDump(content, length).c_str());
    return 0;
  }
  const auto* bytes = reinterpret_cast<const unsigned char*>(content + start);
  const uint32_t size = length - start;
  uint32_t word = isSigned && (bytes[0] & 0x80) != 0 ? 0xFFFFFFFFu : 0;
  for (uint32_t i = 0; i < size; ++i) word = (word << 8) | bytes[i];
  const bool negative = isSigned && static_cast<int32_t>(word) < 0;

  if (isRate(attribute->AttrType)) {
    LoadRateAttribute(attribute, static_cast<int32_t>(word));
  } else if (attribute->AttrType == ZEVP_ATTR_DISPLAY) {
    char text[16];
    if (negative)
      std::snprintf(text, sizeof text, "%" PRId32, static_cast<int32_t>(word));
    else
      std::snprintf(text, sizeof text, "%" PRIu32, word);
    storeText(attribute, text);
  } else if (attribute->MaxValSize == kWordAttribute) {
    const unsigned char network[4] = {static_cast<unsigned char>(word >> 24), static_cast<unsigned char>(word >> 16),
                                      static_cast<unsigned char>(word >> 8), static_cast<unsigned char>(word)};
    store(attribute, reinterpret_cast<const char*>(network), sizeof network);
  } else if (attribute->MaxValSize == kHalfWordAttribute) {
    const unsigned char network[2] = {static_cast<unsigned char>(word >> 8), static_cast<unsigned char>(word)};
    store(attribute, reinterpret_cast<const char*>(network), sizeof network);
  } else {
    ZEVP_MIBIO_TRC(TRC_ERROR, "*****unsupported attribute <%s> size %d", attribute->AttrName,
                   static_cast<int>(attribute->MaxValSize));
    return 0;
  }
  return 1;
}

int loadText(AttributeEntry* attribute, char* content, uint32_t length) {
  if (length == 0) {
    store(attribute, content, 0);
    return 1;
  }
  auto shown = static_cast<int32_t>(length);
  char* printable = ZEVP_ConvertToPrintableCharacters(content, &shown);
  if (printable == nullptr) return 0;
  if (printable != content) {
    store(attribute, printable, std::strlen(printable));
    ZEV0_FreeStorage(&printable);
  } else {
    store(attribute, content, length);
  }
  return 1;
}

int loadObjectIdentifier(AttributeEntry* attribute, const char* content, uint32_t length) {
  int32_t count = 0;
  uint32_t* elements = ZEV0_DecodeOIDfromBER(content, length, &count);
  char* text = elements != nullptr ? ZEV0_ConvertOIDtoString(elements, count) : nullptr;
  ZEV0_FreeStorage(&elements);
  if (text == nullptr) {
    ZEVP_MIBIO_TRC(TRC_ERROR, "Attr value OID not loaded %d", 0);
    return 0;
  }
  storeText(attribute, text);
  ZEV0_FreeStorage(&text);
  return 1;
}

int loadIpAddress(AttributeEntry* attribute, const char* content) {
  const auto* bytes = reinterpret_cast<const unsigned char*>(content);
  char text[16];
  std::snprintf(text, sizeof text, "%u.%u.%u.%u", bytes[0], bytes[1], bytes[2], bytes[3]);
  storeText(attribute, text);
  return 1;
}

int loadOpaque(AttributeEntry* attribute, int tag, const char* content, uint32_t length) {
  store(attribute, content, length);
  ZEVP_MIBIO_TRC(TRC_DETAIL, "Attr value Opaque loaded %d %s", static_cast<int>(attribute->ActualValSize),
                 ZEV0_GetASN1typeString(tag));
  return 1;
}

}  // namespace

int ZEVP_SNMPloadAttributeFromBER(char* varBind, uint32_t remaining, AttributeEntry* attribute,
                                  const char* expectedOID, int32_t expectedOIDlength) {
  if (attribute == nullptr || expectedOID == nullptr || expectedOIDlength < 1) return 0;
  SNMPvarBind fields{};
  int tag = ZEVP_ReadVarBind(varBind, remaining, &fields);
  if (tag == 0) return 0;
  if (fields.oidFieldLength != static_cast<uint32_t>(expectedOIDlength) ||
      std::memcmp(fields.oidField, expectedOID, fields.oidFieldLength) != 0) {
    ZEVP_MIBIO_TRC(TRC_ERROR, "*****unexpected VarBind OID received %s",
                   hexDump(fields.oidField, fields.oidFieldLength).c_str());
    return 0;
  }
  char* value = fields.value;
  const uint32_t valueLength = fields.valueLength;
  switch (tag) {
    case ZEV0_ASN_INTEGER:
      return loadInteger(attribute, value, valueLength, true);
    case kCounter:
    case kGauge:
    case kTimeTicks:
      return loadInteger(attribute, value, valueLength, false);
    case ZEV0_ASN_OCTETSTRING:
      return loadText(attribute, value, valueLength);
    case ZEV0_ASN_OBJECTIDENTIFIER:
      return loadObjectIdentifier(attribute, value, valueLength);
    case kIpAddress:
      if (valueLength == kIpAddressBytes) return loadIpAddress(attribute, value);
      return loadOpaque(attribute, tag, value, valueLength);
    default:
      return loadOpaque(attribute, tag, value, valueLength);
  }
}
