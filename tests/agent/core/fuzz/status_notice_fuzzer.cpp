// libFuzzer harness of a source status notice as the status monitor reads it: whatever text
// the wait brings, a notice is either refused or split into four parts that give the text
// back.
#include <cstddef>
#include <cstdint>
#include <string>

#include "status_notice.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string text(reinterpret_cast<const char*>(data), size);
  const char* terminated = text.c_str();
  statusNotice notice;
  if (!parseStatusNotice(terminated, &notice)) return 0;
  std::string rejoined = notice.applName + "," + notice.attrGroup + "," + notice.sourceName + "," + notice.requestType;
  bool sound = rejoined == terminated && !notice.requestType.empty() &&
               (notice.applName + notice.attrGroup + notice.sourceName).find(',') == std::string::npos;
  if (!sound) __builtin_trap();
  return 0;
}
