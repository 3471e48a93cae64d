#include "attribute_enumeration.h"

#include "field_walk.h"

namespace {

constexpr std::string_view kEnumOpen = "ENUM{";

// The next non-empty field.
bool nextField(FieldWalk* fields, std::string_view* field) {
  while (fields->next(',', field))
    if (!field->empty()) return true;
  return false;
}

EnumerationLookup takeEnumeration(std::string_view field, std::string* enumeration) {
  if (field.size() <= kEnumOpen.size() || field.substr(0, kEnumOpen.size()) != kEnumOpen)
    return EnumerationLookup::kNone;
  size_t close = field.find('}');
  if (close == std::string_view::npos || close >= kMaxEnumeration) return EnumerationLookup::kUnclosed;
  std::string_view content = field.substr(kEnumOpen.size(), close - kEnumOpen.size());
  if (content.empty()) return EnumerationLookup::kNone;
  enumeration->assign(content);
  return EnumerationLookup::kFound;
}

}  // namespace

EnumerationLookup findEnumeration(std::string_view helpBlock, std::string_view attrName, std::string* enumeration) {
  FieldWalk fields(helpBlock);
  std::string_view group, groupHelp, name, help, enumerations;
  if (!nextField(&fields, &group) || !nextField(&fields, &groupHelp)) return EnumerationLookup::kNotInHelp;
  while (nextField(&fields, &name)) {
    if (name != attrName) {
      // Another attribute: pass over its help and enumerations.
      if (!nextField(&fields, &help) || !nextField(&fields, &enumerations)) break;
      continue;
    }
    if (!nextField(&fields, &help) || !nextField(&fields, &enumerations)) return EnumerationLookup::kFieldMissing;
    return takeEnumeration(enumerations, enumeration);
  }
  return EnumerationLookup::kNotInHelp;
}
