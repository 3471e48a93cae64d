// Turning one field of an input record into an attribute's value by the
// attribute's type letter: text as it stands or cut, numeric text cleaned,
// time stamps padded, integers parsed, held to their maximum and stored in
// host byte order, rates computed.
#pragma once

#include <cstdint>

struct AttributeEntry;

// Loads the field (length bytes, no NUL needed) into the attribute's value, which
// the caller cleared. A bad value never fails: it is forced (to 0, the maximum,
// zeros) and, while this unit's error and detail trace classes are on, a data
// warning (validation message) names it. The field may be changed in place.
void LoadAttrBucket(AttributeEntry* attribute, char* field, int32_t length);
