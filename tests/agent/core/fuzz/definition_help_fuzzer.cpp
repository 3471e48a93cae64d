// libFuzzer harness of the help text and the enumerations as the definition-file writers
// read them: the first byte picks a group's position, the rest is the help text. Its
// segment is walked token by token, the attribute file's help column is made from it, and
// every enumerations token is walked entry by entry. Whatever the bytes, every token, name
// and value lies within the text, tokens are never empty and values never either.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "attribute_help_column.h"
#include "help_text_walk.h"

namespace {

bool Within(std::string_view part, std::string_view text) {
  return part.data() >= text.data() && part.data() + part.size() <= text.data() + text.size();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  int position = data[0] % 8;
  std::string input(reinterpret_cast<const char*>(data) + 1, size - 1);
  std::string_view help(input);

  if (!Within(ApplicationHelp(help), help)) __builtin_trap();
  HelpSegment segment(help, position);
  std::string_view token;
  while (segment.next(&token)) {
    if (token.empty() || !Within(token, help)) __builtin_trap();
    EnumerationEntries entries(token);
    std::string_view name, value;
    while (entries.next(&name, &value))
      if (value.empty() || !Within(name, token) || !Within(value, token)) __builtin_trap();
  }
  if (AttributeHelpColumn(help, position, "APPG100", "AFFINITY").size() < 10) __builtin_trap();
  return 0;
}
