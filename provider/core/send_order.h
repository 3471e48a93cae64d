// The order in which a source's attributes are registered and sent: its sequence
// chain (SEQ=) when it has one, else the order of definition.
#pragma once

#include "attribute_entry.h"
#include "source_entry.h"

inline AttributeEntry* ZEVP_FirstInSendOrder(const SourceEntry* source) {
  return source->FirstInSequence != nullptr ? source->FirstInSequence : source->FirstAttribute;
}

inline AttributeEntry* ZEVP_NextInSendOrder(const SourceEntry* source, const AttributeEntry* attribute) {
  return source->FirstInSequence != nullptr ? attribute->NextInSequence : attribute->next;
}

// Attributes of type K (skip) and those kept out of the row (a name written with a
// leading '-': not accessible) take no place in the registration or in a row.
inline bool ZEVP_IsAttributeRegistered(const AttributeEntry* attribute) {
  return attribute->AttrType != ZEVP_ATTR_SKIP && attribute->AttrAccessible != 0;
}
