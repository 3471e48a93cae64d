// The sources that partners bring about at run time: a socket source made for the
// sender of an association record, and the dynamic sources of API partners, which
// join a group at their BGNINP, leave it at their end of input, and are released
// with their TCP connection.
#pragma once

struct DPAB;
struct IOEntry;
struct SourceEntry;
struct TableEntry;

namespace zevp {

// Gives the source (which has none yet) the attribute definitions and delimiter
// of the first source of its group that has them, completed and ordered as the
// group's are.
void CopyGroupDefinition(TableEntry* group, SourceEntry* source);

// A new source of the type ("SOCK" named by the dotted address, or "BASE") for the
// group, counted in it, with the group's definition; null when none could be made.
SourceEntry* AddSourceToGroup(DPAB* anchor, TableEntry* group, const char* typeWord, const char* name);

// A dynamic source joins the group: linked at the end of its source list (once).
void AssociateDynamicSource(SourceEntry* source, TableEntry* group);
// And leaves it: unlinked, its attributes and the storage of its definition freed.
void DisassociateDynamicSource(SourceEntry* source);

// Frees a dynamic partner's source (after it left its group) and the partner record.
void ReleaseDynamicPartner(DPAB* anchor, IOEntry* partner);

}  // namespace zevp
