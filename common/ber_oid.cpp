#include <cstdio>
#include <cstring>

#include "trc1.h"
#include "zev0/ber.h"
#include "zev0/storage.h"

TRC_UNIT();

namespace {

constexpr unsigned char kMoreBytesFlag = 0x80;
constexpr unsigned char kSevenBits = 0x7F;
// Bytes with the flag set before an element's last byte; four carry 28 bits, the
// last byte seven more, enough for 32.
constexpr int kMaxLeadingBytes = 4;
constexpr int kLargestFieldHeader = 6;  // tag and a five-byte length field
constexpr int kBlockSlack = 32;

// Bytes of an element in base 128.
int base128Size(uint32_t element) {
  int size = 1;
  while ((element >>= 7) != 0) ++size;
  return size;
}

char* writeBase128(char* out, uint32_t element) {
  for (int group = base128Size(element) - 1; group >= 0; --group) {
    auto byte = static_cast<unsigned char>((element >> (7 * group)) & kSevenBits);
    if (group > 0) byte |= kMoreBytesFlag;
    *out++ = static_cast<char>(byte);
  }
  return out;
}

// The next element of dotted text at *position; empty pieces are skipped.
// Returns 1 with *element set, 0 at the end of the text, -1 for a piece that is
// not a decimal number of at most 32 bits.
int nextElement(const char** position, uint32_t* element) {
  const char* p = *position;
  while (*p == '.') ++p;
  if (*p == '\0') return 0;
  uint64_t value = 0;
  for (; *p != '\0' && *p != '.'; ++p) {
    if (*p < '0' || *p > '9') return -1;
    value = value * 10 + static_cast<uint64_t>(*p - '0');
    if (value > UINT32_MAX) return -1;
  }
  *position = p;
  *element = static_cast<uint32_t>(value);
  return 1;
}

struct OidTextShape {
  uint32_t count = 0;
  uint32_t first = 0;
  uint32_t second = 0;
  uint32_t contentLength = 0;
};

// Walks the whole text once: element count, first two elements and content length.
bool measureOidText(const char* text, OidTextShape* shape) {
  uint32_t element = 0;
  int found = 0;
  while ((found = nextElement(&text, &element)) == 1) {
    if (shape->count == 0) shape->first = element;
    if (shape->count == 1) shape->second = element;
    ++shape->count;
    shape->contentLength += static_cast<uint32_t>(base128Size(element));
  }
  if (found < 0 || shape->count < 2) return false;
  if (shape->first > 2) {
    TRC(TRC_ERROR, "First OID element must be 0, 1, or 2. Input %u", shape->first);
    return false;
  }
  if (shape->second >= 40) {
    TRC(TRC_ERROR, "Second OID element must be less than 40. Input %u", shape->second);
    return false;
  }
  --shape->contentLength;  // the first two elements share one byte
  return true;
}

// Writes tag, length and content of a text that measureOidText accepted.
char* writeOidField(char* out, const char* text, const OidTextShape& shape) {
  *out++ = static_cast<char>(ZEV0_ASN_OBJECTIDENTIFIER);
  ZEV0_FormatBERlengthField(&out, shape.contentLength);
  *out++ = static_cast<char>(shape.first * 40 + shape.second);
  uint32_t element = 0;
  nextElement(&text, &element);
  nextElement(&text, &element);
  while (nextElement(&text, &element) == 1) out = writeBase128(out, element);
  return out;
}

// Reads one base-128 element from content[*offset]; false when it is padded, the
// content ends inside it or it does not fit 32 bits.
bool readBase128(const unsigned char* content, uint32_t length, uint32_t* offset, uint32_t* element) {
  if (*offset < length && content[*offset] == kMoreBytesFlag) {
    // BER writes every element in its fewest bytes.
    TRC(TRC_ERROR, "*****OID element begins with a padding byte 0x80");
    return false;
  }
  uint32_t value = 0;
  for (int leadingBytes = 0; *offset < length; ++leadingBytes) {
    unsigned char byte = content[(*offset)++];
    if (leadingBytes == kMaxLeadingBytes && (byte & kMoreBytesFlag) != 0) {
      TRC(TRC_ERROR, "*****unsupported too large length field %d", leadingBytes + 1);
      return false;
    }
    if ((value >> 25) != 0) {
      TRC(TRC_ERROR, "*****OID element larger than 32 bits");
      return false;
    }
    value = (value << 7) | (byte & kSevenBits);
    if ((byte & kMoreBytesFlag) == 0) {
      *element = value;
      return true;
    }
  }
  TRC(TRC_ERROR, "*****OID content ends inside an element");
  return false;
}

// Splits the first subidentifier into the first two elements.
void splitFirst(uint32_t subidentifier, uint32_t* elements) {
  uint32_t first = subidentifier < 40 ? 0 : subidentifier < 80 ? 1 : 2;
  elements[0] = first;
  elements[1] = subidentifier - 40 * first;
}

bool decodeElements(const unsigned char* content, uint32_t length, uint32_t* elements, int32_t* count) {
  uint32_t offset = 0;
  uint32_t subidentifier = 0;
  if (!readBase128(content, length, &offset, &subidentifier)) return false;
  splitFirst(subidentifier, elements);
  int32_t decoded = 2;
  while (offset < length) {
    if (decoded == ZEV0_OID_MAX_ELEMENTS) {
      TRC(TRC_ERROR, "*****OID of more than %d elements unsupported", ZEV0_OID_MAX_ELEMENTS);
      return false;
    }
    if (!readBase128(content, length, &offset, &elements[decoded])) return false;
    ++decoded;
  }
  *count = decoded;
  return true;
}

}  // namespace

