// Releasing the model records that hang on an anchor: whole applications,
// single attributes, help texts and I/O entries.
//
// Ownership that the release relies on: every storage block below comes from
// ZEV0_GetStorage. Every attribute entry, copies and key lists included, owns its
// enumeration, OID text, encoded OID and filter texts (attribute_copies.h); its
// help text is a place in its group's help buffer. The copies on the
// delayed-offline queue own nothing but their block. A source owns its name
// texts, delimiter, buffers, summary block and file name block; a group its
// texts, help buffer and summary block; an application its texts.
#pragma once

struct ApplicationEntry;
struct AttributeEntry;
struct DPAB;
struct IOEntry;
struct SourceEntry;

// Unchains and frees one application with its groups, sources, attributes and
// I/O entries; unregisters it from the agent first when keepRegistration is 0.
// The copies of its sources on the delayed-offline queue go with it.
void ZEVP_ReleaseApplResources(DPAB* anchor, ApplicationEntry* application, int keepRegistration);

// Unchains (from the definition and the sequence order) and frees one attribute
// of a source; an attribute that is not in the source's list is left alone.
void ZEVP_ReleaseAttributeEntry(SourceEntry* source, AttributeEntry* attribute);

// Frees the key lists of a source, one copy of its attribute list per key seen
// (a data-provider offline drops them too).
void ZEVP_ReleaseSavedRows(SourceEntry* source);

// Frees a copied attribute list (ZEVP_CreateCopySourceAttrs) that no source holds.
void ZEVP_FreeAttributeCopy(AttributeEntry* list);

// Frees the help texts of an application and its groups once it is registered.
void ZEVP_ReleaseApplGroupHelp(ApplicationEntry* application);

// Unchains one I/O entry from the anchor's lists and frees it with its buffers,
// closing its connection socket and stream. The caller does not hold the entry's
// lock: the release takes it, so it waits for a thread still using the entry.
void ZEVP_ReleaseIOResources(DPAB* anchor, IOEntry* entry);

namespace zevp {

// Frees what is left on the anchor's delayed-offline queue.
void ReleaseDelayedOfflineCopies(DPAB* anchor);

// Frees one source that is in no group's list (a partner's dynamic source), with
// its attributes and its I/O entry.
void ReleaseUnlistedSource(DPAB* anchor, SourceEntry* source);

}  // namespace zevp
