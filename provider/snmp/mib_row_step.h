// The requests of a MIB table walk: the GetNext that finds the next row's instance
// of a table, and the Get of one column of a row.
#pragma once

#include <netinet/in.h>

#include <cstdint>

struct AttributeEntry;

// The instance text of a row: the rest of an object identifier after its column,
// starting with ".".
constexpr int ZEVP_SNMP_INSTANCE_SIZE = 256;

// Sends the GetNext request built in buffer (requestLength bytes) and reads the
// next instance of the column: 1 when the reply's OID lies under the column
// (columnOID, dotted) and after the OID asked (columnOID + the instance in
// `instance`), which then holds the new instance. 0 ends the column: no reply, a
// reply that does not verify, another column, an instance that does not fit the
// instance text, or an agent repeating an instance. The buffer is cleared before
// return in all cases.
int ZEVP_SNMPretrieveCurrentVarInstance(int socketDescriptor, char* buffer, int32_t requestLength, int32_t bufferSize,
                                        char instance[ZEVP_SNMP_INSTANCE_SIZE], int32_t requestID,
                                        const sockaddr_in* agent, const char* columnOID);

// How the Get of one column ended.
enum class ColumnOutcome {
  Loaded,       // the value is in the attribute (or the reply held none to load)
  Empty,        // NoSuchName, a reply without a readable status, or a time-out: the next column follows
  EndRow,       // another error-status: the row is finished and the agent's rows end
  SkipColumns,  // a send or receive failure: the row's other columns are skipped
};

// Gets the attribute's column for the instance (table mode: its OID text and the
// instance; scalar mode, instance null: its encoded OID) with the request ID
// *requestID + 1 and loads the value. *loaded grows by the values loaded.
ColumnOutcome ZEVP_SNMPgetColumnValue(int socketDescriptor, char* buffer, const sockaddr_in* agent,
                                      const char* community, int32_t* requestID, AttributeEntry* attribute,
                                      const char* instance, const char* agentAddress, int32_t* loaded);

namespace zevp {

// The reply handling of the row step, for a reply of `length` bytes in buffer:
// 1 with the new instance, else 0 (see ZEVP_SNMPretrieveCurrentVarInstance).
int InstanceFromGetNextReply(char* buffer, uint32_t length, int32_t requestID, const char* columnOID,
                             char instance[ZEVP_SNMP_INSTANCE_SIZE]);

// The reply handling of a column's Get: the outcome, the value loaded into the
// attribute when the reply verifies. *stale is set for a reply to an older request.
ColumnOutcome ColumnFromGetReply(char* buffer, uint32_t length, int32_t requestID, AttributeEntry* attribute,
                                 const char* oidField, int32_t oidFieldLength, int32_t* loaded, bool* stale,
                                 int32_t* errorStatus);

}  // namespace zevp
