#include "managed_node_table.h"

#include <arpa/inet.h>

#include <algorithm>

#include "managed_node_list.h"
#include "trc1.h"
#include "zev0/hostnames.h"
#include "zev0/storage.h"

TRC_UNIT();

namespace zevs {

const std::string& OwnDomainName() {
  // Set once, by whichever task needs it first.
  static const std::string domain = [] {
    const char* local = ZEV0_GetLocalDomainName();
    return std::string(local != nullptr ? local : "");
  }();
  return domain;
}

std::string NameWithoutDomain(const std::string& name, const std::string& domain) {
  if (domain.empty() || name.size() < 2) return name;
  for (size_t at = name.find(domain, 1); at != std::string::npos; at = name.find(domain, at + 1))
    if (name[at - 1] == '.') return name.substr(0, at - 1);
  return name;
}

}  // namespace zevs

void ZEVS_InitializeManagedNodeNodeEntry(const sockaddr_in* socketAddress, ManagedNodeListNodeEntry* nodeEntry) {
  *nodeEntry = ManagedNodeListNodeEntry{};
  nodeEntry->address = *socketAddress;
  char dotted[INET_ADDRSTRLEN] = {};
  inet_ntop(AF_INET, &socketAddress->sin_addr, dotted, sizeof dotted);
  nodeEntry->pNodeAddrString = dotted;
  char* name = nullptr;
  if (ZEV0_ConvertAddrToName(socketAddress, &name, 0) != 0 && name != nullptr) {
    nodeEntry->pNodeName = zevs::NameWithoutDomain(name, zevs::OwnDomainName());
    ZEV0_FreeStorage(&name);
  }
  if (nodeEntry->pNodeName.empty()) nodeEntry->pNodeName = nodeEntry->pNodeAddrString;
  if (socketAddress->sin_family != ZEVP_NODE_EXCLUDED) {
    TRC(TRC_DETAIL, "Node %s address %s added", nodeEntry->pNodeName.c_str(), dotted);
  } else {
    nodeEntry->removed = ZEVS_NODE_DELETE_DUE;
    TRC(TRC_DETAIL, "Removed Node %s address %s added", nodeEntry->pNodeName.c_str(), dotted);
  }
}

void ZEVS_BuildManagedNodeConfiguration(int32_t oldCount, int32_t newCount, ManagedNodeListEntry* managedNodeList,
                                        std::vector<ManagedNodeListNodeEntry>* nodeTable) {
  if (managedNodeList->changed == 0) return;
  // The array only grows; a count beyond it (or below the table) is not trusted.
  const auto arraySize = static_cast<int32_t>(managedNodeList->nodes.size());
  newCount = std::min(newCount, arraySize);
  oldCount = std::min(std::max(oldCount, 0), static_cast<int32_t>(nodeTable->size()));
  if (newCount > 0) {
    nodeTable->resize(static_cast<size_t>(std::max(newCount, oldCount)));
    TRC(TRC_STORAGE, "Allocated ManagedNodeListNodeEntry @%p for length %d", static_cast<void*>(nodeTable->data()),
        static_cast<int>(nodeTable->size() * sizeof(ManagedNodeListNodeEntry)));
    for (int32_t index = 0; index < oldCount && index < newCount; ++index) {
      ManagedNodeListNodeEntry& node = (*nodeTable)[static_cast<size_t>(index)];
      const sockaddr_in& address = managedNodeList->nodes[static_cast<size_t>(index)];
      if (address.sin_family != ZEVP_NODE_EXCLUDED) {
        if (node.removed != ZEVS_NODE_MONITORED) node.changed = 1;
        node.removed = ZEVS_NODE_MONITORED;
        node.address.sin_family = ZEVP_NODE_MONITORED;
      } else if (node.removed == ZEVS_NODE_MONITORED) {
        node.removed = ZEVS_NODE_DELETE_DUE;
        TRC(TRC_DETAIL, "Removing Managed Node %s address %s ", node.pNodeName.c_str(), node.pNodeAddrString.c_str());
      }
    }
    for (int32_t index = oldCount; index < newCount; ++index)
      ZEVS_InitializeManagedNodeNodeEntry(&managedNodeList->nodes[static_cast<size_t>(index)],
                                          &(*nodeTable)[static_cast<size_t>(index)]);
  }
  managedNodeList->changed = 0;
}
