// The attribute groups of the applications the data provider defines itself,
// without a metafile: each has one BASE source, marked built in, that carries the
// group's attributes in definition order.
#pragma once

#include <string>
#include <string_view>

struct ApplicationEntry;
struct AttributeEntry;
struct DPAB;
struct SourceEntry;

namespace zevp {

struct BuiltInAttribute {
  const char* name;
  const char* type;
  const char* size;  // null: the type's own size
  int key;
  int atomic;
  const char* help;
};

struct BuiltInGroup {
  const char* name;
  const char* type;
  const char* help;
  const BuiltInAttribute* attributes;
  int count;
};

// Appends the group with its source and attributes to the application (ttl may be
// null); the source, or null when a part could not be made (what was made stays
// with the application, for its release).
SourceEntry* DefineBuiltInGroup(DPAB* anchor, ApplicationEntry* application, const BuiltInGroup& group,
                                const char* ttl);

// Renames a built-in group's source after the data provider that runs it: its node
// name followed by the data provider's type code and "dp"; the new name.
std::string NameBuiltInSource(const DPAB* anchor, SourceEntry* source);

// A text value of a row, cut to the attribute's size.
void SetRowText(AttributeEntry* attribute, std::string_view text);

}  // namespace zevp
