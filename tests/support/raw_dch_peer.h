// A raw DCH peer for tests that talk to a DCH server over loopback sockets.
//
// Requests are written from hand-made byte layouts by an encoder of its own: 4-byte
// big-endian lengths, 2-byte type codes, numbers big-endian and text in the network
// code (EBCDIC: code page 037 with '[', ']' and '^' at 0xAD, 0xBD and 0x5F) through a
// local table. Replies are read by raw offsets. Nothing here uses the library's
// builders, parsers or field codec, so a test with this peer checks them instead of
// repeating them.
#pragma once

#include <netinet/in.h>

#include <cstdint>
#include <string>
#include <vector>

namespace rawdch {

// Data types of the fields, written out here on purpose.
constexpr uint16_t kRequestType = 0x10;
constexpr uint16_t kStatus = 0x11;
constexpr uint16_t kResponse = 0x12;
constexpr uint16_t kApplName = 0x20;
constexpr uint16_t kSourceName = 0x21;
constexpr uint16_t kAttrGroup = 0x22;
constexpr uint16_t kAttributesType = 0x30;
constexpr uint16_t kTTL = 0x40;
constexpr uint16_t kAttrName = 0x50;
constexpr uint16_t kAttrValue = 0x51;
constexpr uint16_t kAttrRawValue = 0x52;
constexpr uint16_t kAttrRegister = 0x60;
constexpr uint16_t kControlField = 0x70;
constexpr uint16_t kHandle = 0x80;
constexpr uint16_t kHelpText = 0x90;

// Request codes.
constexpr uint16_t kRegister = 0x1010;
constexpr uint16_t kOnline = 0x1015;
constexpr uint16_t kUnregister = 0x1020;
constexpr uint16_t kOffline = 0x1025;
constexpr uint16_t kData = 0x1030;
constexpr uint16_t kGetAppl = 0x2040;
constexpr uint16_t kGetApplHelp = 0x2045;
constexpr uint16_t kGetAttrInfo = 0x2050;
constexpr uint16_t kWaitOnData = 0x2060;
constexpr uint16_t kWaitForStatus = 0x2070;

// --- Bytes ------------------------------------------------------------------------

// Bytes from hex digits; blanks between them are for reading.
std::string Hex(const char* hex);
// Printable ASCII to the network code and back ('?' for what the table lacks).
std::string ToNetworkCode(const std::string& ascii);
std::string FromNetworkCode(const std::string& ebcdic);
// Big-endian numbers at an offset (0 when the bytes end before).
uint32_t Big32(const std::string& bytes, size_t offset);
uint16_t Big16(const std::string& bytes, size_t offset);

// A message built field by field: the total length word comes first in bytes().
class Message {
 public:
  Message() = default;
  // A request: its request-code field first.
  static Message Request(uint16_t code);

  Message& u16(uint16_t type, uint16_t value);
  Message& u32(uint16_t type, uint32_t value);
  Message& text(uint16_t type, const std::string& ascii);  // in the network code
  Message& character(uint16_t type, char ascii);           // one byte, in the network code
  Message& raw(uint16_t type, const std::string& bytes);   // unchanged

  std::string bytes() const;

 private:
  Message& field(uint16_t type, const std::string& value);

  std::string fields_;
};

// A field of a received message.
struct Field {
  uint16_t type = 0;
  std::string value;
};

// The fields of a received message by raw offsets; false when the length word and
// the field lengths do not add up to the bytes received.
bool SplitFields(const std::string& message, std::vector<Field>* fields);

// A status reply: the status field, then perhaps the handle field.
struct StatusReply {
  bool valid = false;  // a status reply of 14 or 24 bytes laid out as it must be
  int32_t status = 0;
  bool hasHandle = false;
  uint32_t handle = 0;
};
StatusReply ReadStatusReply(const std::string& reply);

// --- Requests of a data provider ------------------------------------------------

struct Group {
  std::string name;
  std::string help;
  char sampleType = 'P';
  uint32_t TTL = 300;
  std::string attrRegister;
};

std::string RegisterRequest(const std::string& applName, const std::string& applHelp, const std::vector<Group>& groups);
std::string OnlineRequest(const std::string& applName, const std::string& attrGroup, const std::string& sourceName);
// Without the source-name field: the server takes the sender's name.
std::string OnlineRequestWithoutSource(const std::string& applName, const std::string& attrGroup);
std::string OfflineRequest(uint32_t handle);
std::string UnregisterRequest(const std::string& applName);
// The data request's head (handle and control field); attribute pairs follow with
// text(kAttrName, ...) and text(kAttrValue, ...) or u32(kAttrValue, ...).
Message DataRequest(uint32_t handle, uint16_t controlField);

// --- Requests of a consumer --------------------------------------------------------

std::string GetRequest(uint16_t code, const std::string& applName);
std::string WaitOnDataRequest(const std::string& applName, const std::string& attrGroup, uint32_t wait);
std::string WaitForStatusRequest(uint32_t wait);

// --- Sockets on loopback -------------------------------------------------------------

sockaddr_in LoopbackAddress(unsigned short port);

// A peer of the DCH server at one port. receive() gives one whole message (or
// datagram), or empty when none came within the time.
class Peer {
 public:
  virtual ~Peer() = default;
  virtual bool send(const std::string& bytes) = 0;
  virtual std::string receive(int waitMs) = 0;
  // Sends a request and takes its status reply.
  StatusReply exchange(const std::string& request, int waitMs);
};

class TcpPeer : public Peer {
 public:
  explicit TcpPeer(unsigned short port);
  ~TcpPeer() override;
  TcpPeer(const TcpPeer&) = delete;
  TcpPeer& operator=(const TcpPeer&) = delete;

  bool connected() const { return sockFD_ >= 0; }
  bool send(const std::string& bytes) override;
  // One message, framed by its length word.
  std::string receive(int waitMs) override;
  // `count` bytes, or what came of them in time.
  std::string receiveBytes(size_t count, int waitMs);
  // Ends the sending half; replies may still come.
  void closeSending();
  // Closes the connection: for the server, the data provider has gone.
  void close();

 private:
  int sockFD_;
};

class UdpPeer : public Peer {
 public:
  explicit UdpPeer(unsigned short serverPort);
  ~UdpPeer() override;
  UdpPeer(const UdpPeer&) = delete;
  UdpPeer& operator=(const UdpPeer&) = delete;

  bool send(const std::string& bytes) override;
  std::string receive(int waitMs) override;

 private:
  int sockFD_;
  sockaddr_in server_;
};

}  // namespace rawdch
