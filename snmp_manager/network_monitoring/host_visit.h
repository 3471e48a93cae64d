// One visit of a monitored network's host by a worker: SNMP MIB-II system values,
// else up to three pings; the host's letter ('A' active, 'I' inactive, '0' not
// answering) and its miss count; the console report when it comes online or goes
// offline; and its NETWORK row.
#pragma once

#include <cstdint>
#include <string>

#include "snmp_pdu.h"

struct DPAB;
struct ManagedNodeEntry;
struct NetworkEntry;
struct SourceEntry;

namespace zevs {

// The worker's buffer for the SNMP exchanges and the row: an SNMP get's buffer.
constexpr int32_t kHostVisitBufferSize = ZEVP_SNMP_BUFFER_SIZE;

struct HostVisitContext {
  DPAB* anchor;
  SourceEntry* source;  // null: status records go to the hooks instead of rows
  NetworkEntry* network;
  NetworkEntry* baseNetwork;  // may be null
  int socketDescriptor;       // the worker's UDP socket
  char* buffer;               // the worker's kHostVisitBufferSize bytes
  // True once the worker is told to end; checked between steps.
  bool (*terminating)(void* worker);
  void* worker;
};

// Makes the hosts 1 … range−1 of the network (port 161 of each), on its first visit.
void MakeHosts(NetworkEntry* network, int32_t range);

// Which hosts a pass visits: 0 every host, 1 those with 'A' or 'I', 2 those with 'A' or '0'.
bool PassVisits(int32_t pass, char letter);

void VisitHost(const HostVisitContext& context, ManagedNodeEntry* node);

// The host's NETWORK row: seven fields each followed by ';', a ';' inside a text
// written as ','.
std::string NetworkRow(const ManagedNodeEntry& node, char letter);

// The agent name a host's automatic MIB collection is started for: its name when
// that resolves to the host's own address, else its dotted address (a sysName
// need not be known to the name service, and may name another host).
std::string CollectionAgentName(const ManagedNodeEntry& node);

// The host's letter, read under the network's lock.
char HostLetter(NetworkEntry* network, int32_t index);

}  // namespace zevs
