// libFuzzer harness of a line of the table-manager registry's work file: a line is taken
// with both its names, each a non-empty run without blanks, or refused.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "table_manager_line.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string_view line(reinterpret_cast<const char*>(data), size);
  tableManagerLine parsed;
  if (!parseTableManagerLine(line, &parsed)) return 0;
  for (const std::string& name : {parsed.applName, parsed.tableName})
    if (name.empty() || name.find(' ') != std::string::npos || name.size() > line.size()) __builtin_trap();
  return 0;
}
