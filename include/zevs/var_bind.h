// A VarBind list as text: one item per variable of an SNMP PDU.
#pragma once

#include <cstdint>

struct ZEVS_VarBind {
  uint8_t asn1Type;  // the value's ASN.1 type byte
  char* oid;         // dotted text, a storage block of its own
  char* value;       // text, a storage block of its own
};

struct ZEVS_VarBindList {
  ZEVS_VarBind* items;  // a storage block, or null
  int32_t count;
};

// Frees the texts of every item and the item array (whose reference is cleared);
// nothing for a null list.
void ZEVS_FreeVarBind(ZEVS_VarBindList* list);
