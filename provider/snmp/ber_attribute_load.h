// A value of a GetResponse loaded into an attribute of an SNMP attribute group,
// by the value's BER type and the attribute's type letter and size.
#pragma once

#include <cstdint>

struct AttributeEntry;

// Reads the VarBind at varBind (`remaining` bytes of the variable bindings from
// there on); its OID field must equal the expected one (expectedOIDlength bytes,
// tag and length included). Loads the value into the attribute's value area
// (MaxValSize bytes, cut to fit) and ActualValSize: integers (INTEGER signed,
// Counter, Gauge, TimeTicks unsigned) go to a rate attribute ('?', '#', '%')
// through LoadRateAttribute, as decimal text to 'D', as 4 or 2 bytes in network
// order by size; OCTET STRING as printable text (else hex); an OID as dotted
// text; a 4-byte IpAddress as dotted text; anything else as its bytes. Returns 1
// when a value was loaded, 0 when not (the attribute is then left as it was).
int ZEVP_SNMPloadAttributeFromBER(char* varBind, uint32_t remaining, AttributeEntry* attribute,
                                  const char* expectedOID, int32_t expectedOIDlength);
