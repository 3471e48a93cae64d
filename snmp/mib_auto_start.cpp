#include "mib_auto_start.h"

#include "mib_auto_collection.h"
#include "network_manage_entry.h"

namespace zevs {

void AutoStartMIBcollection(DPAB* anchor, char* name, char* enterpriseOID) {
  ManagedNodeEntry node{};
  node.ManagedNodeName = name;
  node.ManagedNodeOID = enterpriseOID;
  ZEVP_AutoStartMIBcollection(anchor, &node);
}

}  // namespace zevs
