// Texts into the fixed fields of the agent's definition records. A text that does not
// fit is refused whole, never cut: a cut name would name another group or table.
#pragma once

#include <cstring>
#include <string_view>

// Copies the text and a NUL into the field when they fit. False, with the field
// untouched, when they do not.
template <size_t N>
bool copyIfFits(char (&field)[N], std::string_view text) {
  if (text.size() >= N) return false;
  std::memcpy(field, text.data(), text.size());
  field[text.size()] = '\0';
  return true;
}