int ZEV0_FormatOIDfromString(const char* text, char** block, int32_t* length) {
  *block = nullptr;
  *length = 0;
  OidTextShape shape;
  if (text == nullptr || !measureOidText(text, &shape)) {
    TRC(TRC_ERROR, "*****Error detected in input OID string <%s>", text != nullptr ? text : "");
    return 0;
  }
  auto blockSize = static_cast<int32_t>(shape.contentLength + kLargestFieldHeader + kBlockSlack);
  auto* field = static_cast<char*>(ZEV0_GetStorage(blockSize));
  if (field == nullptr) return 0;
  std::memset(field, 0, static_cast<size_t>(blockSize));
  char* end = writeOidField(field, text, shape);
  *block = field;
  *length = static_cast<int32_t>(end - field);
  return 1;
}

uint32_t* ZEV0_DecodeOIDfromBER(const char* content, uint32_t length, int32_t* count) {
  *count = 0;
  if (content == nullptr || length == 0) {
    TRC(TRC_ERROR, "*****OID content empty");
    return nullptr;
  }
  const int32_t arraySize = ZEV0_OID_MAX_ELEMENTS * sizeof(uint32_t);
  auto* elements = static_cast<uint32_t*>(ZEV0_GetStorage(arraySize));
  if (elements == nullptr) return nullptr;
  std::memset(elements, 0, arraySize);
  if (!decodeElements(reinterpret_cast<const unsigned char*>(content), length, elements, count)) {
    ZEV0_FreeStorage(&elements);
    return nullptr;
  }
  return elements;
}

char* ZEV0_ConvertOIDtoString(const uint32_t* elements, int32_t count) {
  auto* text = static_cast<char*>(ZEV0_GetStorage(ZEV0_OID_TEXT_SIZE));
  if (text == nullptr) return nullptr;
  std::memset(text, 0, ZEV0_OID_TEXT_SIZE);
  if (count < 1) return text;
  if (elements == nullptr) {
    TRC(TRC_ERROR, "*****Input OID element array pointer invalid");
    ZEV0_FreeStorage(&text);
    return nullptr;
  }
  size_t used = 0;
  for (int32_t i = 0; i < count; ++i) {
    int printed = std::snprintf(text + used, ZEV0_OID_TEXT_SIZE - used, i == 0 ? "%u" : ".%u", elements[i]);
    if (printed < 0 || used + static_cast<size_t>(printed) >= ZEV0_OID_TEXT_SIZE) {
      TRC(TRC_ERROR, "*****OID text longer than %d bytes unsupported", ZEV0_OID_TEXT_SIZE - 1);
      ZEV0_FreeStorage(&text);
      return nullptr;
    }
    used += static_cast<size_t>(printed);
  }
  return text;
}
