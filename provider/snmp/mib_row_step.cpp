#include "mib_row_step.h"

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "attribute_entry.h"
#include "ber_attribute_load.h"
#include "dp_environment.h"
#include "mib_io_trace.h"
#include "pdu_exchange.h"
#include "snmp_pdu.h"
#include "zev0/ber.h"
#include "zev0/storage.h"

TRC_UNIT();

namespace {

// A reply to an older request is read past without a resend, four times at most.
constexpr int kMaxReplies = 5;
constexpr int kStale = -1;
constexpr int32_t kNoSuchName = 2;

// The elements of dotted text; a part that is no number makes it no OID.
std::vector<uint32_t> elementsOf(const std::string& text) {
  std::vector<uint32_t> elements;
  for (const char* p = text.c_str(); *p != '\0';) {
    char* end = nullptr;
    elements.push_back(static_cast<uint32_t>(std::strtoul(p, &end, 10)));
    if (end == p) return {};
    p = *end == '.' ? end + 1 : end;
    if (*end != '.' && *end != '\0') return {};
  }
  return elements;
}

// The dotted text of the VarBind's OID, or empty when it does not decode.
std::string replyOID(char* varBinds, uint32_t length) {
  SNMPvarBind fields{};
  if (ZEVP_ReadVarBind(varBinds, length, &fields) == 0) return {};
  char* cursor = fields.oidField;
  uint32_t contentLength = 0;
  char* content = nullptr;
  if (ZEV0_ExtractBERfield(&cursor, fields.oidFieldLength, &contentLength, &content) != ZEV0_ASN_OBJECTIDENTIFIER)
    return {};
  int32_t count = 0;
  uint32_t* elements = ZEV0_DecodeOIDfromBER(content, contentLength, &count);
  if (elements == nullptr) return {};
  char* text = ZEV0_ConvertOIDtoString(elements, count);
  ZEV0_FreeStorage(&elements);
  if (text == nullptr) return {};
  std::string dotted = text;
  ZEV0_FreeStorage(&text);
  return dotted;
}

bool isStale(int32_t receivedID, int32_t requestID) { return receivedID < requestID; }

}  // namespace

namespace zevp {

int InstanceFromGetNextReply(char* buffer, uint32_t length, int32_t requestID, const char* columnOID,
                             char instance[ZEVP_SNMP_INSTANCE_SIZE]) {
  int32_t errorStatus = 0;
  int32_t errorIndex = 0;
  int32_t receivedID = requestID;
  uint32_t varBindsLength = 0;
  char* varBinds =
      ZEVP_SNMPverifyResponsePDU(buffer, length, requestID, &errorStatus, &errorIndex, &receivedID, &varBindsLength);
  if (varBinds == nullptr) {
    if (isStale(receivedID, requestID)) return kStale;
    ZEVP_MIBIO_TRC(TRC_ERROR, "*****unable to retrieve MIB variable instance - response not verified");
    return 0;
  }
  const std::string received = replyOID(varBinds, varBindsLength);
  const size_t columnLength = std::strlen(columnOID);
  const std::string asked = std::string(columnOID) + instance;
  if (received.compare(0, columnLength, columnOID) != 0 || received.size() <= columnLength + 1 ||
      received[columnLength] != '.') {
    ZEVP_MIBIO_TRC(TRC_DETAIL, "*****PDU response OID mismatch, I->%s R->%s", asked.c_str(), received.c_str());
    return 0;
  }
  if (elementsOf(received) <= elementsOf(asked)) {
    TRC(TRC_ERROR, "*****MIB instance %s not after %s. Table ended", received.c_str(), asked.c_str());
    return 0;
  }
  const std::string rest = received.substr(columnLength);
  if (rest.size() >= static_cast<size_t>(ZEVP_SNMP_INSTANCE_SIZE)) {
    TRC(TRC_ERROR, "*****MIB instance of %zu characters too long. Column %s ended", rest.size(), columnOID);
    return 0;
  }
  std::memcpy(instance, rest.c_str(), rest.size() + 1);
  ZEVP_MIBIO_TRC(TRC_DETAIL, "Current Var instance %s", instance);
  return 1;
}

ColumnOutcome ColumnFromGetReply(char* buffer, uint32_t length, int32_t requestID, AttributeEntry* attribute,
                                 const char* oidField, int32_t oidFieldLength, int32_t* loaded, bool* stale,
                                 int32_t* errorStatus) {
  *stale = false;
  *errorStatus = 0;
  int32_t errorIndex = 0;
  int32_t receivedID = requestID;
  uint32_t varBindsLength = 0;
  char* varBinds =
      ZEVP_SNMPverifyResponsePDU(buffer, length, requestID, errorStatus, &errorIndex, &receivedID, &varBindsLength);
  if (varBinds != nullptr) {
    *loaded += ZEVP_SNMPloadAttributeFromBER(varBinds, varBindsLength, attribute, oidField, oidFieldLength);
    return ColumnOutcome::Loaded;
  }
  if (isStale(receivedID, requestID)) {
    *stale = true;
    return ColumnOutcome::Empty;
  }
  // A reply whose status cannot be read counts as NoSuchName.
  if (receivedID != requestID || *errorStatus <= 0) *errorStatus = kNoSuchName;
  return *errorStatus == kNoSuchName ? ColumnOutcome::Empty : ColumnOutcome::EndRow;
}

}  // namespace zevp

