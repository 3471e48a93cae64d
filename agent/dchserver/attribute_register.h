// The attribute-register text with which a data provider describes the
// attributes of an attribute group, and its parser.
//
// One description per attribute, each ended by ';':
//   [@][$]name,type,length,enumerations,help;
// '@' marks a key, '$' an atomic attribute (both may stand, in that order); the
// type is the first character of its field; the length is decimal; an
// enumeration field of one character means none; the help runs from after the
// fourth comma to the ';', commas included, and one blank means none. Empty
// fields are skipped, so the fields after them move up.
#pragma once

#include <cstdint>
#include <string>

struct AttributeDescription {
  static constexpr size_t kMaxName = 201;
  static constexpr size_t kMaxHelp = 245;
  static constexpr int kMaxLength = INT16_MAX;

  std::string name;          // prefix removed, invalid name characters replaced by '_'
  std::string help;          // at most kMaxHelp characters, separators blanked
  std::string enumerations;  // one blank when there are none
  char type = '\0';
  int16_t length = 0;
  bool keyed = false;
  bool atomic = false;
};

class AttributeRegisterParser {
 public:
  // The text must stay unchanged while the parser reads it.
  explicit AttributeRegisterParser(const char* registerText);

  // 1 with the next attribute in *description; 0 when the text has ended; -1 for
  // a malformed description (traced), after which the parse must stop.
  int next(AttributeDescription* description);

 private:
  const char* cursor_;
};
