// The node community file (docs/node-community-file.md, product item 26, default
// name ZEVSCOMM): which community name an SNMP request to a node carries. Lines of a
// node (host name or dotted address) and a community name; the list is kept in
// ascending order of the node address, the first line of a node winning.
#pragma once

#include <cstdint>

struct DPAB;

// (Re)loads the file: 1 when the list holds a community afterwards, else 0. Without
// the item nothing is loaded (0); a missing file keeps the list as it was.
int ZEVP_LoadSNMPcommunityName();
// Empties the list.
void ZEVP_FreeSNMPcommunityNameList();
// A copy of the community configured for the node address (network byte order), in
// a new block that the caller frees (ZEV0_FreeStorage); null when none is.
char* ZEVP_LocateSNMPnodeCommunityName(uint32_t nodeAddress);
