// Every source of a group carries its own attribute list: the metafile defines
// it once, and each further source (a second partner, an API client, a routed
// source, an SNMP node) gets a copy whose formula operands point into the copy.
// Key data groups keep one more copy per key seen.
#pragma once

struct AttributeEntry;
struct SourceEntry;
struct TableEntry;

// Gives every source of the group that has no attribute list a copy of the model
// source's list and delimiter. 0 when done (or when the group has fewer than two
// sources), -1 when a copy failed.
int ZEVP_CheckCopySourceAttributes(TableEntry* table, SourceEntry* model);

// Sets the target's attribute list to a copy of the model's; a target that has a
// list already keeps it. 1 when the target then has a list, else 0.
int ZEVP_DuplicateSourceAttrs(SourceEntry* model, SourceEntry* target);

// A new copy of the source's attribute list (null for a source without
// attributes). Without storage the copy ends with the entries made so far.
AttributeEntry* ZEVP_CreateCopySourceAttrs(SourceEntry* source);

// Points the formula operands of the list at the attributes of the same names in
// the list itself; an operand whose name is not in the list becomes null.
void ZEVP_SyncFormulaAttrReference(AttributeEntry* list);

// The storage an attribute owns beside its entry (enumeration, OID text and
// encoded OID, filter compare strings): copied for an entry copy, so that each
// entry frees its own, and freed when the attribute goes. Copy: 1, or 0 when
// storage ran out (the copy then owns nothing).
int ZEVP_CopyAttributeOwnedStorage(AttributeEntry* copy);
void ZEVP_FreeAttributeOwnedStorage(AttributeEntry* attribute);
