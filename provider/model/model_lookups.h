// Finding entries of a data provider's application model by name and by OID.
// Each look-up holds the model's locks only while it walks; the entry it returns
// is used without them (deleting an application waits for the threads of its
// sources first).
#pragma once

#include <cstdint>

struct ApplicationEntry;
struct AttributeEntry;
struct DPAB;
struct TableEntry;

// The first application whose upper-cased name begins with the first `length`
// bytes of name, or whose name is name exactly; null for none and for an empty
// name (length 0 or less).
ApplicationEntry* ZEVP_LocateApplicationByName(DPAB* anchor, const char* name, int32_t length);

// The application's first group whose name, as stored or upper-cased, begins
// with the first `length` bytes of name; null for none and for an empty name.
TableEntry* ZEVP_LocateTableByName(ApplicationEntry* application, const char* name, int32_t length);

// The name of the first attribute of an SNMP application (whose enterprise OID
// occurs within oid) whose OID is oid, or, for an oid ending in a last arc that
// begins with '0' (the scalar instance), the oid without that arc. Only the
// attributes of each group's first source are looked at; null for none.
const char* ZEVP_LocateAttributeByOID(DPAB* anchor, const char* oid);

// The attribute named by an SNMP SET action's parameters: APPLNAME=<application>
// names a loaded SNMP application, ATTR=<attribute> an attribute of its groups'
// first sources (the whole name, case as written). Each value runs from its
// first non-blank to the next blank. Null when either is missing or not found.
AttributeEntry* ZEVP_LocateSetAttribute(DPAB* anchor, const char* parameters);
