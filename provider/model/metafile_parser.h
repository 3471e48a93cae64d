// The metafile parser: reads one metafile record by record and builds its
// application model, reporting every fault with a validation message.
#pragma once

struct ApplicationEntry;
struct DPAB;

// Parses the metafile into an application of the anchor's list and returns it,
// or null. *opened (when given) is set to 1 once the file is open; *alreadyDefined
// (when given) to 1 when the metafile was loaded before, whose application is then
// the result. validate: a validation only (nothing is registered); startup: a
// load of the start-up configuration; noEcho: no record echo in a validation.
// Callers test the result before the flags.
ApplicationEntry* ZEVP_ConstructApplDataModel(DPAB* anchor, const char* metafileName, int validate, int* opened,
                                              int* alreadyDefined, int startup, int noEcho);

// The loaded application that the name designates: by metafile name, by the
// metafile's base name without extension (for a name without one), then by
// application name; all compared in upper case. Null when none.
ApplicationEntry* ZEVP_CheckApplicationExistence(DPAB* anchor, const char* name);

// The delimiter string of an //ATTRIBUTES statement from its delimiter word, in
// new storage (ZEV0_FreeStorage), or null when the group has no delimiter.
char* ZEVP_CheckAttributeDelimiter(const char* word);
