// Releasing the model records that hang on an anchor: whole applications,
// single attributes, help texts and I/O entries.
#pragma once

struct ApplicationEntry;
struct AttributeEntry;
struct DPAB;
struct IOEntry;
struct SourceEntry;

// Unchains and frees one application with its groups, sources, attributes and
// I/O entries; unregisters it from the agent first when keepRegistration is 0.
void ZEVP_ReleaseApplResources(DPAB* anchor, ApplicationEntry* application, int keepRegistration);

// Unchains and frees one attribute of a source.
void ZEVP_ReleaseAttributeEntry(SourceEntry* source, AttributeEntry* attribute);

// Frees the help texts of an application and its groups once it is registered.
void ZEVP_ReleaseApplGroupHelp(ApplicationEntry* application);

// Unchains one I/O entry from the anchor's lists and frees it with its buffers,
// closing its connection socket and stream. The caller does not hold the entry's
// lock.
void ZEVP_ReleaseIOResources(DPAB* anchor, IOEntry* entry);
