#include "builtin_group.h"

#include "application_entry.h"
#include "attribute_entry.h"
#include "source_entry.h"
#include "table_entry.h"

namespace zevp {

SourceEntry* DefineBuiltInGroup(DPAB* anchor, ApplicationEntry* application, const BuiltInGroup& group,
                                const char* ttl) {
  TableEntry* table = ZEVP_InitializeTableEntry(application, group.name, group.type, ttl, group.help);
  if (table == nullptr) return nullptr;
  ++application->NumberOfGroups;
  SourceEntry* source = ZEVP_InitializeSourceEntry(anchor, table, "BASE", nullptr, nullptr, nullptr);
  if (source == nullptr) return nullptr;
  source->BuiltIn = 1;
  for (int i = 0; i < group.count; ++i) {
    const BuiltInAttribute& attribute = group.attributes[i];
    if (ZEVP_InitializeAttrEntry(source, attribute.name, attribute.type, attribute.size, attribute.key,
                                 attribute.atomic, attribute.help, nullptr) == nullptr)
      return nullptr;
  }
  table->SourceCount = 1;
  table->AttributesDefined = group.count;
  table->AttributesPerRow = group.count;
  table->AttributesNotDerived = group.count;
  return source;
}

}  // namespace zevp
