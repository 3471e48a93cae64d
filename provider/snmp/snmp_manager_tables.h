// The tables of the SNMP-Manager application, in which the SNMP data provider
// reports what its manager side finds: their order, sample types, the product
// item that switches each on, and their attributes in slot order.
#pragma once

#include "builtin_group.h"

// The tables by their index, which is also their place in the anchor's
// snmpManagerTables and the order in which they are defined.
enum ZEVP_SNMPmanagerTable : int {
  ZEVP_SNMP_TRAP = 0,
  ZEVP_SNMP_ROUTER = 1,
  ZEVP_SNMP_NETSUMMARY = 2,
  ZEVP_SNMP_NETWORK = 3,
  ZEVP_SNMP_MIBSTATUS = 4,
  ZEVP_SNMP_MANAGED_NODES = 5,
  ZEVP_SNMP_PLOVEN_AGENTS = 6,
  ZEVP_SNMP_MIBNODATA = 7,
};

constexpr char ZEVP_SNMP_MANAGER_APPLICATION[] = "SNMP-Manager";
constexpr char ZEVP_SNMP_MANAGER_PRODUCT_CODE[] = "QLM";

namespace zevp {

constexpr int kAlwaysDefined = -1;

// Which TTL a table takes: none (an event table), the network data TTL of the
// environment, or a fixed number of seconds.
enum class SNMPmanagerTTL { none, networkData, fixed };

struct SNMPmanagerTableDefinition {
  BuiltInGroup group;  // name, sample type, help and attributes in slot order
  SNMPmanagerTTL ttl;
  const char* fixedTTL;  // for SNMPmanagerTTL::fixed
  // The product item that switches the table on, or kAlwaysDefined.
  int condition;
};

// The eight tables, indexed by ZEVP_SNMPmanagerTable.
const SNMPmanagerTableDefinition& SNMPmanagerTable(int index);

}  // namespace zevp
