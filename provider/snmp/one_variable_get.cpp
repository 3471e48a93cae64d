#include "one_variable_get.h"

#include <algorithm>
#include <cstring>
#include <mutex>

#include "engine_routines.h"
#include "mib_io_trace.h"
#include "pdu_exchange.h"
#include "printable_characters.h"
#include "snmp_pdu.h"
#include "zev0/ber.h"
#include "zev0/env.h"
#include "zev0/storage.h"

TRC_UNIT();

namespace {

constexpr int kMaxStaleReplies = 5;

std::once_flag DefaultCommunityOnce;
char* pDefaultCommunity = nullptr;

// The community of a request to the agent, in *own when it is a copy to free.
const char* communityFor(const sockaddr_in* agent, const char* given, char** own) {
  if (given != nullptr) return given;
  *own = zevp::Routines().locateSNMPnodeCommunityName(agent->sin_addr.s_addr);
  return *own != nullptr ? *own : ZEVP_DefaultSNMPcommunity();
}

// Hands the value to the caller as the interface says.
void deliver(const char* bytes, int32_t length, int32_t* valueLength, char** value, int32_t valueSize) {
  if (length == 0) {
    *value = nullptr;
    *valueLength = 0;
    return;
  }
  int32_t room = length;
  if (*value == nullptr) {
    *value = static_cast<char*>(ZEV0_GetStorage(length + 1));
    if (*value == nullptr) {
      TRC(TRC_ERROR, "*****no storage for an SNMP value of %d bytes", length);
      *valueLength = 0;
      return;
    }
  } else {
    room = std::min(length, valueSize - 1);
    if (room < 0) {
      *valueLength = 0;
      return;
    }
  }
  std::memcpy(*value, bytes, static_cast<size_t>(room));
  (*value)[room] = '\0';
  *valueLength = room;
}

}  // namespace

const char* ZEVP_DefaultSNMPcommunity() {
  std::call_once(DefaultCommunityOnce, [] {
    const char* configured = ZEV0_GetEnv("ZEVP_SNMP_NET_COMMUNITY", "willow");
    size_t length = std::strlen(configured);
    pDefaultCommunity = static_cast<char*>(ZEV0_GetStorage(static_cast<int32_t>(length + 1)));
    if (pDefaultCommunity != nullptr) std::memcpy(pDefaultCommunity, configured, length + 1);
  });
  return pDefaultCommunity != nullptr ? pDefaultCommunity : "willow";
}

int ZEVP_RetrieveOneMIBvariable(int socketDescriptor, char* buffer, const sockaddr_in* agent, const char* community,
                                int32_t* requestID, int32_t* errorStatus, const int32_t* oidLength, const char* oid,
                                int32_t* valueLength, char** value, int32_t valueSize, int acceptAnySource) {
  char* ownCommunity = nullptr;
  const char* used = communityFor(agent, community, &ownCommunity);
  ++*requestID;
  int32_t length = ZEVP_SNMPconstructPDUbuffer(buffer, ZEVP_SNMP_BUFFER_SIZE, ZEVP_SNMP_GET_REQUEST, oid,
                                               *oidLength, nullptr, 0, *requestID, used);
  ZEV0_FreeStorage(&ownCommunity);
  if (length == 0) return 0;

  char* varBinds = nullptr;
  uint32_t varBindsLength = 0;
  for (int reply = 1; varBinds == nullptr; ++reply) {
    int32_t received = ZEVP_SNMPsendAndReceivePDU(socketDescriptor, buffer, length, ZEVP_SNMP_BUFFER_SIZE, agent,
                                                  reply > 1, acceptAnySource);
    if (received < 1) return 0;
    int32_t errorIndex = 0;
    int32_t receivedID = *requestID;
    *errorStatus = 0;
    varBinds = ZEVP_SNMPverifyResponsePDU(buffer, static_cast<uint32_t>(received), *requestID, errorStatus,
                                          &errorIndex, &receivedID, &varBindsLength);
    if (varBinds != nullptr) break;
    if (receivedID >= *requestID || reply == kMaxStaleReplies) return 0;
    ZEVP_MIBIO_TRC(TRC_DETAIL, "Stale SNMP response %d skipped, waiting for %d", receivedID, *requestID);
  }

  SNMPvarBind fields{};
  int tag = ZEVP_ReadVarBind(varBinds, varBindsLength, &fields);
  if (tag == 0) return 0;
  char* content = fields.value;
  auto shown = static_cast<int32_t>(fields.valueLength);
  char* printable = content;
  if (tag == ZEV0_ASN_OCTETSTRING && shown > 0) {
    printable = ZEVP_ConvertToPrintableCharacters(content, &shown);
    if (printable == nullptr) return 0;
    if (printable != content) shown = static_cast<int32_t>(std::strlen(printable));
  }
  deliver(printable, shown, valueLength, value, valueSize);
  if (printable != content) ZEV0_FreeStorage(&printable);
  return tag;
}
