// The enumeration of an attribute, as its group's help block carries it.
//
// A help block is the group name, the group's help, then three fields per attribute:
// its name, its help and its enumerations field, all separated by commas (empty fields do
// not count). An enumerations field that holds an enumeration reads "ENUM{...}"; what
// stands between the braces is the enumeration, e.g. "LOW(1) HIGH(2)".
#pragma once

#include <string>
#include <string_view>

enum class EnumerationLookup {
  kFound,
  kNone,          // the attribute has no enumeration
  kNotInHelp,     // the block does not name the attribute
  kFieldMissing,  // the block ends before the attribute's enumerations field
  kUnclosed,      // "ENUM{" without "}" within kMaxEnumeration characters
};

constexpr size_t kMaxEnumeration = 2048;

// Finds the attribute by its name field and takes its enumeration.
EnumerationLookup findEnumeration(std::string_view helpBlock, std::string_view attrName, std::string* enumeration);
