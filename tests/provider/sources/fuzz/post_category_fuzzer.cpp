// libFuzzer harness of the ZEVP_POST_CATEGORY value: each input is one value applied
// to a fresh category table. None may crash; the table keeps its sixteen slots, and
// each key that is not free is found in its own slot.
#include <stdlib.h>

#include <cstdint>
#include <string>

#include "post_categories.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  setenv("ZEV_TRACE", "*=0", 1);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string setting(reinterpret_cast<const char*>(data), size);
  if (setting.find('\0') != std::string::npos) return 0;  // an environment value holds no zero byte
  zevp::PostCategories categories;
  categories.configure(setting);
  for (int slot = 0; slot < zevp::ZEVP_POST_MAX_CATEGORY; ++slot) {
    char key = categories.key(slot);
    if (key != ' ' && categories.slotOf(key) != slot) abort();
  }
  return 0;
}
