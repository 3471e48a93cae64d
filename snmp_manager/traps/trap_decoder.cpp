#include "trap_decoder.h"

#include <arpa/inet.h>

#include <cstdio>
#include <cstring>
#include <vector>

#include "trc1.h"
#include "zev0/ber.h"
#include "zev0/storage.h"

TRC_UNIT();

namespace {

constexpr int kIpAddress = 0x40;
constexpr int kCounter = 0x41;
constexpr int kGauge = 0x42;
constexpr int kTimeTicks = 0x43;
constexpr int kTrapPDU = 0xA4;
constexpr int kSNMPv2TrapPDU = 0xA6;
constexpr uint32_t kMaxNumberBytes = 4;

// The elements of one constructed field (or of the whole datagram), read in turn.
class Elements {
 public:
  Elements() = default;
  Elements(const char* at, uint32_t size) : at_(const_cast<char*>(at)), left_(size) {}

  // The next element's tag, its content in *content; 0 when none is left or the
  // next one does not fit in what is left.
  int next(Elements* content) {
    if (at_ == nullptr || left_ == 0) return 0;
    char* before = at_;
    uint32_t length = 0;
    char* value = nullptr;
    int tag = ZEV0_ExtractBERfield(&at_, left_, &length, &value);
    if (tag == 0) return 0;
    left_ -= static_cast<uint32_t>(at_ - before);
    *content = Elements(value, length);
    return tag;
  }

  const unsigned char* bytes() const { return reinterpret_cast<const unsigned char*>(at_); }
  uint32_t size() const { return left_; }
  std::string text() const { return at_ != nullptr ? std::string(at_, left_) : std::string(); }

  // An unsigned big-endian number of at most four bytes besides leading zero
  // bytes (BER writes one before a value with its top bit set); false when longer.
  bool number(uint32_t* value) const {
    uint32_t first = 0;
    while (first < left_ && bytes()[first] == 0) ++first;
    if (left_ - first > kMaxNumberBytes) return false;
    *value = 0;
    for (uint32_t i = first; i < left_; ++i) *value = (*value << 8) | bytes()[i];
    return true;
  }

  // The dotted text of an OBJECT IDENTIFIER's content; false when it does not decode.
  bool oid(std::string* text) const {
    if (at_ == nullptr) return false;
    int32_t count = 0;
    uint32_t* elements = ZEV0_DecodeOIDfromBER(at_, left_, &count);
    if (elements == nullptr) return false;
    char* dotted = ZEV0_ConvertOIDtoString(elements, count);
    ZEV0_FreeStorage(&elements);
    if (dotted == nullptr) return false;
    *text = dotted;
    ZEV0_FreeStorage(&dotted);
    return true;
  }

