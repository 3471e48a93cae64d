// Free-form date and time text from outside: any text gives a stamp of its fixed
// size, never a read past the text or a write past the stamp.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "trc1.h"
#include "zev0/storage.h"
#include "zev0/timestamp.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const bool quiet = (TRC1_Configure("*=0"), true);
  (void)quiet;
  const std::string text(reinterpret_cast<const char*>(data), size);
  char* stamp = ZEV0_StringToPlovenTime(text.c_str());
  if (stamp == nullptr) std::abort();
  ZEV0_FreeStorage(&stamp);
  return 0;
}
