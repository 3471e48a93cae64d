// The node table of a managed node list's task: one entry per entry of the list's
// node array (same index), with what the task last learned of the node and
// whether its row must carry type and description or a delete is due.
#pragma once

#include <netinet/in.h>

#include <cstdint>
#include <string>
#include <vector>

struct ManagedNodeListEntry;

// Removed state of a node entry.
constexpr uint32_t ZEVS_NODE_MONITORED = 0;
constexpr uint32_t ZEVS_NODE_DELETE_DUE = 1;
constexpr uint32_t ZEVS_NODE_DELETE_SENT = 2;

struct ManagedNodeListNodeEntry {
  std::string pNodeName;        // host name without the own domain, or the address text
  std::string pNodeAddrString;  // dotted
  std::string pNodeType;        // service-type text; empty: none
  std::string pNodeDesc;        // sysDescr; empty: none
  uint32_t services = 0;        // last sysServices (low 16 bits)
  uint32_t status = 0;          // 1 on-line, 0 off-line
  uint32_t changed = 1;         // the next row carries type and description
  uint32_t removed = ZEVS_NODE_MONITORED;
  uint32_t responseTime = 0;    // milliseconds of the last answer that changed something
  sockaddr_in address{};        // copied from the list's node array
};

// Fills the entry for the array's address: its texts, and removed 1 for an
// excluded node (family 0).
void ZEVS_InitializeManagedNodeNodeEntry(const sockaddr_in* socketAddress, ManagedNodeListNodeEntry* nodeEntry);

// When the list's changed flag is set: follows the array's families into the
// entries up to oldCount and adds entries for oldCount … newCount-1; the flag is
// cleared in every case. The caller holds the list's lock.
void ZEVS_BuildManagedNodeConfiguration(int32_t oldCount, int32_t newCount, ManagedNodeListEntry* managedNodeList,
                                        std::vector<ManagedNodeListNodeEntry>* nodeTable);

namespace zevs {

// The local domain, looked up once for every thread of the process ("" when none).
const std::string& OwnDomainName();

// The host name without the own domain: cut before the '.' that precedes the
// first occurrence of the domain after the name's first character; a name that
// holds the domain only without that '.' is kept whole.
std::string NameWithoutDomain(const std::string& name, const std::string& domain);

}  // namespace zevs