 private:
  char* at_ = nullptr;
  uint32_t left_ = 0;
};

std::string DottedAddress(const unsigned char* bytes) {
  char text[INET_ADDRSTRLEN];
  std::snprintf(text, sizeof(text), "%u.%u.%u.%u", bytes[0], bytes[1], bytes[2], bytes[3]);
  return text;
}

std::string Hexadecimal(const unsigned char* bytes, uint32_t size) {
  static const char kDigits[] = "0123456789ABCDEF";
  std::string text;
  text.reserve(size * 2);
  for (uint32_t i = 0; i < size; ++i) {
    text.push_back(kDigits[bytes[i] >> 4]);
    text.push_back(kDigits[bytes[i] & 0x0F]);
  }
  return text;
}

// An opaque value: as text when every byte is printable once line ends are
// blanks, otherwise in hexadecimal.
std::string OpaqueText(const Elements& value) {
  std::string text = value.text();
  for (char& c : text)
    if (c == '\n' || c == '\r') c = ' ';
  for (unsigned char c : text)
    if (c < 0x20 || c > 0x7E) return Hexadecimal(value.bytes(), value.size());
  return text;
}

std::string ValueText(int tag, const Elements& value) {
  switch (tag) {
    case ZEV0_ASN_NULL: return "NULL";
    case ZEV0_ASN_INTEGER:
    case kCounter:
    case kGauge:
    case kTimeTicks: {
      uint32_t number = 0;
      if (!value.number(&number)) {
        TRC(TRC_ERROR, "*****VarBind Value integer length %d too large. Value set to zero",
            static_cast<int>(value.size()));
        return "0";
      }
      return std::to_string(static_cast<int32_t>(number));
    }
    case kIpAddress:
      if (value.size() == 4) return DottedAddress(value.bytes());
      return Hexadecimal(value.bytes(), value.size());
    default: return OpaqueText(value);
  }
}

char* StorageText(const std::string& text) {
  auto* block = static_cast<char*>(ZEV0_GetStorage(static_cast<int32_t>(text.size() + 1)));
  if (block != nullptr) std::memcpy(block, text.c_str(), text.size() + 1);
  return block;
}

// One VarBind SEQUENCE: a record with the OID and the value's text, left empty
// when the name is not an OID that decodes.
void FillVarBind(Elements varBind, ZEVS_VarBind* record) {
  Elements name;
  std::string oid;
  if (varBind.next(&name) != ZEV0_ASN_OBJECTIDENTIFIER || !name.oid(&oid)) return;
  Elements value;
  int tag = varBind.next(&value);
  if (tag == 0) return;
  record->asn1Type = static_cast<uint8_t>(tag);
  record->oid = StorageText(oid);
  record->value = StorageText(ValueText(tag, value));
}

// The SEQUENCEs at the head of the list are the VarBinds; the first other
// element ends it.
void DecodeVarBinds(const Elements& list, ZEVS_VarBindList* varBinds) {
  std::vector<Elements> sequences;
  Elements walk = list;
  Elements element;
  while (walk.next(&element) == ZEV0_ASN_SEQUENCE) sequences.push_back(element);
  if (sequences.empty()) return;
  size_t bytes = sequences.size() * sizeof(ZEVS_VarBind);
  varBinds->items = static_cast<ZEVS_VarBind*>(ZEV0_GetStorage(static_cast<int32_t>(bytes)));
  if (varBinds->items == nullptr) return;
  std::memset(varBinds->items, 0, bytes);
  varBinds->count = static_cast<int32_t>(sequences.size());
  for (size_t i = 0; i < sequences.size(); ++i) FillVarBind(sequences[i], &varBinds->items[i]);
}

// The next element, which must carry the tag; false after the message otherwise.
bool Expect(Elements* parent, int tag, Elements* content, const char* message) {
  int found = parent->next(content);
  if (found == tag) return true;
  TRC(TRC_ERROR, message, tag, found);
  return false;
}

// As Expect for a header element whose message names only the tag found.
bool ExpectField(Elements* parent, int tag, Elements* content, const char* message) {
  int found = parent->next(content);
  if (found == tag) return true;
  TRC(TRC_ERROR, message, found);
  return false;
}

// A header number the decoding can hold (at most four bytes); its message otherwise.
bool HeaderNumber(const Elements& content, uint32_t* value, const char* message, int tag) {
  if (content.number(value)) return true;
  TRC(TRC_ERROR, message, tag);
  return false;
}

void TraceTrap(const DecodedTrap& trap, const std::string& agent) {
  TRC(TRC_DETAIL, "SNMP Trap - Version   %d", static_cast<int>(trap.version));
  TRC(TRC_DETAIL, "SNMP Trap - Community %s", trap.community.c_str());
  TRC(TRC_DETAIL, "SNMP Trap - OID       %s", trap.enterprise.c_str());
  TRC(TRC_DETAIL, "SNMP Trap - AgentAddr %s", agent.c_str());
  TRC(TRC_DETAIL, "SNMP Trap - Generic # %d", static_cast<int32_t>(trap.generic));
  TRC(TRC_DETAIL, "SNMP Trap - Specific# %d", static_cast<int32_t>(trap.specific));
}

constexpr char kVersionMessage[] = "*****unexpected SNMP PDU field 1, expect %02X get %02X";
constexpr char kCommunityMessage[] = "*****unexpected SNMP PDU field 2, expect %02X get %02X";
constexpr char kTrapTypeMessage[] = "*****unexpected SNMP trap type, expect %02X get %02X";
constexpr char kOIDMessage[] = "*****unexpected SNMP trap field, expect OID get %02X";
constexpr char kAddressMessage[] = "*****unexpected SNMP trap field, expect IpAddr get %02X";
constexpr char kGenericMessage[] = "*****unexpected SNMP trap field, expect Generic trap get %02X";
constexpr char kSpecificMessage[] = "*****unexpected SNMP trap field, expect Appl trap get %02X";
constexpr char kTimeTicksMessage[] = "*****unexpected SNMP trap field, expect TimeTick get %02X";
constexpr char kVarBindsMessage[] = "*****unexpected SNMP trap field, expect VarBind Seq get %02X";

}  // namespace

