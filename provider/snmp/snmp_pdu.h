// SNMPv1 requests of one variable binding, and the checks of a GetResponse up to
// its variable bindings.
//
// A received message is outside input: every reader is given the bytes that
// remain in the field it reads from, so that a field running past its parent or
// past the datagram is refused and nothing beyond it is read.
#pragma once

#include <cstdint>

// Every SNMP request and reply of the collection is built and received in a
// buffer of this size.
constexpr int32_t ZEVP_SNMP_BUFFER_SIZE = 1600;

// PDU tags.
constexpr int ZEVP_SNMP_GET_REQUEST = 0xA0;
constexpr int ZEVP_SNMP_GETNEXT_REQUEST = 0xA1;
constexpr int ZEVP_SNMP_GET_RESPONSE = 0xA2;
constexpr int ZEVP_SNMP_SET_REQUEST = 0xA3;
constexpr int ZEVP_SNMP_TRAP = 0xA4;

// The names of the error-status values 0 to 5.
extern const char* const SNMPpduStatusText[6];

// Builds the request at the start of the buffer (cleared first): version 0, the
// community, the PDU of requestType with the request ID, error-status and index 0,
// and one VarBind of the OID field (a whole OBJECT IDENTIFIER field) and the value
// field (a whole field; null: NULL). Returns its length, or 0 when it would not
// fit in bufferSize bytes or an argument is missing (nothing is to be sent).
int32_t ZEVP_SNMPconstructPDUbuffer(char* buffer, int32_t bufferSize, int requestType, const char* oid,
                                    int32_t oidLength, const char* value, int32_t valueLength, int32_t requestID,
                                    const char* community);

// Checks the received message of `length` bytes as the GetResponse to
// expectedID. Returns the first VarBind (the content of the variable-bindings
// SEQUENCE) with its length in *varBindsLength, or null: not such a response, a
// non-zero error-status, or another request ID. The error-status and index are
// handed back once read, the received request ID (receivedID may be null) as soon
// as it is read, also on a mismatch.
char* ZEVP_SNMPverifyResponsePDU(char* message, uint32_t length, int32_t expectedID, int32_t* errorStatus,
                                 int32_t* errorIndex, int32_t* receivedID, uint32_t* varBindsLength);

// Each reads at *cursor, of which `remaining` bytes lie in the enclosing field,
// and moves the cursor past what it read.
// 0 when the field is an INTEGER of value 0, else -1.
int ZEVP_CheckSNMPversion(char** cursor, uint32_t remaining);
// 1 when the INTEGER equals expectedID, else 0; the value read goes to
// *receivedID (may be null) in both cases.
int ZEVP_CheckSNMPrequestID(char** cursor, uint32_t remaining, int32_t expectedID, int32_t* receivedID);
// 1 when two INTEGERs were read into *errorStatus and *errorIndex, else 0.
int ZEVP_CheckSNMPresponseStatus(char** cursor, uint32_t remaining, int32_t* errorStatus, int32_t* errorIndex);

// The fields of one VarBind as read from a message.
struct SNMPvarBind {
  char* oidField;  // the whole OBJECT IDENTIFIER field: tag, length, content
  uint32_t oidFieldLength;
  char* value;  // the value's content (null when empty)
  uint32_t valueLength;
};

// Reads the VarBind at varBind (`remaining` bytes of the variable bindings from
// there on): a SEQUENCE of an OBJECT IDENTIFIER and a value, each within it.
// Returns the value's tag, or 0 (traced) when it is not such a VarBind.
int ZEVP_ReadVarBind(char* varBind, uint32_t remaining, SNMPvarBind* fields);
