#include "snmp_set_request.h"

#include <arpa/inet.h>
#include <sys/socket.h>

#include <cctype>
#include <cstring>
#include <vector>

#include "action_entry.h"
#include "attribute_entry.h"
#include "bsv1.h"
#include "engine_routines.h"
#include "one_variable_get.h"
#include "pdu_exchange.h"
#include "snmp_action_parameters.h"
#include "snmp_pdu.h"
#include "trc1.h"
#include "zev0/ber.h"
#include "zev0/hostnames.h"
#include "zev0/sockets.h"
#include "zev0/storage.h"

TRC_UNIT();

namespace {

constexpr int kStatusOK = 0;
constexpr int kStatusFailed = 2;
constexpr int kStatusNotFormed = 9;

constexpr int kTextAddressInvalid = 27;
constexpr int kTextValueMissing = 28;
constexpr int kTextValueInvalid = 29;
constexpr int kTextNumericExpected = 30;
constexpr int kTextSetOK = 31;
constexpr int kTextOutOfRange = 34;
constexpr int kTextNoResponse = 37;

constexpr uint16_t kSNMPport = 161;

void finish(ActionEntry* action, int status, int text) {
  action->ActionStatus = status;
  ZEVP_SetActionResultText(action, text);
}

std::string lengthField(size_t length) {
  char bytes[8];
  char* cursor = bytes;
  if (length == 0) return std::string(1, '\0');
  ZEV0_FormatBERlengthField(&cursor, static_cast<uint32_t>(length));
  return std::string(bytes, cursor);
}

// The community of the request, in *own when it is a copy to free.
const char* communityFor(const ActionEntry* action, const sockaddr_in& agent, std::string* given, char** own) {
  if (auto community = zevp::KeywordWordAfterBlanks(action->ActionParm, "COMMUNITY=");
      community && !community->empty()) {
    *given = *community;
    return given->c_str();
  }
  *own = zevp::Routines().locateSNMPnodeCommunityName(agent.sin_addr.s_addr);
  return *own != nullptr ? *own : ZEVP_DefaultSNMPcommunity();
}

// Sends the built request and maps the answer; the socket is the caller's.
void exchange(ActionEntry* action, int socket, std::vector<char>& buffer, int32_t length, const sockaddr_in& agent,
              int32_t requestID) {
  int32_t received = ZEVP_SNMPsendAndReceivePDU(socket, buffer.data(), length, ZEVP_SNMP_BUFFER_SIZE, &agent, 0, 0);
  if (received <= 0) {
    finish(action, kStatusFailed, kTextNoResponse);
    return;
  }
  int32_t errorStatus = -1;
  int32_t errorIndex = 0;
  int32_t receivedID = requestID - 1;
  uint32_t varBindsLength = 0;
  char* varBinds = ZEVP_SNMPverifyResponsePDU(buffer.data(), static_cast<uint32_t>(received), requestID, &errorStatus,
                                              &errorIndex, &receivedID, &varBindsLength);
  if (varBinds != nullptr)
    finish(action, kStatusOK, kTextSetOK);
  else if (receivedID == requestID && errorStatus > 0)
    finish(action, kStatusFailed, zevp::SetErrorStatusText(errorStatus));
  else  // another request's answer, or no GetResponse at all: no answer to this one
    finish(action, kStatusFailed, kTextNoResponse);
}

}  // namespace

namespace zevp {

int EncodeSetValue(char attributeType, const std::string& value, std::string* field) {
  if (attributeType == 'G' || attributeType == 'C') {
    if (value.empty()) return kTextNumericExpected;
    uint64_t number = 0;
    for (char c : value) {
      if (!std::isdigit(static_cast<unsigned char>(c))) return kTextNumericExpected;
      number = number * 10 + static_cast<uint64_t>(c - '0');
      if (number > 0x7FFFFFFF) return kTextOutOfRange;
    }
    char bytes[8];
    char* cursor = bytes;
    ZEV0_FormatBERintegerType(&cursor, ZEV0_ASN_INTEGER, static_cast<int32_t>(number));
    field->assign(bytes, cursor);
    return 0;
  }
  if (attributeType == 'D') {
    *field = std::string(1, static_cast<char>(ZEV0_ASN_OCTETSTRING)) + lengthField(value.size()) + value;
    return 0;
  }
  return kTextValueInvalid;
}

int SetErrorStatusText(int errorStatus) {
  switch (errorStatus) {
    case 1: return 32;
    case 2: return 33;
    case 3: return 34;
    case 4: return 35;
    default: return 36;
  }
}

}  // namespace zevp

void ZEVP_DoSNMPsetRequest(ActionEntry* action, const AttributeEntry* attribute) {
  bool laterKeyword = false;
  auto value = zevp::SetValueText(action->ActionParm, &laterKeyword);
  if (!value || (value->empty() && !laterKeyword)) return finish(action, kStatusNotFormed, kTextValueMissing);
  std::string valueField;
  if (int text = zevp::EncodeSetValue(attribute->AttrType, *value, &valueField); text != 0)
    return finish(action, kStatusNotFormed, text);

  auto address = zevp::KeywordWordAfterBlanks(action->ActionParm, "NETADDR=");
  sockaddr_in agent{};
  if (!address || address->empty() || ZEV0_ConvertNameToAddr(address->c_str(), kSNMPport, &agent) == 0)
    return finish(action, kStatusNotFormed, kTextAddressInvalid);

  sockaddr_in local{};
  int socket = ZEV0_OpenLocalSocket(SOCK_DGRAM, 0, &local, 1);
  if (socket < 0) {
    TRC(TRC_ERROR, "*****unable to open socket. SNMP SET impossible");
    action->ActionStatus = kStatusFailed;
    return;
  }
  std::string given;
  char* own = nullptr;
  const char* community = communityFor(action, agent, &given, &own);
  std::vector<char> buffer(ZEVP_SNMP_BUFFER_SIZE);
  auto requestID = static_cast<int32_t>((BSV1_ThreadID() + 1) & 0x7FFFFFFF);
  int32_t length = ZEVP_SNMPconstructPDUbuffer(buffer.data(), ZEVP_SNMP_BUFFER_SIZE, ZEVP_SNMP_SET_REQUEST,
                                               attribute->AttrOID, attribute->AttrOIDlength, valueField.data(),
                                               static_cast<int32_t>(valueField.size()), requestID, community);
  if (length <= 0)  // the value does not fit a request
    finish(action, kStatusNotFormed, kTextValueInvalid);
  else
    exchange(action, socket, buffer, length, agent, requestID);
  ZEV0_FreeStorage(&own);
  ZEV0_CloseTheSocket(socket);
  TRC(TRC_DETAIL, "Set status %d result %s", action->ActionStatus,
      action->ActionResult != nullptr ? action->ActionResult : "");
}
