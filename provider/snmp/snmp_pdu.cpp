#include "snmp_pdu.h"

#include <cstring>

#include "ber_message_writer.h"
#include "mib_io_trace.h"
#include "zev0/ber.h"

TRC_UNIT();

const char* const SNMPpduStatusText[6] = {"NoError", "TooBig", "NoSuchName", "BadValue", "ReadOnly ", "GenError"};

namespace {

constexpr int32_t kSNMPv1 = 0;
constexpr uint32_t kNullFieldSize = 2;

// The bytes of a received field still unread: where the next field starts and
// how many bytes of the enclosing field lie from there on.
struct Span {
  char* at;
  uint32_t left;

  // Reads the next field; its tag (0 when it cannot be read) and its content.
  int next(Span* content) {
    uint32_t length = 0;
    char* value = nullptr;
    char* start = at;
    int tag = ZEV0_ExtractBERfield(&at, left, &length, &value);
    if (tag == 0) return 0;
    left -= static_cast<uint32_t>(at - start);
    *content = Span{value, length};
    return tag;
  }
};

// Runs a check that moves the cursor, and keeps the span's count.
template <typename Check>
int checked(Span* span, Check check) {
  char* start = span->at;
  int result = check(&span->at, span->left);
  span->left -= static_cast<uint32_t>(span->at - start);
  return result;
}

}  // namespace

int32_t ZEVP_SNMPconstructPDUbuffer(char* buffer, int32_t bufferSize, int requestType, const char* oid,
                                    int32_t oidLength, const char* value, int32_t valueLength, int32_t requestID,
                                    const char* community) {
  if (buffer == nullptr || bufferSize < 1 || oid == nullptr || community == nullptr || oidLength < 1 ||
      oidLength > bufferSize || (value != nullptr && (valueLength < 1 || valueLength > bufferSize))) {
    TRC(TRC_ERROR, "*****SNMP request not built: missing or oversized field");
    return 0;
  }
  std::memset(buffer, 0, static_cast<size_t>(bufferSize));
  const auto communityLength = static_cast<uint32_t>(strnlen(community, static_cast<size_t>(bufferSize) + 1));
  const uint32_t valueFieldSize = value != nullptr ? static_cast<uint32_t>(valueLength) : kNullFieldSize;
  const uint32_t varBind = static_cast<uint32_t>(oidLength) + valueFieldSize;
  const uint32_t varBinds = BerMessageWriter::FieldSize(varBind);
  const uint32_t pdu = BerMessageWriter::IntegerFieldSize(requestID) + 2 * BerMessageWriter::IntegerFieldSize(0) +
                       BerMessageWriter::FieldSize(varBinds);
  const uint32_t message = BerMessageWriter::IntegerFieldSize(kSNMPv1) +
                           BerMessageWriter::FieldSize(communityLength) + BerMessageWriter::FieldSize(pdu);

  BerMessageWriter out(buffer, static_cast<uint32_t>(bufferSize));
  out.header(ZEV0_ASN_SEQUENCE, message);
  out.integer(ZEV0_ASN_INTEGER, kSNMPv1);
  out.field(ZEV0_ASN_OCTETSTRING, community, communityLength);
  out.header(requestType, pdu);
  out.integer(ZEV0_ASN_INTEGER, requestID);
  out.integer(ZEV0_ASN_INTEGER, 0);
  out.integer(ZEV0_ASN_INTEGER, 0);
  out.header(ZEV0_ASN_SEQUENCE, varBinds);
  out.header(ZEV0_ASN_SEQUENCE, varBind);
  out.raw(oid, static_cast<uint32_t>(oidLength));
  if (value != nullptr)
    out.raw(value, static_cast<uint32_t>(valueLength));
  else
    out.header(ZEV0_ASN_NULL, 0);
  if (!out.ok()) {
    TRC(TRC_ERROR, "*****SNMP request of %u bytes does not fit in %d bytes", BerMessageWriter::FieldSize(message),
        bufferSize);
    std::memset(buffer, 0, static_cast<size_t>(bufferSize));
    return 0;
  }
  return static_cast<int32_t>(out.length());
}

int ZEVP_CheckSNMPversion(char** cursor, uint32_t remaining) {
  int32_t version = -1;
  if (ZEV0_ExtractBERinteger(cursor, remaining, &version) == 0) {
    ZEVP_MIBIO_TRC(TRC_ERROR, "*****unexpected PDU response format - version number");
    return -1;
  }
  if (version != kSNMPv1) {
    ZEVP_MIBIO_TRC(TRC_ERROR, "*****unsupported SNMP response protocol version %d", version);
    return -1;
  }
  return 0;
}

