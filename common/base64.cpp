#include "zev0/base64.h"

#include <array>
#include <cstring>

#include "trc1.h"

TRC_UNIT();

namespace {

constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
constexpr char kPad = '=';
constexpr unsigned char kPadValue = 255;
constexpr unsigned char kNoValue = 254;

// Each conversion is built in a working area of this size: a result holds at most
// one character less.
constexpr int kWorkingAreaSize = 512;

// Indexed by the unsigned value of an input character; a character with its top
// bit set reads as the same character without it.
constexpr std::array<unsigned char, 256> buildDecodingTable() {
  std::array<unsigned char, 256> table{};
  for (auto& entry : table) entry = kNoValue;
  for (int value = 0; value < 64; ++value) {
    auto c = static_cast<unsigned char>(kAlphabet[value]);
    table[c] = static_cast<unsigned char>(value);
    table[c + 128] = static_cast<unsigned char>(value);
  }
  table[static_cast<unsigned char>(kPad)] = kPadValue;
  table[static_cast<unsigned char>(kPad) + 128] = kPadValue;
  return table;
}

constexpr std::array<unsigned char, 256> kDecodingTable = buildDecodingTable();

// Up to four characters of input as one group; missing characters count 0, and a
// pad in the third or fourth place stands for no data.
ZEV0_Base64Group decodingGroup(const char* characters, int available) {
  ZEV0_Base64Group group{};
  group.count = static_cast<uint32_t>(available < 4 ? available : 4);
  for (uint32_t i = 0; i < group.count; ++i) {
    unsigned char value = kDecodingTable[static_cast<unsigned char>(characters[i])];
    group.data[i] = (value == kPadValue && i >= 2) ? 0 : value;
  }
  return group;
}

bool acceptInput(const char* input, int maxLength, size_t* length) {
  *length = input == nullptr ? 0 : strnlen(input, static_cast<size_t>(maxLength) + 1);
  if (*length == 0) {
    TRC(TRC_ERROR, "No input string was provided");
    return false;
  }
  if (*length > static_cast<size_t>(maxLength)) {
    TRC(TRC_ERROR, "Input string longer than %d characters refused", maxLength);
    return false;
  }
  return true;
}

}  // namespace

void ZEV0_EncodeRaw(unsigned char* sextets, const unsigned char* octets) {
  sextets[0] = octets[0] >> 2;
  sextets[1] = static_cast<unsigned char>(((octets[0] & 0x03) << 4) | (octets[1] >> 4));
  sextets[2] = static_cast<unsigned char>(((octets[1] & 0x0F) << 2) | (octets[2] >> 6));
  sextets[3] = octets[2] & 0x3F;
}

void ZEV0_EncodeToBuffer(const ZEV0_Base64Group* group, char* output) {
  unsigned char sextets[4];
  ZEV0_EncodeRaw(sextets, group->data);
  for (int i = 0; i < 4; ++i) output[i] = kAlphabet[sextets[i]];
  if (group->count < 3) output[3] = kPad;
  if (group->count < 2) output[2] = kPad;
}

int ZEV0_EncodeBase64(const char* input, char** output) {
  size_t length;
  if (!acceptInput(input, ZEV0_BASE64_MAX_ENCODE_INPUT, &length)) return 0;
  char workingArea[kWorkingAreaSize] = {};
  char* next = workingArea;
  for (size_t at = 0; at < length; at += 3, next += 4) {
    ZEV0_Base64Group group{};
    group.count = static_cast<uint32_t>(length - at < 3 ? length - at : 3);
    std::memcpy(group.data, input + at, group.count);
    ZEV0_EncodeToBuffer(&group, next);
  }
  std::strcpy(*output, workingArea);
  return 1;
}

void ZEV0_DecodeRaw(unsigned char* octets, const unsigned char* sextets) {
  octets[0] = static_cast<unsigned char>(((sextets[0] & 0x3F) << 2) | ((sextets[1] & 0x3F) >> 4));
  octets[1] = static_cast<unsigned char>(((sextets[1] & 0x0F) << 4) | ((sextets[2] & 0x3F) >> 2));
  octets[2] = static_cast<unsigned char>(((sextets[2] & 0x03) << 6) | (sextets[3] & 0x3F));
}

void ZEV0_DecodeToBuffer(const ZEV0_Base64Group* group, char* output) {
  ZEV0_DecodeRaw(reinterpret_cast<unsigned char*>(output), group->data);
}

int ZEV0_DecodeBase64(const char* input, char** output) {
  size_t length;
  if (!acceptInput(input, ZEV0_BASE64_MAX_DECODE_INPUT, &length)) return 0;
  char workingArea[kWorkingAreaSize] = {};
  char* next = workingArea;
  for (size_t at = 0; at < length; at += 4, next += 3) {
    ZEV0_Base64Group group = decodingGroup(input + at, static_cast<int>(length - at));
    ZEV0_DecodeToBuffer(&group, next);
  }
  std::strcpy(*output, workingArea);
  return 1;
}
