// One SNMP socket and buffer per calling thread (ShareCallerBlock), kept in the
// network configuration block, and the sysDescr query that uses them.
#pragma once

#include <netinet/in.h>

// The sysDescr of the agent at port 161 of the address (a storage block the
// caller frees), or null when it does not answer with a text. community null: the
// default. Needs the process's block (NCB).
char* ZEVS_GetMIB2systemDesc(const sockaddr_in* address, const char* community);
