#include "attribute_order.h"

#include "application_entry.h"
#include "attribute_entry.h"
#include "bsv1.h"
#include "source_entry.h"
#include "table_entry.h"
#include "trc1.h"

TRC_UNIT();

namespace {

bool isInserted(const AttributeEntry* attribute) { return attribute->AttrName[0] == '_'; }

bool takesPlaceInRow(const AttributeEntry* attribute) {
  return attribute->AttrAccessible != 0 && attribute->AttrType != ZEVP_ATTR_SKIP;
}

bool isLinked(const SourceEntry* source, const AttributeEntry* attribute) {
  for (const AttributeEntry* linked = source->FirstInSequence; linked != nullptr; linked = linked->NextInSequence)
    if (linked == attribute) return true;
  return false;
}

void appendUnlinked(SourceEntry* source, AttributeEntry* attribute) {
  AttributeEntry** place = &source->FirstInSequence;
  while (*place != nullptr) place = &(*place)->NextInSequence;
  attribute->NextInSequence = nullptr;
  *place = attribute;
}

// The caller holds the source's attribute lock.
void buildOrder(SourceEntry* source, int32_t attributesDefined) {
  AttributeEntry* attribute = source->FirstAttribute;
  while (attribute != nullptr && isInserted(attribute)) {
    appendUnlinked(source, attribute);
    attribute = attribute->next;
  }
  AttributeEntry* afterLeading = attribute;

  for (int32_t sequence = 1; sequence <= attributesDefined; ++sequence) {
    for (AttributeEntry* candidate = source->FirstAttribute; candidate != nullptr; candidate = candidate->next) {
      if (candidate->OrderSequence != sequence) continue;
      if (!isLinked(source, candidate)) appendUnlinked(source, candidate);
      break;
    }
  }
  for (AttributeEntry* candidate = source->FirstAttribute; candidate != nullptr; candidate = candidate->next)
    if (candidate->OrderSequence == 0 && !isInserted(candidate) && takesPlaceInRow(candidate))
      appendUnlinked(source, candidate);
  for (AttributeEntry* candidate = source->FirstAttribute; candidate != nullptr; candidate = candidate->next)
    if (candidate->OrderSequence != 0 && !isInserted(candidate) && takesPlaceInRow(candidate) &&
        !isLinked(source, candidate))
      appendUnlinked(source, candidate);
  for (AttributeEntry* candidate = afterLeading; candidate != nullptr; candidate = candidate->next)
    if (isInserted(candidate) && !isLinked(source, candidate)) appendUnlinked(source, candidate);
}

void traceOrder(const TableEntry* table, const SourceEntry* source) {
  TRC(TRC_DETAIL, "Table %s attribute order sequence is:", table->TableName);
  for (const AttributeEntry* attribute = source->FirstInSequence; attribute != nullptr;
       attribute = attribute->NextInSequence)
    TRC(TRC_DETAIL, "----- %s", attribute->AttrName);
}

void buildGroupOrder(TableEntry* table) {
  BSV1_GetLock(&table->CounterLock);
  int32_t attributesDefined = table->AttributesDefined;
  BSV1_ReleaseLock(&table->CounterLock);
  BSV1_GetLock(&table->SourceListLock);
  for (SourceEntry* source = table->FirstSource; source != nullptr; source = source->next) {
    BSV1_GetLock(&source->AttributeLock);
    if (source->FirstInSequence == nullptr) {
      buildOrder(source, attributesDefined);
      traceOrder(table, source);
    }
    BSV1_ReleaseLock(&source->AttributeLock);
  }
  BSV1_ReleaseLock(&table->SourceListLock);
}

}  // namespace

void AddAttributeToList(SourceEntry* source, AttributeEntry* attribute) {
  if (source == nullptr || attribute == nullptr) return;
  BSV1_GetLock(&source->AttributeLock);
  if (!isLinked(source, attribute)) appendUnlinked(source, attribute);
  BSV1_ReleaseLock(&source->AttributeLock);
}

void ZEVP_ConstructAttributeOrderLinkList(ApplicationEntry* application, TableEntry* table) {
  if (table != nullptr) {
    buildGroupOrder(table);
    return;
  }
  if (application == nullptr) return;
  BSV1_GetLock(&application->TableListLock);
  for (TableEntry* group = application->FirstTable; group != nullptr; group = group->next) buildGroupOrder(group);
  BSV1_ReleaseLock(&application->TableListLock);
}
