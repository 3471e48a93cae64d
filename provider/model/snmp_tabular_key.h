// The key of an SNMP table: a group of an SNMP application whose rows carry no
// key of their own is keyed by the instance part of the object identifier.
#pragma once

struct TableEntry;

// Adds the KEY attribute _ObjectInstance (D 127) to the group's first source when
// the group of an SNMP application starts Agent_Info, Agent_Name, and its third
// attribute has no encoded object identifier and no attribute from the third on
// is a key. 1 when it was added, else 0.
int ZEVP_CheckSNMPtabularKey(TableEntry* table);
