// The split of one input record into the attribute values of its source, by the
// group's delimiter rule: fixed layout (no delimiter), fields between a begin and
// an end character, or fields between delimiter characters (a blank delimiter
// collapses blank runs). Computed attributes are stepped over and formula
// attributes filled as the split passes them; the summary attributes end it.
#pragma once

#include <cstdint>

struct AttributeEntry;
struct SourceEntry;

// Splits the record into the source's values, under the source's data lock and
// then its attribute lock. A delimited record is text that ends at its first NUL
// within length bytes; a fixed-layout record is length bytes. The record is
// changed in place, except for an internal output group, whose record stays as
// it is for routing. Returns the number of attributes loaded; *consumed (when
// given) receives the sum of their value sizes.
int ZEVP_MoveDataToAttr(SourceEntry* source, char* record, int32_t length, int32_t* consumed);

// The attributes of the source that take a field of the record.
int ZEVP_CountInputAttributes(const SourceEntry* source);
