// The datagrams of the RPC runtime stand-in: a 40-byte header, then the body.
//
//   0  4  mark "ZRPC"
//   4  1  packet type: 0 request, 1 reply, 2 fault
//   5  1  flags: 1 idempotent (requests)
//   6  1  data representation of the body
//   7  1  0
//   8 16  interface identifier
//  24  4  interface version
//  28  4  operation number
//  32  4  call identifier (a reply or fault carries its request's)
//  36  4  body length: the rest of the datagram
//
// Header integers are big-endian whatever the data representation. A fault's body is
// its 32-bit code in the packet's data representation.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "rpc_binding.h"
#include "rpc_body.h"

namespace rpc {

constexpr size_t kHeaderSize = 40;
constexpr size_t kMaximumDatagram = kHeaderSize + kMaximumBody;

enum class PacketType : uint8_t { request = 0, reply = 1, fault = 2 };

struct PacketHeader {
  PacketType type = PacketType::request;
  bool idempotent = false;
  rpc__drep_t drep = rpc__drep_big_endian_ascii;
  uuid__t interfaceId{};
  uint32_t interfaceVersion = 0;
  uint32_t operation = 0;
  uint32_t callId = 0;
};

std::vector<uint8_t> BuildDatagram(const PacketHeader& header, const std::vector<uint8_t>& body);

// The header of a well-formed datagram, its body at *body with *bodyLength bytes; null
// with the reason why the datagram is not well formed.
const char* ParseDatagram(const uint8_t* data, size_t length, PacketHeader* header, const uint8_t** body,
                          size_t* bodyLength);

// The fault datagram that answers the request with the code.
std::vector<uint8_t> BuildFault(const PacketHeader& request, rpc__status_t code);

}  // namespace rpc
