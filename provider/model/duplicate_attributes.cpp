#include "duplicate_attributes.h"

#include <cstring>
#include <string>
#include <vector>

#include "application_entry.h"
#include "attribute_entry.h"
#include "model_release.h"
#include "source_entry.h"
#include "table_entry.h"
#include "validation_messages.h"

namespace {

// The name with the number at its end, within the longest attribute name.
void numberName(AttributeEntry* attribute, int number) {
  std::string digits = std::to_string(number);
  std::string name = attribute->AttrName;
  if (name.size() + digits.size() > static_cast<size_t>(ZEVP_ATTR_NAME_MAX))
    name.resize(ZEVP_ATTR_NAME_MAX - digits.size());
  name += digits;
  std::memcpy(attribute->AttrName, name.c_str(), name.size() + 1);
}

// The later attributes of the list that bear the name of `first`, in order.
std::vector<AttributeEntry*> laterNamesakes(AttributeEntry* first) {
  std::vector<AttributeEntry*> namesakes;
  for (AttributeEntry* later = first->next; later != nullptr; later = later->next)
    if (std::strcmp(later->AttrName, first->AttrName) == 0) namesakes.push_back(later);
  return namesakes;
}

// Formulas that name the duplicate take the attribute it duplicates.
void redirectOperands(SourceEntry* source, const AttributeEntry* removed, AttributeEntry* kept) {
  for (AttributeEntry* attribute = source->FirstAttribute; attribute != nullptr; attribute = attribute->next) {
    if (ZEVP_OperandAttribute(attribute->AttrOper1) == removed) attribute->AttrOper1 = kept;
    if (attribute->AttrOper2 == removed) attribute->AttrOper2 = kept;
  }
}

void resolveSource(SourceEntry* source) {
  for (AttributeEntry* attribute = source->FirstAttribute; attribute != nullptr; attribute = attribute->next) {
    int number = 2;
    for (AttributeEntry* duplicate : laterNamesakes(attribute)) {
      if (duplicate->AttrType == attribute->AttrType) {
        ZEVP_DisplayValidationMessage(ZEVPV15W, duplicate->AttrName);
        redirectOperands(source, duplicate, attribute);
        ZEVP_ReleaseAttributeEntry(source, duplicate);
      } else {
        numberName(duplicate, number++);
        ZEVP_DisplayValidationMessage(ZEVPV16W, duplicate->AttrName);
      }
    }
  }
}

}  // namespace

void ZEVP_CheckDuplicateAttributes(ApplicationEntry* application) {
  if (application == nullptr) return;
  BSV1_GetLock(&application->TableListLock);
  for (TableEntry* table = application->FirstTable; table != nullptr; table = table->next) {
    BSV1_GetLock(&table->SourceListLock);
    for (SourceEntry* source = table->FirstSource; source != nullptr; source = source->next) resolveSource(source);
    BSV1_ReleaseLock(&table->SourceListLock);
  }
  BSV1_ReleaseLock(&application->TableListLock);
}