int ZEVP_CheckSNMPrequestID(char** cursor, uint32_t remaining, int32_t expectedID, int32_t* receivedID) {
  int32_t id = 0;
  if (ZEV0_ExtractBERinteger(cursor, remaining, &id) == 0) {
    ZEVP_MIBIO_TRC(TRC_ERROR, "*****unexpected PDU response format - request ID");
    return 0;
  }
  if (receivedID != nullptr) *receivedID = id;
  if (id != expectedID) {
    if (ZEVP_DEBUG_MIBIO.load() != 0)
      TRC1_Printf(&trcUnit_, __LINE__, "*****SNMP response request ID %d not equal request ID %d", id, expectedID);
    return 0;
  }
  return 1;
}

int ZEVP_CheckSNMPresponseStatus(char** cursor, uint32_t remaining, int32_t* errorStatus, int32_t* errorIndex) {
  char* start = *cursor;
  if (ZEV0_ExtractBERinteger(cursor, remaining, errorStatus) == 0) {
    ZEVP_MIBIO_TRC(TRC_ERROR, "*****unexpected PDU response format - error status");
    return 0;
  }
  remaining -= static_cast<uint32_t>(*cursor - start);
  if (ZEV0_ExtractBERinteger(cursor, remaining, errorIndex) == 0) {
    ZEVP_MIBIO_TRC(TRC_ERROR, "*****unexpected PDU response format - error index");
    return 0;
  }
  return 1;
}

char* ZEVP_SNMPverifyResponsePDU(char* message, uint32_t length, int32_t expectedID, int32_t* errorStatus,
                                 int32_t* errorIndex, int32_t* receivedID, uint32_t* varBindsLength) {
  if (message == nullptr || errorStatus == nullptr || errorIndex == nullptr || varBindsLength == nullptr)
    return nullptr;
  *varBindsLength = 0;
  Span datagram{message, length};
  Span whole{};
  if (datagram.next(&whole) != ZEV0_ASN_SEQUENCE) {
    ZEVP_MIBIO_TRC(TRC_ERROR, "*****unexpected PDU response format - begin sequence");
    return nullptr;
  }
  if (checked(&whole, ZEVP_CheckSNMPversion) != 0) return nullptr;
  Span community{};
  if (whole.next(&community) == 0) {
    ZEVP_MIBIO_TRC(TRC_ERROR, "*****unexpected PDU response format - community");
    return nullptr;
  }
  Span pdu{};
  if (whole.next(&pdu) != ZEVP_SNMP_GET_RESPONSE) {
    ZEVP_MIBIO_TRC(TRC_ERROR, "*****Message received is not SNMP Get response");
    return nullptr;
  }
  if (checked(&pdu, [&](char** cursor, uint32_t remaining) {
        return ZEVP_CheckSNMPrequestID(cursor, remaining, expectedID, receivedID);
      }) == 0)
    return nullptr;
  if (checked(&pdu, [&](char** cursor, uint32_t remaining) {
        return ZEVP_CheckSNMPresponseStatus(cursor, remaining, errorStatus, errorIndex);
      }) == 0)
    return nullptr;
  if (*errorStatus != 0) {
    ZEVP_MIBIO_TRC(TRC_ERROR, "PDU response status received %d", *errorStatus);
    return nullptr;
  }
  Span varBinds{};
  if (pdu.next(&varBinds) != ZEV0_ASN_SEQUENCE || varBinds.at == nullptr) {
    ZEVP_MIBIO_TRC(TRC_ERROR, "*****unexpected PDU response format - begin VarBind sequence");
    return nullptr;
  }
  *varBindsLength = varBinds.left;
  return varBinds.at;
}

int ZEVP_ReadVarBind(char* varBind, uint32_t remaining, SNMPvarBind* fields) {
  *fields = SNMPvarBind{};
  Span bindings{varBind, remaining};
  Span inner{};
  if (bindings.next(&inner) != ZEV0_ASN_SEQUENCE) {
    ZEVP_MIBIO_TRC(TRC_ERROR, "*****unexpected VarBind format - begin must be SEQUENCE");
    return 0;
  }
  char* oidField = inner.at;
  Span oid{};
  if (inner.next(&oid) != ZEV0_ASN_OBJECTIDENTIFIER) {
    ZEVP_MIBIO_TRC(TRC_ERROR, "*****unexpected VarBind format - OID");
    return 0;
  }
  const auto oidFieldLength = static_cast<uint32_t>(inner.at - oidField);
  Span value{};
  int tag = inner.next(&value);
  if (tag == 0) {
    ZEVP_MIBIO_TRC(TRC_ERROR, "*****unexpected VarBind format - value");
    return 0;
  }
  *fields = SNMPvarBind{oidField, oidFieldLength, value.at, value.left};
  return tag;
}
