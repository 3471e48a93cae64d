#include "datagram.h"

#include <cstring>

namespace rpc {

namespace {

constexpr uint8_t kMark[4] = {'Z', 'R', 'P', 'C'};
constexpr uint8_t kIdempotentFlag = 0x01;

void PutBig32(uint8_t* at, uint32_t value) {
  for (int i = 0; i < 4; ++i) at[i] = static_cast<uint8_t>(value >> (8 * (3 - i)));
}

uint32_t GetBig32(const uint8_t* at) {
  return static_cast<uint32_t>(at[0]) << 24 | static_cast<uint32_t>(at[1]) << 16 |
         static_cast<uint32_t>(at[2]) << 8 | at[3];
}

}  // namespace

std::vector<uint8_t> BuildDatagram(const PacketHeader& header, const std::vector<uint8_t>& body) {
  std::vector<uint8_t> datagram(kHeaderSize + body.size());
  uint8_t* at = datagram.data();
  std::memcpy(at, kMark, sizeof kMark);
  at[4] = static_cast<uint8_t>(header.type);
  at[5] = header.idempotent ? kIdempotentFlag : 0;
  at[6] = header.drep;
  at[7] = 0;
  std::memcpy(at + 8, header.interfaceId.bytes, 16);
  PutBig32(at + 24, header.interfaceVersion);
  PutBig32(at + 28, header.operation);
  PutBig32(at + 32, header.callId);
  PutBig32(at + 36, static_cast<uint32_t>(body.size()));
  if (!body.empty()) std::memcpy(at + kHeaderSize, body.data(), body.size());
  return datagram;
}

const char* ParseDatagram(const uint8_t* data, size_t length, PacketHeader* header, const uint8_t** body,
                          size_t* bodyLength) {
  if (data == nullptr || length < kHeaderSize) return "shorter than a header";
  if (std::memcmp(data, kMark, sizeof kMark) != 0) return "not marked as a call datagram";
  if (data[4] > static_cast<uint8_t>(PacketType::fault)) return "unknown packet type";
  if ((data[5] & ~kIdempotentFlag) != 0 || data[7] != 0) return "unknown flags";
  if (!rpc__drep_is_valid(data[6])) return "unknown data representation";
  uint32_t declared = GetBig32(data + 36);
  if (declared != length - kHeaderSize) return "body length does not match the datagram";
  header->type = static_cast<PacketType>(data[4]);
  header->idempotent = (data[5] & kIdempotentFlag) != 0;
  header->drep = data[6];
  std::memcpy(header->interfaceId.bytes, data + 8, 16);
  header->interfaceVersion = GetBig32(data + 24);
  header->operation = GetBig32(data + 28);
  header->callId = GetBig32(data + 32);
  *body = data + kHeaderSize;
  *bodyLength = declared;
  return nullptr;
}

std::vector<uint8_t> BuildFault(const PacketHeader& request, rpc__status_t code) {
  PacketHeader fault = request;
  fault.type = PacketType::fault;
  fault.idempotent = false;
  fault.drep = rpc__local_drep();
  BodyWriter body(fault.drep);
  body.putU32(code);
  return BuildDatagram(fault, body.bytes());
}

}  // namespace rpc
