// A VarBind list as one text, as trap rows and console messages show it.
#pragma once

#include "zevs/var_bind.h"

struct DPAB;

// Each item that has both an OID and a value becomes "{name=value}" when the OID
// names an attribute of a loaded application (ZEVP_LocateAttributeByOID), else
// "{oid[type name]value}"; the elements run together. A new storage block
// (ZEV0_FreeStorage), or null for an empty list or when no storage is left.
char* ZEVS_ConvertVarBindListToString(DPAB* anchor, const ZEVS_VarBindList* list);
