// Decoding a received datagram as an SNMPv1 trap, by hand, element by element,
// never reading past the datagram (docs/trap-reception.md).
#pragma once

#include <netinet/in.h>

#include <cstdint>
#include <string>

#include "zevs/var_bind.h"

struct DecodedTrap {
  uint32_t version = 0;
  std::string community;
  std::string enterprise;  // dotted
  in_addr agentAddress{};
  uint32_t generic = 0;
  uint32_t specific = 0;
  ZEVS_VarBindList varBinds{};  // freed with the trap

  DecodedTrap() = default;
  ~DecodedTrap() { ZEVS_FreeVarBind(&varBinds); }
  DecodedTrap(const DecodedTrap&) = delete;
  DecodedTrap& operator=(const DecodedTrap&) = delete;
};

namespace zevs {

// True when the datagram is a version-0 trap, decoded into *trap. A malformed
// datagram is traced with the message of the first element that is not as
// expected (a header INTEGER over 4 bytes, an agent address not of 4 bytes or an
// enterprise OID that does not decode counts as not expected); an SNMPv2 message
// or another version gives false without a message (version 2 only after its
// PDU tag is checked).
bool DecodeSNMPtrap(const char* datagram, uint32_t length, DecodedTrap* trap);

}  // namespace zevs
