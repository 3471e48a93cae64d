// The character code of requests and replies: the library carries the tables itself.
#include "zev0/code_tables.h"
#include "zevpapi/dp_api.h"

namespace {

constexpr bool kLocalIsAscii = 'A' == 0x41;

}  // namespace

extern "C" void ZEVP_ConvertBufferToNetwork(char* buffer, int length) {
  if (kLocalIsAscii) zev0::AsciiToEbcdic(reinterpret_cast<unsigned char*>(buffer), length);
}

extern "C" void ZEVP_ConvertBufferToLocal(char* buffer, int length, int asciiInput) {
  if (kLocalIsAscii)
    zev0::EbcdicToAscii(reinterpret_cast<unsigned char*>(buffer), length);
  else if (asciiInput != 0)
    zev0::AsciiToEbcdic(reinterpret_cast<unsigned char*>(buffer), length);
}
