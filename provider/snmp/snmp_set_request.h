// The SNMPSET action: one SNMPv1 SetRequest of one MIB variable to one agent, and
// its answer turned into the action's result.
#pragma once

#include <string>

struct ActionEntry;
struct AttributeEntry;

// Reads NETADDR=, COMMUNITY= and VALUE= of the action's parameters, sets the
// attribute's variable (its encoded OID) at the agent and leaves status and result
// text on the action: 0 "SET OK"; 9 when the request could not be formed (texts 27
// to 30, 34); 2 when it was sent and failed (32 to 37).
void ZEVP_DoSNMPsetRequest(ActionEntry* action, const AttributeEntry* attribute);

namespace zevp {

// The value field of a SET of the attribute type: G and C an INTEGER of the
// decimal digits (at most 2147483647), D an OCTET STRING of the text. Returns 0
// with the whole field in *field, else the result text number: 29 another type,
// 30 not all digits (or none), 34 a number too big.
int EncodeSetValue(char attributeType, const std::string& value, std::string* field);

// The result text of an agent's error-status: 32 tooBig, 33 noSuchName, 34
// badValue, 35 readOnly, 36 any other.
int SetErrorStatusText(int errorStatus);

}  // namespace zevp
