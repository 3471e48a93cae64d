#include "partner_code_conversion.h"

#include "zev0/code_tables.h"
#include "zev0/codepage.h"

namespace {

constexpr bool kLocalIsNetworkCode = Local_A == NETWORK_A;

}  // namespace

void ZEVP_ConvertBufferToNetwork(char* buffer, int length) { ZEV0_ConvertDataToNetwork(buffer, length); }

void ZEVP_ConvertBufferToLocal(char* buffer, int length, int asciiInput) {
  if (!kLocalIsNetworkCode) {
    ZEV0_ConvertDataToLocal(buffer, length);
    return;
  }
  if (asciiInput == 0) return;
  zev0::AsciiToEbcdic(reinterpret_cast<unsigned char*>(buffer), length);
}