int ZEVP_SNMPretrieveCurrentVarInstance(int socketDescriptor, char* buffer, int32_t requestLength, int32_t bufferSize,
                                        char instance[ZEVP_SNMP_INSTANCE_SIZE], int32_t requestID,
                                        const sockaddr_in* agent, const char* columnOID) {
  int result = 0;
  if (requestLength < 1) {
    ZEVP_MIBIO_TRC(TRC_ERROR, "*****unable to retrieve MIB variable instance - invalid PDU length");
  } else {
    for (int reply = 1; reply <= kMaxReplies; ++reply) {
      int32_t received =
          ZEVP_SNMPsendAndReceivePDU(socketDescriptor, buffer, requestLength, bufferSize, agent, reply > 1, 0);
      if (received < 1) {
        ZEVP_MIBIO_TRC(TRC_ERROR, "*****unable to retrieve MIB variable instance - send PDU");
        break;
      }
      result = zevp::InstanceFromGetNextReply(buffer, static_cast<uint32_t>(received), requestID, columnOID, instance);
      if (result != kStale) break;
      result = 0;
      ZEVP_MIBIO_TRC(TRC_DETAIL, "Duplicate or out-of-sync PDU discarded");
    }
  }
  std::memset(buffer, 0, static_cast<size_t>(bufferSize));
  return result;
}

ColumnOutcome ZEVP_SNMPgetColumnValue(int socketDescriptor, char* buffer, const sockaddr_in* agent,
                                      const char* community, int32_t* requestID, AttributeEntry* attribute,
                                      const char* instance, const char* agentAddress, int32_t* loaded) {
  char* ownOID = nullptr;
  const char* oid = attribute->AttrOID;
  int32_t oidLength = attribute->AttrOIDlength;
  if (instance != nullptr) {
    const std::string text = std::string(attribute->AttrOIDstring) + instance;
    if (ZEV0_FormatOIDfromString(text.c_str(), &ownOID, &oidLength) == 0) {
      TRC(TRC_ERROR, "*****MIB attribute %s OID %s not encoded", attribute->AttrName, text.c_str());
      return ColumnOutcome::Empty;
    }
    oid = ownOID;
  }
  ++*requestID;
  int32_t length = ZEVP_SNMPconstructPDUbuffer(buffer, ZEVP_SNMP_BUFFER_SIZE, ZEVP_SNMP_GET_REQUEST, oid, oidLength,
                                               nullptr, 0, *requestID, community);
  ColumnOutcome outcome = ColumnOutcome::Empty;
  for (int reply = 1; length > 0 && reply <= kMaxReplies; ++reply) {
    int32_t received = ZEVP_SNMPsendAndReceivePDU(socketDescriptor, buffer, length, ZEVP_SNMP_BUFFER_SIZE, agent,
                                                  reply > 1, 0);
    if (received == 0) {
      ZEVP_MIBIO_TRC(TRC_DETAIL, "%s Agent request timed out", agentAddress);
      break;
    }
    if (received < 0) {
      TRC(TRC_ERROR, "***** %s SNMP request transmission failed", agentAddress);
      outcome = ColumnOutcome::SkipColumns;
      break;
    }
    bool stale = false;
    int32_t status = 0;
    outcome = zevp::ColumnFromGetReply(buffer, static_cast<uint32_t>(received), *requestID, attribute, oid,
                                       oidLength, loaded, &stale, &status);
    if (stale) {
      ZEVP_MIBIO_TRC(TRC_DETAIL, "Duplicate or out-of-sync PDU discarded");
      continue;
    }
    if (outcome == ColumnOutcome::Loaded) break;
    const bool trace = outcome == ColumnOutcome::EndRow || ZEVP_DEBUG_MIBMGR.load() != 0;
    if (trace && status <= 5)
      TRC1_Printf(&trcUnit_, __LINE__, "*****SNMP response error status received - %s %s MIB attribute %s",
                  agentAddress, SNMPpduStatusText[status], attribute->AttrName);
    else if (trace)
      TRC1_Printf(&trcUnit_, __LINE__, "*****SNMP response error status received - %s %d MIB attribute %s",
                  agentAddress, status, attribute->AttrName);
    break;
  }
  ZEV0_FreeStorage(&ownOID);
  return outcome;
}
