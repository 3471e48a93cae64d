#include "help_text_walk.h"

#include "field_walk.h"

std::string_view ApplicationHelp(std::string_view helpText) { return helpText.substr(0, helpText.find(',')); }

// Segments are counted as the definition counts its help blocks, so the segment of a
// group is the block its enumerations came from. The ";" that ends the whole text is no
// segment.
HelpSegment::HelpSegment(std::string_view helpText, int position) {
  if (!helpText.empty() && helpText.back() == ';') helpText.remove_suffix(1);
  size_t comma = helpText.find(',');
  if (comma == std::string_view::npos || position < 1) return;
  FieldWalk segments(helpText.substr(comma + 1));
  std::string_view segment;
  for (int i = 0; i < position; ++i)
    if (!segments.next(':', &segment)) return;
  found_ = true;
  rest_ = segment;
}

bool HelpSegment::next(std::string_view* token) {
  FieldWalk tokens(rest_);
  while (tokens.next(',', token)) {
    rest_ = tokens.rest();
    if (!token->empty()) return true;
  }
  rest_ = {};
  return false;
}

bool EnumerationEntries::next(std::string_view* name, std::string_view* value) {
  std::string_view entry;
  FieldWalk entries(rest_);
  if (!entries.next(' ', &entry)) return false;
  rest_ = entries.rest();
  size_t open = entry.find('(');
  size_t close = open == std::string_view::npos ? open : entry.find(')', open + 1);
  if (close == std::string_view::npos || close == open + 1) {
    rest_ = {};
    return false;
  }
  *name = entry.substr(0, open);
  *value = entry.substr(open + 1, close - open - 1);
  return true;
}
