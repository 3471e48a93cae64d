// libFuzzer harness of the MIB interest file's reader: each input is the file, read
// for every application and for one whose name its first line may begin. None may
// crash, hang or leak.
#include <cstdint>
#include <cstdio>
#include <string>

#include "mib_interest_file.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string text(reinterpret_cast<const char*>(data), size);
  for (const char* application : {static_cast<const char*>(nullptr), "MYAPP", ""}) {
    FILE* file = fmemopen(text.empty() ? nullptr : text.data(), text.size(), "r");
    if (file == nullptr) return 0;
    ZEVP_ReadMIBinterestRecords(file, application);
    std::fclose(file);
  }
  return 0;
}
