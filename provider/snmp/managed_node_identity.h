// A node's identity by SNMP for the configuration requests: its address, and its
// sysServices (as a type text), sysDescr and sysObjectID.
#pragma once

struct ManagedNodeEntry;

// Resolves node->ManagedNodeName (port 161) into node->agent and
// node->addressText, then reads the three variables over a socket of its own: 1
// when sysServices came back as an INTEGER and sysObjectID as an OBJECT IDENTIFIER
// (node->ManagedNodeOID then dotted; the description only when sysDescr is an
// OCTET STRING). 0 otherwise; with freeOnFailure the texts it made are freed and
// their pointers nulled (the address stays as resolved).
int ZEVP_RetrieveManagedNodeIdentity(ManagedNodeEntry* node, int freeOnFailure);
