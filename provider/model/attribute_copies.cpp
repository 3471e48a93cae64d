#include "attribute_copies.h"

#include <cstring>
#include <vector>

#include "attribute_entry.h"
#include "derived_functions.h"
#include "source_entry.h"
#include "table_entry.h"
#include "trc1.h"
#include "zev0/storage.h"

TRC_UNIT();

namespace {

// A new block holding the first `length` bytes at text, or null.
char* copyBytes(const char* text, int32_t length) {
  auto* copy = static_cast<char*>(ZEV0_GetStorage(length));
  if (copy != nullptr) std::memcpy(copy, text, static_cast<size_t>(length));
  return copy;
}

char* copyText(const char* text) {
  return copyBytes(text, static_cast<int32_t>(std::strlen(text)) + 1);
}

AttributeEntry* findByName(AttributeEntry* list, const char* name) {
  for (AttributeEntry* attribute = list; attribute != nullptr; attribute = attribute->next)
    if (std::strcmp(attribute->AttrName, name) == 0) return attribute;
  return nullptr;
}

// The operand of the list that has the operand's name; a derived function stays.
const void* relinked(AttributeEntry* list, const void* operand) {
  if (ZEVP_IsDeriveFunction(operand)) return operand;
  const AttributeEntry* attribute = ZEVP_OperandAttribute(operand);
  return attribute != nullptr ? findByName(list, attribute->AttrName) : nullptr;
}

}  // namespace

int ZEVP_CopyAttributeOwnedStorage(AttributeEntry* copy) {
  const char* enumeration = copy->Enumeration;
  const char* oidText = copy->AttrOIDstring;
  const char* oid = copy->AttrOID;
  copy->Enumeration = nullptr;
  copy->AttrOIDstring = nullptr;
  copy->AttrOID = nullptr;
  const char* compare[ZEVP_FILTER_TERMS_MAX];
  for (int i = 0; i < ZEVP_FILTER_TERMS_MAX; ++i) {
    compare[i] = copy->FilterTerms[i].CompareString;
    copy->FilterTerms[i].CompareString = nullptr;
  }

  bool complete = true;
  if (enumeration != nullptr) complete = (copy->Enumeration = copyText(enumeration)) != nullptr;
  if (complete && oidText != nullptr) complete = (copy->AttrOIDstring = copyText(oidText)) != nullptr;
  if (complete && oid != nullptr) complete = (copy->AttrOID = copyBytes(oid, copy->AttrOIDlength)) != nullptr;
  for (int i = 0; complete && i < ZEVP_FILTER_TERMS_MAX; ++i)
    if (compare[i] != nullptr) complete = (copy->FilterTerms[i].CompareString = copyText(compare[i])) != nullptr;
  if (!complete) ZEVP_FreeAttributeOwnedStorage(copy);
  return complete ? 1 : 0;
}

void ZEVP_FreeAttributeOwnedStorage(AttributeEntry* attribute) {
  ZEV0_FreeStorage(&attribute->Enumeration);
  if (attribute->AttrOIDstring != nullptr)
    TRC(TRC_STORAGE, "Freeing AttrOIDstring @%p", static_cast<void*>(attribute->AttrOIDstring));
  ZEV0_FreeStorage(&attribute->AttrOIDstring);
  if (attribute->AttrOID != nullptr) TRC(TRC_STORAGE, "Freeing AttrOID @%p", static_cast<void*>(attribute->AttrOID));
  ZEV0_FreeStorage(&attribute->AttrOID);
  attribute->AttrOIDlength = 0;
  for (AttributeFilterTerm& term : attribute->FilterTerms) ZEV0_FreeStorage(&term.CompareString);
}

void ZEVP_SyncFormulaAttrReference(AttributeEntry* list) {
  for (AttributeEntry* attribute = list; attribute != nullptr; attribute = attribute->next) {
    if (attribute->AttrOper1 == nullptr || attribute->AttrOper2 == nullptr) continue;
    attribute->AttrOper1 = relinked(list, attribute->AttrOper1);
    attribute->AttrOper2 = static_cast<AttributeEntry*>(const_cast<void*>(relinked(list, attribute->AttrOper2)));
    TRC(TRC_DETAIL, "Assigned AttrOper1 @%p AttrOper2 @%p", attribute->AttrOper1,
        static_cast<void*>(attribute->AttrOper2));
  }
}

