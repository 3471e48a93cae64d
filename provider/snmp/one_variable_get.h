// The one-shot get of one MIB variable from one agent.
#pragma once

#include <netinet/in.h>

#include <cstdint>

// Gets the variable of the OID field (a whole OBJECT IDENTIFIER field of
// *oidLength bytes) from the agent (its address and port) with a GetRequest
// built in buffer (ZEVP_SNMP_BUFFER_SIZE bytes), community: the given one, else
// the one configured for the agent's address, else ZEVP_SNMP_NET_COMMUNITY
// ("willow"). *requestID is counted up for the request. A stale reply (an older
// request ID) is read past without a resend, at most four times.
//
// Returns the BER tag of the value (0x04 OCTET STRING made printable: unchanged,
// or hex text of two digits a byte) with its length in *valueLength, or 0 when
// nothing was retrieved (*value then untouched; *errorStatus tells an agent's
// refusal). A value goes into the caller's area *value of valueSize bytes, cut to
// fit and terminated, or, when *value is null, into new storage (ZEV0_FreeStorage)
// of its length and a terminator; an empty value sets *value to null.
int ZEVP_RetrieveOneMIBvariable(int socketDescriptor, char* buffer, const sockaddr_in* agent, const char* community,
                                int32_t* requestID, int32_t* errorStatus, const int32_t* oidLength, const char* oid,
                                int32_t* valueLength, char** value, int32_t valueSize, int acceptAnySource);

// The default community of SNMP requests, read once (ZEVP_SNMP_NET_COMMUNITY).
const char* ZEVP_DefaultSNMPcommunity();
