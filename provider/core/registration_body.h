// The register request (0x1010) of an application: its name and help, then per
// registered group its name, help, data type, time-to-live and attribute list
// text (docs/provider-dch-link.md).
#pragma once

struct ApplicationEntry;
struct SourceEntry;

// The whole request in one storage block (ZEV0_GetStorage) that the caller frees
// with ZEV0_FreeStorage, sized exactly from its entries; null when no group is
// registered or no storage could be had.
char* ZEVP_ConstructRegistrationBuffer(ApplicationEntry* application);

// The type letter under which an attribute type is registered: N, R and Z as D;
// ?, # and % as G; any other letter as it is.
char ZEVP_RegisteredTypeLetter(char attrType);
