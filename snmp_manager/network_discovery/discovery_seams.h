// The requests that router and network discovery send out of the process (the
// ping, the sysDescr query, the SNMP get and the walk's row step), reached through
// one table so that tests (and fuzz harnesses) can stand in for them. Each slot
// starts as the routine it names.
#pragma once

#include <netinet/in.h>

#include <cstdint>

#include "mib_row_step.h"

struct NetworkEntry;

namespace zevs {

// The instance text of a row step: the rest of an OID after its column, from ".".
constexpr int kInstanceTextSize = ZEVP_SNMP_INSTANCE_SIZE;

struct DiscoverySeams {
  // ZEVS_CheckActiveNode: the hosts that answered an ICMP echo (the one at
  // *address, or every host of the network); their records in `network` turn 'A'.
  int (*checkActiveNode)(const uint32_t* address, uint16_t port, int wholeNetwork, NetworkEntry* network,
                         NetworkEntry* second, int32_t waitMs);
  // ZEVS_GetMIB2systemDesc: the agent's sysDescr in new storage, or null.
  char* (*getMIB2systemDesc)(const sockaddr_in* address, const char* community);
  // ZEVP_RetrieveOneMIBvariable (one_variable_get.h).
  int (*retrieveOneMIBvariable)(int socketDescriptor, char* buffer, const sockaddr_in* agent, const char* community,
                                int32_t* requestID, int32_t* errorStatus, const int32_t* oidLength, const char* oid,
                                int32_t* valueLength, char** value, int32_t valueSize, int acceptAnySource);
  // ZEVP_SNMPretrieveCurrentVarInstance: sends the GetNext built in buffer and
  // puts the next instance of the column (dotted OID text) into `instance`; 1, or
  // 0 once the column ends. The buffer is cleared in all cases.
  int (*retrieveCurrentVarInstance)(int socketDescriptor, char* buffer, int32_t requestLength, int32_t bufferSize,
                                    char instance[kInstanceTextSize], int32_t requestID, const sockaddr_in* agent,
                                    const char* columnOID);
};

DiscoverySeams& Seams();

}  // namespace zevs
