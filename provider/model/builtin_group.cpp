#include "builtin_group.h"

#include <algorithm>
#include <cstring>

#include "application_entry.h"
#include "attribute_entry.h"
#include "dp_anchor.h"
#include "metafile_text.h"
#include "source_entry.h"
#include "table_entry.h"
#include "trc1.h"
#include "zev/dp_types.h"
#include "zev0/storage.h"

TRC_UNIT();

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

std::string NameBuiltInSource(const DPAB* anchor, SourceEntry* source) {
  const char* type = anchor->dpType >= 0 && anchor->dpType < ZEV_DP_TYPE_COUNT ? DPtypeString[anchor->dpType] : "";
  std::string node = std::string(source->pSourceNodeName != nullptr ? source->pSourceNodeName : "") + type + "dp";
  ZEV0_FreeStorage(&source->pSourceNodeName);
  source->pSourceNodeName = NewStorageText(node);
  source->SourceNodeNameLength = static_cast<int32_t>(node.size());
  TRC(TRC_DETAIL, "Set pSourceNodeName <%s> SEptr @%p", node.c_str(), static_cast<void*>(source));
  return node;
}

void SetRowText(AttributeEntry* attribute, std::string_view text) {
  const size_t length = std::min(text.size(), static_cast<size_t>(attribute->MaxValSize));
  std::memcpy(attribute->Value(), text.data(), length);
  attribute->Value()[length] = '\0';
  attribute->ActualValSize = static_cast<uint16_t>(length);
}

}  // namespace zevp
