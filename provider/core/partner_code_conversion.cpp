#include "partner_code_conversion.h"

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
  auto* bytes = reinterpret_cast<unsigned char*>(buffer);
  for (int i = 0; i < length; ++i)
    if (bytes[i] < 0x80) bytes[i] = ascii_to_ebcdic[bytes[i]];
}
