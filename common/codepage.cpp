#include "zev0/codepage.h"

#include "trc1.h"
#include "zev0/code_tables.h"

#include <cstdlib>

TRC_UNIT();

namespace {

constexpr bool kLocalIsAscii = Local_A == ASCII_A;
constexpr bool kConvertForNetwork = Local_A != NETWORK_A && kLocalIsAscii;

}  // namespace

void ZEV0_ConvertDataToNetwork(void* bytes, int32_t length) {
  if (kConvertForNetwork) zev0::AsciiToEbcdic(static_cast<unsigned char*>(bytes), length);
}

void ZEV0_ConvertDataToLocal(void* bytes, int32_t length) {
  if (kConvertForNetwork) zev0::EbcdicToAscii(static_cast<unsigned char*>(bytes), length);
}

void ZEV0_ConvertEBCDICtoASCII(void* bytes, int32_t length) {
  zev0::EbcdicToAscii(static_cast<unsigned char*>(bytes), length);
}

int ZEV0_CheckCodeConversion(char letter) {
  char hostLetter;
  if (kLocalIsAscii) {
    hostLetter = 'A';
  } else if (Local_A == EBCDIC_A) {
    hostLetter = 'E';
  } else {
    TRC(TRC_ERROR, "***** Unsupported system platform, abort!");
    std::abort();
  }
  if (letter == hostLetter) {
    TRC(TRC_UNIT_DETAIL, "No data conversion required");
    return 0;
  }
  TRC(TRC_UNIT_DETAIL, "Data conversion required");
  return 1;
}

void ZEV0_ConvertShortEndian(void* value) {
  auto* b = static_cast<unsigned char*>(value);
  unsigned char t = b[0];
  b[0] = b[1];
  b[1] = t;
}

void ZEV0_ConvertLongEndian(void* value) {
  auto* b = static_cast<unsigned char*>(value);
  unsigned char t = b[0];
  b[0] = b[3];
  b[3] = t;
  t = b[1];
  b[1] = b[2];
  b[2] = t;
}

void ZEV0_CheckIntegerEndian(int size, void* value) {
  if (__BYTE_ORDER__ == __ORDER_BIG_ENDIAN__) return;
  if (size == 2)
    ZEV0_ConvertShortEndian(value);
  else if (size == 4)
    ZEV0_ConvertLongEndian(value);
}
