// The filter of an attribute definition: "+FILTER={" (accept) or "-FILTER={"
// (reject), then up to three terms TYPE(offset,value) joined by AND or OR.
#pragma once

struct AttributeEntry;

namespace zevp {

// Parses the filter text (from its sign to the end of the record) into the
// attribute's filter. A fault shows its validation message and ends the parse;
// the terms read before it stay.
void ParseAttributeFilter(AttributeEntry* attribute, const char* filterText);

}  // namespace zevp
