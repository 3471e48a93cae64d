// Prints what the code conversions make of every byte, one line per conversion:
//   NAME: HEX HEX ...
// check_code_tables.py compares the lines with an independent EBCDIC table.
#include <cstdio>

#include "zev0/codepage.h"

namespace {

void dump(const char* name, void (*convert)(void*, int32_t), int count) {
  unsigned char bytes[256];
  for (int i = 0; i < count; ++i) bytes[i] = static_cast<unsigned char>(i);
  convert(bytes, count);
  std::printf("%s:", name);
  for (int i = 0; i < count; ++i) std::printf(" %02X", bytes[i]);
  std::printf("\n");
}

}  // namespace

int main() {
  dump("to_network", ZEV0_ConvertDataToNetwork, 128);
  dump("to_local", ZEV0_ConvertDataToLocal, 256);
  dump("ebcdic_to_ascii", ZEV0_ConvertEBCDICtoASCII, 256);
  return 0;
}
