#include "managed_node_identity.h"

#include <arpa/inet.h>
#include <sys/socket.h>

#include <array>
#include <cstring>
#include <vector>

#include "bsv1.h"
#include "managed_node_entry.h"
#include "one_variable_get.h"
#include "snmp_pdu.h"
#include "system_group_oids.h"
#include "trc1.h"
#include "zev0/ber.h"
#include "zev0/hostnames.h"
#include "zev0/sockets.h"
#include "zev0/storage.h"

TRC_UNIT();

namespace {

constexpr uint16_t kSnmpPort = 161;
constexpr int32_t kAddressStringSize = 32;

class IdentityRead {
 public:
  explicit IdentityRead(ManagedNodeEntry* node) : node_(node), buffer_(ZEVP_SNMP_BUFFER_SIZE) {
    sockaddr_in local{};
    socket_ = ZEV0_OpenLocalSocket(SOCK_DGRAM, 0, &local, 1);
  }
  ~IdentityRead() {
    if (socket_ >= 0) ZEV0_CloseTheSocket(socket_);
  }
  IdentityRead(const IdentityRead&) = delete;
  IdentityRead& operator=(const IdentityRead&) = delete;

  // The tag of the value, 0 when none came; a value into *value (new storage when null).
  int get(const char* oid, char** value, int32_t valueSize, int32_t* length) {
    if (socket_ < 0) return 0;
    int32_t errorStatus = 0;
    const int32_t oidLength = zevp::kSystemFieldLength;
    return ZEVP_RetrieveOneMIBvariable(socket_, buffer_.data(), &node_->agent, nullptr, &requestID_, &errorStatus,
                                       &oidLength, oid, length, value, valueSize, 0);
  }

  bool read() {
    std::array<char, 16> integer{};
    char* area = integer.data();
    int32_t length = 0;
    if (get(zevp::kSysServicesField, &area, static_cast<int32_t>(integer.size()), &length) != ZEV0_ASN_INTEGER)
      return false;
    node_->snmpEnabled = 1;
    ZEV0_FreeStorage(&node_->ManagedNodeTypeText);
    node_->ManagedNodeTypeText =
        ZEV0_DetermineNodeServiceType(static_cast<int>(zevp::ServicesOfInteger(integer.data(), length)));

    char* description = nullptr;
    if (get(zevp::kSysDescrField, &description, 0, &length) == ZEV0_ASN_OCTETSTRING) {
      ZEV0_FreeStorage(&node_->ManagedNodeDesc);
      node_->ManagedNodeDesc = description;
    } else {
      ZEV0_FreeStorage(&description);
    }

    char* identifier = nullptr;
    const int tag = get(zevp::kSysObjectIDField, &identifier, 0, &length);
    int32_t count = 0;
    uint32_t* elements = tag == ZEV0_ASN_OBJECTIDENTIFIER && identifier != nullptr
                             ? ZEV0_DecodeOIDfromBER(identifier, static_cast<uint32_t>(length), &count)
                             : nullptr;
    ZEV0_FreeStorage(&identifier);
    if (elements == nullptr) return false;
    ZEV0_FreeStorage(&node_->ManagedNodeOID);
    node_->ManagedNodeOID = ZEV0_ConvertOIDtoString(elements, count);
    ZEV0_FreeStorage(&elements);
    return node_->ManagedNodeOID != nullptr;
  }

 private:
  ManagedNodeEntry* node_;
  std::vector<char> buffer_;
  int socket_ = -1;
  int32_t requestID_ = static_cast<int32_t>(BSV1_ThreadID());
};

const char* Shown(const char* text) { return text != nullptr ? text : ""; }

bool Resolve(ManagedNodeEntry* node) {
  if (node->ManagedNodeName == nullptr || ZEV0_ConvertNameToAddr(node->ManagedNodeName, kSnmpPort, &node->agent) == 0)
    return false;
  ZEV0_FreeStorage(&node->addressText);
  node->addressText = static_cast<char*>(ZEV0_GetStorage(kAddressStringSize));
  if (node->addressText == nullptr) return false;
  inet_ntop(AF_INET, &node->agent.sin_addr, node->addressText, kAddressStringSize);
  return true;
}

}  // namespace

int ZEVP_RetrieveManagedNodeIdentity(ManagedNodeEntry* node, int freeOnFailure) {
  bool read = Resolve(node) && IdentityRead(node).read();
  if (read) {
    TRC(TRC_DETAIL, "RQ Server %s identity:", node->ManagedNodeName);
    TRC(TRC_DETAIL, "IP Address ------>%s", node->addressText);
    TRC(TRC_DETAIL, "Enterprise OID -->%s", node->ManagedNodeOID);
    TRC(TRC_DETAIL, "Node Type-------->%s", Shown(node->ManagedNodeTypeText));
    TRC(TRC_DETAIL, "Node Description->%s", Shown(node->ManagedNodeDesc));
    return 1;
  }
  TRC(TRC_ERROR, "Unable to obtain server identity for managed node %s", Shown(node->ManagedNodeName));
  if (freeOnFailure != 0) {
    ZEV0_FreeStorage(&node->addressText);
    ZEV0_FreeStorage(&node->ManagedNodeTypeText);
    ZEV0_FreeStorage(&node->ManagedNodeDesc);
    ZEV0_FreeStorage(&node->ManagedNodeOID);
  }
  return 0;
}
