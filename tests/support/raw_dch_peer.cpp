#include "raw_dch_peer.h"

#include <arpa/inet.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <chrono>

namespace rawdch {

namespace {

// Printable ASCII 0x20..0x7E in the network code.
constexpr unsigned char kNetworkCode[95] = {
    0x40, 0x5A, 0x7F, 0x7B, 0x5B, 0x6C, 0x50, 0x7D, 0x4D, 0x5D, 0x5C, 0x4E, 0x6B, 0x60, 0x4B, 0x61,  //  !"#$%&'()*+,-./
    0xF0, 0xF1, 0xF2, 0xF3, 0xF4, 0xF5, 0xF6, 0xF7, 0xF8, 0xF9, 0x7A, 0x5E, 0x4C, 0x7E, 0x6E, 0x6F,  // 0-9 :;<=>?
    0x7C, 0xC1, 0xC2, 0xC3, 0xC4, 0xC5, 0xC6, 0xC7, 0xC8, 0xC9, 0xD1, 0xD2, 0xD3, 0xD4, 0xD5, 0xD6,  // @A-O
    0xD7, 0xD8, 0xD9, 0xE2, 0xE3, 0xE4, 0xE5, 0xE6, 0xE7, 0xE8, 0xE9, 0xAD, 0xE0, 0xBD, 0x5F, 0x6D,  // P-Z [\]^_
    0x79, 0x81, 0x82, 0x83, 0x84, 0x85, 0x86, 0x87, 0x88, 0x89, 0x91, 0x92, 0x93, 0x94, 0x95, 0x96,  // `a-o
    0x97, 0x98, 0x99, 0xA2, 0xA3, 0xA4, 0xA5, 0xA6, 0xA7, 0xA8, 0xA9, 0xC0, 0x4F, 0xD0, 0xA1,        // p-z {|}~
};
constexpr unsigned char kUnknown = 0x6F;  // '?'

using Clock = std::chrono::steady_clock;

std::string BigEndian(uint32_t value, int width) {
  std::string bytes;
  for (int shift = (width - 1) * 8; shift >= 0; shift -= 8) bytes.push_back(static_cast<char>(value >> shift));
  return bytes;
}

int MillisecondsLeft(Clock::time_point deadline) {
  auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
  return left > 0 ? static_cast<int>(left) : 0;
}

bool Readable(int sockFD, int waitMs) {
  pollfd watched{sockFD, POLLIN, 0};
  return poll(&watched, 1, waitMs) == 1;
}

}  // namespace

std::string Hex(const char* hex) {
  std::string bytes;
  int high = -1;
  for (const char* c = hex; *c != '\0'; ++c) {
    if (std::isspace(static_cast<unsigned char>(*c))) continue;
    int digit = std::isdigit(static_cast<unsigned char>(*c)) ? *c - '0' : std::tolower(*c) - 'a' + 10;
    if (high < 0) {
      high = digit;
    } else {
      bytes.push_back(static_cast<char>(high * 16 + digit));
      high = -1;
    }
  }
  return bytes;
}

std::string ToNetworkCode(const std::string& ascii) {
  std::string network;
  for (unsigned char c : ascii)
    network.push_back(static_cast<char>(c >= 0x20 && c <= 0x7E ? kNetworkCode[c - 0x20] : kUnknown));
  return network;
}

std::string FromNetworkCode(const std::string& ebcdic) {
  std::string ascii;
  for (unsigned char c : ebcdic) {
    const unsigned char* found = std::find(std::begin(kNetworkCode), std::end(kNetworkCode), c);
    ascii.push_back(found != std::end(kNetworkCode) ? static_cast<char>(0x20 + (found - kNetworkCode)) : '?');
  }
  return ascii;
}

uint32_t Big32(const std::string& bytes, size_t offset) {
  if (offset + 4 > bytes.size()) return 0;
  uint32_t value = 0;
  for (size_t i = 0; i < 4; ++i) value = value << 8 | static_cast<unsigned char>(bytes[offset + i]);
  return value;
}

uint16_t Big16(const std::string& bytes, size_t offset) {
  if (offset + 2 > bytes.size()) return 0;
  return static_cast<uint16_t>(static_cast<unsigned char>(bytes[offset]) << 8 |
                               static_cast<unsigned char>(bytes[offset + 1]));
}

// --- Message ------------------------------------------------------------------------

Message Message::Request(uint16_t code) { return std::move(Message().u16(kRequestType, code)); }

Message& Message::field(uint16_t type, const std::string& value) {
  fields_ += BigEndian(static_cast<uint32_t>(6 + value.size()), 4) + BigEndian(type, 2) + value;
  return *this;
}

Message& Message::u16(uint16_t type, uint16_t value) { return field(type, BigEndian(value, 2)); }
Message& Message::u32(uint16_t type, uint32_t value) { return field(type, BigEndian(value, 4)); }
Message& Message::text(uint16_t type, const std::string& ascii) { return field(type, ToNetworkCode(ascii)); }
Message& Message::character(uint16_t type, char ascii) { return field(type, ToNetworkCode(std::string(1, ascii))); }
Message& Message::raw(uint16_t type, const std::string& bytes) { return field(type, bytes); }

std::string Message::bytes() const { return BigEndian(static_cast<uint32_t>(4 + fields_.size()), 4) + fields_; }

bool SplitFields(const std::string& message, std::vector<Field>* fields) {
  fields->clear();
  if (message.size() < 4 || Big32(message, 0) != message.size()) return false;
  for (size_t at = 4; at < message.size();) {
    uint32_t length = Big32(message, at);
    if (length < 6 || length > message.size() - at) return false;
    fields->push_back({Big16(message, at + 4), message.substr(at + 6, length - 6)});
    at += length;
  }
  return true;
}

StatusReply ReadStatusReply(const std::string& reply) {
  StatusReply read;
  bool statusField =
      reply.size() >= 14 && Big32(reply, 0) == reply.size() && Big32(reply, 4) == 10 && Big16(reply, 8) == kStatus;
  if (!statusField) return read;
  read.status = static_cast<int32_t>(Big32(reply, 10));
  if (reply.size() == 14) {
    read.valid = true;
  } else if (reply.size() == 24 && Big32(reply, 14) == 10 && Big16(reply, 18) == kHandle) {
    read.valid = true;
    read.hasHandle = true;
    read.handle = Big32(reply, 20);
  }
  return read;
}

// --- Requests -------------------------------------------------------------------------

std::string RegisterRequest(const std::string& applName, const std::string& applHelp,
                            const std::vector<Group>& groups) {
  Message message = Message::Request(kRegister);
  message.text(kApplName, applName).text(kHelpText, applHelp);
  for (const Group& group : groups)
    message.text(kAttrGroup, group.name)
        .text(kHelpText, group.help)
        .character(kAttributesType, group.sampleType)
        .u32(kTTL, group.TTL)
        .text(kAttrRegister, group.attrRegister);
  return message.bytes();
}

std::string OnlineRequest(const std::string& applName, const std::string& attrGroup, const std::string& sourceName) {
  return Message::Request(kOnline)
      .text(kApplName, applName)
      .text(kAttrGroup, attrGroup)
      .text(kSourceName, sourceName)
      .bytes();
}

std::string OnlineRequestWithoutSource(const std::string& applName, const std::string& attrGroup) {
  return Message::Request(kOnline).text(kApplName, applName).text(kAttrGroup, attrGroup).bytes();
}

std::string OfflineRequest(uint32_t handle) { return Message::Request(kOffline).u32(kHandle, handle).bytes(); }

std::string UnregisterRequest(const std::string& applName) {
  return Message::Request(kUnregister).text(kApplName, applName).bytes();
}

Message DataRequest(uint32_t handle, uint16_t controlField) {
  return std::move(Message::Request(kData).u32(kHandle, handle).u16(kControlField, controlField));
}

std::string GetRequest(uint16_t code, const std::string& applName) {
  return Message::Request(code).text(kApplName, applName).bytes();
}

std::string WaitOnDataRequest(const std::string& applName, const std::string& attrGroup, uint32_t wait) {
  return Message::Request(kWaitOnData).text(kApplName, applName).text(kAttrGroup, attrGroup).u32(kStatus, wait).bytes();
}

std::string WaitForStatusRequest(uint32_t wait) { return Message::Request(kWaitForStatus).u32(kStatus, wait).bytes(); }

// --- Sockets ----------------------------------------------------------------------------

sockaddr_in LoopbackAddress(unsigned short port) {
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(port);
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  return address;
}

StatusReply Peer::exchange(const std::string& request, int waitMs) {
  if (!send(request)) return {};
  return ReadStatusReply(receive(waitMs));
}

TcpPeer::TcpPeer(unsigned short port) : sockFD_(socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0)) {
  sockaddr_in server = LoopbackAddress(port);
  if (sockFD_ >= 0 && connect(sockFD_, reinterpret_cast<sockaddr*>(&server), sizeof server) != 0) close();
}

