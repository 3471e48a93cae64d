#include "snmp_tabular_key.h"

#include <cstring>

#include "application_entry.h"
#include "attribute_entry.h"
#include "source_entry.h"
#include "table_entry.h"
#include "trc1.h"

TRC_UNIT();

namespace {

constexpr const char* kFirstAttribute = "Agent_Info";
constexpr const char* kSecondAttribute = "Agent_Name";

bool hasKeyFrom(const AttributeEntry* attribute) {
  for (; attribute != nullptr; attribute = attribute->next)
    if (attribute->AttrKey) return true;
  return false;
}

}  // namespace

int ZEVP_CheckSNMPtabularKey(TableEntry* table) {
  if (table == nullptr || table->Application == nullptr || !table->Application->SNMPapplication) return 0;
  SourceEntry* source = table->FirstSource;
  AttributeEntry* first = source != nullptr ? source->FirstAttribute : nullptr;
  AttributeEntry* second = first != nullptr ? first->next : nullptr;
  AttributeEntry* third = second != nullptr ? second->next : nullptr;
  if (table->AttributesPerRow < 3 || third == nullptr) {
    TRC(TRC_ERROR, "*****ERROR: Incomplete SNMP attribute group definition. Check bypassed");
    return 0;
  }
  if (std::strcmp(first->AttrName, kFirstAttribute) != 0) {
    TRC(TRC_DETAIL, "AddOIDinstance bypassed 1. ATR %s not %s", first->AttrName, kFirstAttribute);
    return 0;
  }
  if (std::strcmp(second->AttrName, kSecondAttribute) != 0) {
    TRC(TRC_DETAIL, "AddOIDinstance bypassed 2. ATR %s not %s", second->AttrName, kSecondAttribute);
    return 0;
  }
  if (third->AttrOID != nullptr || hasKeyFrom(third)) return 0;
  if (ZEVP_InitializeAttrEntry(source, "_ObjectInstance", "D", "127", 1, 0, nullptr, nullptr) == nullptr) return 0;
  BSV1_GetLock(&table->CounterLock);
  ++table->AttributesDefined;
  ++table->AttributesPerRow;
  ++table->AttributesNotDerived;
  BSV1_ReleaseLock(&table->CounterLock);
  TRC(TRC_DETAIL, "ObjectInstance attribute generated for SNMP attribute group");
  return 1;
}
