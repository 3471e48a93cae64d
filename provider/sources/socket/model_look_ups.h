// The application model's look-ups and group completion that partners' sources use.
#pragma once

struct ApplicationEntry;
struct DPAB;
struct TableEntry;

// The first application whose upper-cased name begins with the first length bytes
// of the name (or equals the name), or null.
ApplicationEntry* ZEVP_LocateApplicationByName(DPAB* anchor, const char* name, int length);
// The first group of the application whose name (as stored or upper-cased) begins
// with the first length bytes of the name, or null.
TableEntry* ZEVP_LocateTableByName(ApplicationEntry* application, const char* name, int length);
// Completes a summary group's definition for its sources.
void ZEVP_CompleteSummaryTableDefinition(TableEntry* group, int flag);