namespace zevs {

bool DecodeSNMPtrap(const char* datagram, uint32_t length, DecodedTrap* trap) {
  Elements whole(datagram, length);
  Elements message;
  if (whole.next(&message) != ZEV0_ASN_SEQUENCE) {
    TRC(TRC_ERROR, "*****unrecognized SNMP trap format");
    return false;
  }
  Elements field;
  if (!Expect(&message, ZEV0_ASN_INTEGER, &field, kVersionMessage)) return false;
  if (!field.number(&trap->version)) {
    TRC(TRC_ERROR, kVersionMessage, ZEV0_ASN_INTEGER, ZEV0_ASN_INTEGER);
    return false;
  }
  if (!Expect(&message, ZEV0_ASN_OCTETSTRING, &field, kCommunityMessage)) return false;
  trap->community = field.text();

  Elements pdu;
  if (trap->version == 2) {
    Expect(&message, kSNMPv2TrapPDU, &pdu, kTrapTypeMessage);
    return false;
  }
  if (trap->version != 0) return false;
  if (!Expect(&message, kTrapPDU, &pdu, kTrapTypeMessage)) return false;

  if (!ExpectField(&pdu, ZEV0_ASN_OBJECTIDENTIFIER, &field, kOIDMessage)) return false;
  if (!field.oid(&trap->enterprise)) {
    TRC(TRC_ERROR, kOIDMessage, ZEV0_ASN_OBJECTIDENTIFIER);
    return false;
  }
  if (!ExpectField(&pdu, kIpAddress, &field, kAddressMessage)) return false;
  if (field.size() != 4) {
    TRC(TRC_ERROR, kAddressMessage, kIpAddress);
    return false;
  }
  std::memcpy(&trap->agentAddress, field.bytes(), 4);
  if (!ExpectField(&pdu, ZEV0_ASN_INTEGER, &field, kGenericMessage) ||
      !HeaderNumber(field, &trap->generic, kGenericMessage, ZEV0_ASN_INTEGER))
    return false;
  if (!ExpectField(&pdu, ZEV0_ASN_INTEGER, &field, kSpecificMessage) ||
      !HeaderNumber(field, &trap->specific, kSpecificMessage, ZEV0_ASN_INTEGER))
    return false;
  if (!ExpectField(&pdu, kTimeTicks, &field, kTimeTicksMessage)) return false;
  Elements varBinds;
  if (!ExpectField(&pdu, ZEV0_ASN_SEQUENCE, &varBinds, kVarBindsMessage)) return false;

  TraceTrap(*trap, DottedAddress(reinterpret_cast<const unsigned char*>(&trap->agentAddress)));
  DecodeVarBinds(varBinds, &trap->varBinds);
  return true;
}

}  // namespace zevs
