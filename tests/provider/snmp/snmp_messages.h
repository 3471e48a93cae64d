// SNMPv1 messages written and read by the tests themselves, independent of the
// code under test: GetResponses with chosen fields, and the request ID and OID
// field of a request that the code sent.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

using SnmpBytes = std::vector<unsigned char>;

// A TLV with a definite length (short form, else 0x81 or 0x82).
SnmpBytes TlvBytes(unsigned char tag, const SnmpBytes& content);
// Whole fields: an INTEGER in its fewest bytes, an OCTET STRING, and an OBJECT
// IDENTIFIER of the dotted text, written here independently of the code under test.
SnmpBytes IntegerBytes(int32_t value);
SnmpBytes TextBytes(const std::string& text);
SnmpBytes OIDfieldBytes(const std::string& dotted);
// The dotted text of a whole OBJECT IDENTIFIER field; empty when it is none.
std::string DottedOID(const SnmpBytes& oidField);
// A VarBind SEQUENCE of a whole OID field and a whole value field.
SnmpBytes VarBindBytes(const SnmpBytes& oidField, const SnmpBytes& valueField);

struct SnmpReply {
  int32_t id = 0;
  int32_t status = 0;
  int32_t index = 0;
  std::string community = "public";
  std::vector<SnmpBytes> varBinds;
  int version = 0;
  unsigned char pduTag = 0xA2;
};
SnmpBytes ResponseBytes(const SnmpReply& reply);

// The request ID, community and VarBinds of a well-formed request (pduTag its tag);
// id -1 when it cannot be read.
SnmpReply ParsedRequest(const SnmpBytes& request);
// The OID field of a request's first VarBind.
SnmpBytes RequestOIDfield(const SnmpBytes& request);
