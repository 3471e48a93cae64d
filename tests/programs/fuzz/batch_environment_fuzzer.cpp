// The batch job's environment settings file: every setting handed on is one line
// of at most 255 characters.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "environment_file.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string text(reinterpret_cast<const char*>(data), size);
  FILE* stream = fmemopen(text.data(), text.size() + 1, "r");
  if (stream == nullptr) return 0;
  zevb350::ReadEnvironmentSettings(stream, [](const std::string& setting) {
    if (setting.empty() || setting.size() > zevb350::kEnvironmentLineMax ||
        setting.find('\n') != std::string::npos)
      std::abort();
  });
  std::fclose(stream);
  return 0;
}
