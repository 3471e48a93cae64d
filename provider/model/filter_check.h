// Whether the row that the last split left in a source's attributes passes
// the attributes' filters and so goes on to routing, summaries and the DCH.
#pragma once

struct SourceEntry;

// 1 when every filtered attribute passes (status and delete rows always pass),
// else 0. Changes nothing.
int ZEVP_CheckAttributesPassFilters(SourceEntry* source);