TcpPeer::~TcpPeer() { close(); }

bool TcpPeer::send(const std::string& bytes) {
  size_t sent = 0;
  while (sockFD_ >= 0 && sent < bytes.size()) {
    ssize_t n = ::send(sockFD_, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
    if (n <= 0) return false;
    sent += static_cast<size_t>(n);
  }
  return sockFD_ >= 0;
}

std::string TcpPeer::receive(int waitMs) {
  auto deadline = Clock::now() + std::chrono::milliseconds(waitMs);
  std::string head = receiveBytes(4, waitMs);
  if (head.size() < 4 || Big32(head, 0) < 4) return head;
  return head + receiveBytes(Big32(head, 0) - 4, MillisecondsLeft(deadline));
}

std::string TcpPeer::receiveBytes(size_t count, int waitMs) {
  std::string bytes;
  auto deadline = Clock::now() + std::chrono::milliseconds(waitMs);
  while (sockFD_ >= 0 && bytes.size() < count) {
    if (!Readable(sockFD_, MillisecondsLeft(deadline))) break;
    char piece[4096];
    ssize_t got = recv(sockFD_, piece, std::min(sizeof piece, count - bytes.size()), 0);
    if (got <= 0) break;
    bytes.append(piece, static_cast<size_t>(got));
  }
  return bytes;
}

void TcpPeer::closeSending() {
  if (sockFD_ >= 0) shutdown(sockFD_, SHUT_WR);
}

void TcpPeer::close() {
  if (sockFD_ >= 0) ::close(sockFD_);
  sockFD_ = -1;
}

UdpPeer::UdpPeer(unsigned short serverPort)
    : sockFD_(socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0)), server_(LoopbackAddress(serverPort)) {
  sockaddr_in any = LoopbackAddress(0);
  if (sockFD_ >= 0 && bind(sockFD_, reinterpret_cast<sockaddr*>(&any), sizeof any) != 0) {
    ::close(sockFD_);
    sockFD_ = -1;
  }
}

UdpPeer::~UdpPeer() {
  if (sockFD_ >= 0) ::close(sockFD_);
}

bool UdpPeer::send(const std::string& bytes) {
  return sockFD_ >= 0 && sendto(sockFD_, bytes.data(), bytes.size(), 0, reinterpret_cast<const sockaddr*>(&server_),
                                sizeof server_) == static_cast<ssize_t>(bytes.size());
}

std::string UdpPeer::receive(int waitMs) {
  if (sockFD_ < 0 || !Readable(sockFD_, waitMs)) return {};
  std::string datagram(65536, '\0');
  ssize_t got = recv(sockFD_, &datagram[0], datagram.size(), 0);
  datagram.resize(got > 0 ? static_cast<size_t>(got) : 0);
  return datagram;
}

}  // namespace rawdch