AttributeEntry* ZEVP_CreateCopySourceAttrs(SourceEntry* source) {
  AttributeEntry* first = nullptr;
  AttributeEntry** tail = &first;
  for (const AttributeEntry* attribute = source->FirstAttribute; attribute != nullptr; attribute = attribute->next) {
    int32_t size = ZEVP_AttributeEntrySize(attribute->MaxValSize);
    auto* copy = static_cast<AttributeEntry*>(ZEV0_GetStorage(size));
    if (copy == nullptr) {
      TRC(TRC_ERROR, "*** cannot obtain storage for attribute entry");
      break;
    }
    std::memcpy(copy, attribute, static_cast<size_t>(size));
    copy->next = nullptr;
    copy->NextInSequence = nullptr;
    copy->NextCopiedList = nullptr;
    if (!ZEVP_CopyAttributeOwnedStorage(copy)) {
      ZEV0_FreeStorage(&copy);
      TRC(TRC_ERROR, "*** cannot obtain storage for attribute entry");
      break;
    }
    TRC(TRC_STORAGE, "Allocated AttributeEntry copy @%p from ATRptr @%p for length %d", static_cast<void*>(copy),
        static_cast<const void*>(attribute), size);
    *tail = copy;
    tail = &copy->next;
  }
  ZEVP_SyncFormulaAttrReference(first);
  return first;
}

int ZEVP_DuplicateSourceAttrs(SourceEntry* model, SourceEntry* target) {
  if (model == nullptr || target == nullptr || model == target) return 0;
  BSV1_GetLock(&model->EntryLock);
  BSV1_GetLock(&target->EntryLock);
  if (target->FirstAttribute == nullptr)
    target->FirstAttribute = ZEVP_CreateCopySourceAttrs(model);
  else
    TRC(TRC_DETAIL, "Source @%p keeps its own attribute list", static_cast<void*>(target));
  int result = target->FirstAttribute != nullptr ? 1 : 0;
  BSV1_ReleaseLock(&target->EntryLock);
  BSV1_ReleaseLock(&model->EntryLock);
  return result;
}

int ZEVP_CheckCopySourceAttributes(TableEntry* table, SourceEntry* model) {
  BSV1_GetLock(&table->CounterLock);
  int32_t sources = table->SourceCount;
  BSV1_ReleaseLock(&table->CounterLock);
  if (sources < 2) return 0;

  // The sources are taken from the list under its lock, and given their copies
  // after: a source's entry lock, which the DCH client holds around its requests,
  // is never taken under the group's lock, which a registration takes under the
  // DCH status mutex.
  std::vector<SourceEntry*> sourcesOfGroup;
  BSV1_GetLock(&table->SourceListLock);
  for (SourceEntry* source = table->FirstSource; source != nullptr; source = source->next)
    if (source != model) sourcesOfGroup.push_back(source);
  BSV1_ReleaseLock(&table->SourceListLock);

  int result = 0;
  for (SourceEntry* source : sourcesOfGroup) {
    if (result != 0) break;
    // The model before the target, as every copy locks them.
    BSV1_GetLock(&model->EntryLock);
    BSV1_GetLock(&source->EntryLock);
    bool needsCopy = source->FirstAttribute == nullptr;
    if (needsCopy) {
      ZEV0_FreeStorage(&source->AttrDelimiter);
      if (model->AttrDelimiter != nullptr) source->AttrDelimiter = copyText(model->AttrDelimiter);
    }
    BSV1_ReleaseLock(&source->EntryLock);
    BSV1_ReleaseLock(&model->EntryLock);
    if (needsCopy && !ZEVP_DuplicateSourceAttrs(model, source)) result = -1;
  }
  return result;
}
