// The parts of an application's help text and of an attribute's enumeration that the
// definition-file writers print.
//
// The help text is the application's help, a comma, then one segment per attribute group
// in the order of the groups, separated by colons. A segment is the group name, the group
// help, then three tokens per attribute after the origin node (name, help, enumerations
// field), separated by commas; empty tokens do not count. The text comes from the data
// providers' registration: a segment may be missing or end early, and the walks then
// simply end.
//
// An enumeration ("LOW(1) HIGH(2)") is a list of entries separated by a blank, each a name
// with its value in parentheses.
#pragma once

#include <string_view>

// The application's help: the text up to its first comma.
std::string_view ApplicationHelp(std::string_view helpText);

class HelpSegment {
 public:
  // The segment of the group at that position (1 for the first group).
  HelpSegment(std::string_view helpText, int position);

  // False when the help text has fewer segments.
  bool found() const { return found_; }
  // The next non-empty token; false when the segment is used up.
  bool next(std::string_view* token);

 private:
  bool found_ = false;
  std::string_view rest_;
};

class EnumerationEntries {
 public:
  explicit EnumerationEntries(std::string_view enumeration) : rest_(enumeration) {}

  // The next entry: its name (up to the first "(") and its value (up to the next ")").
  // False after the last entry, and at the first entry without a value.
  bool next(std::string_view* name, std::string_view* value);

 private:
  std::string_view rest_;
};
