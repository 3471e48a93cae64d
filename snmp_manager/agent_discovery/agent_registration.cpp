#include "agent_registration.h"

#include <arpa/inet.h>

#include <algorithm>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include "agent_discovery_scope.h"
#include "agent_origin.h"
#include "debug_switches.h"
#include "network_list.h"
#include "ploven_agent_entry.h"
#include "ploven_agent_row.h"
#include "product_affinity.h"
#include "trc1.h"
#include "zev0/storage.h"
#include "zev0/text.h"
#include "zevs/network_records.h"

TRC_UNIT();

namespace {

// A storage block (ZEV0_GetStorage) freed with the object.
class OwnedText {
 public:
  explicit OwnedText(char* text = nullptr) : text_(text) {}
  ~OwnedText() { ZEV0_FreeStorage(&text_); }
  OwnedText(const OwnedText&) = delete;
  OwnedText& operator=(const OwnedText&) = delete;
  const char* get() const { return text_; }

 private:
  char* text_;
};

// Where the registered agents run: the caller's host and address when the runtime
// names the caller, else the host inside the calling agent's managed-system name.
class AgentHost {
 public:
  AgentHost(rpc__handle_t handle, const char* managedSystemName) {
    ZEVS_RetrieveOriginFromHandle(handle, &name_, &address_);
    fromCaller_ = name_ != nullptr;
    if (fromCaller_) return;
    name_ = ZEVS_ExtractHostNameFromMS(managedSystemName);
    address_ = zevs::DottedAddressOrName(name_);
  }
  ~AgentHost() {
    ZEV0_FreeStorage(&name_);
    ZEV0_FreeStorage(&address_);
  }
  AgentHost(const AgentHost&) = delete;
  AgentHost& operator=(const AgentHost&) = delete;

  const char* name() const { return name_; }
  const char* address() const { return address_; }
  bool fromCaller() const { return fromCaller_; }

 private:
  char* name_ = nullptr;
  char* address_ = nullptr;
  bool fromCaller_ = false;
};

// What one call says of every agent it registers.
struct Registration {
  const AgentHost& host;
  const char* affinity;  // validated
  const char* productVersion;
  time_t now;
};

void Replace(char** field, char* text) {
  ZEV0_FreeStorage(field);
  *field = text;
}

void TakeAffinity(PlovenAgentEntry* entry, const char* affinity) {
  Replace(&entry->affinity, zevs::CopyAgentText(affinity));
  Replace(&entry->productName, zevs::CopyAgentText(ZEVS_LocateProductNameFromAffinity(affinity)));
  Replace(&entry->features, ZEVS_ConstructProductFeatureString(affinity));
}

// A known agent registered again: the reply time, its host when the caller is known,
// its affinity when it changed, its version.
void Refresh(PlovenAgentEntry* entry, const Registration& registration) {
  BSV1_GetLock(&entry->lock);
  entry->lastReplyTime = registration.now;
  if (registration.host.fromCaller()) {
    Replace(&entry->networkName, zevs::CopyAgentText(registration.host.name()));
    Replace(&entry->networkAddress, zevs::CopyAgentText(registration.host.address()));
  }
  if (entry->affinity == nullptr || std::strcmp(entry->affinity, registration.affinity) != 0)
    TakeAffinity(entry, registration.affinity);
  Replace(&entry->productVersion, zevs::CopyAgentText(registration.productVersion));
  BSV1_ReleaseLock(&entry->lock);
}

PlovenAgentEntry* NewAgent(const char* managedSystemName, const Registration& registration) {
  PlovenAgentEntry* entry = zevs::NewPlovenAgentEntry();
  if (entry == nullptr) {
    TRC(TRC_ERROR, "*****No storage for agent %s", managedSystemName);
    return nullptr;
  }
  entry->managedSystemName = zevs::CopyAgentText(managedSystemName);
  entry->networkName = zevs::CopyAgentText(registration.host.name());
  entry->networkAddress = zevs::CopyAgentText(registration.host.address());
  entry->productVersion = zevs::CopyAgentText(registration.productVersion);
  TakeAffinity(entry, registration.affinity);
  entry->lastCheckTime = registration.now;
  entry->lastReplyTime = registration.now;
  return entry;
}

// The agent of the name refreshed, or a new one appended while the list has room
// (null when it has none); under the list's lock.
PlovenAgentEntry* RegisterAgent(const zevs::AgentList& list, const char* managedSystemName,
                                const Registration& registration, bool subnode) {
  if (PlovenAgentEntry* known = zevs::FindAgent(list, managedSystemName)) {
    Refresh(known, registration);
    return known;
  }
  if (zevs::CountAgents(list) >= kMaxPlovenAgents) {
    TRC(TRC_ERROR, "*****Agent %s refused: %zu agents known already", managedSystemName, kMaxPlovenAgents);
    return nullptr;
  }
  if (subnode) ZEVS_TRC(ZEVS_DEBUG_Ploven, TRC_DETAIL, "Adding subnode name %s", managedSystemName);
  PlovenAgentEntry* entry = NewAgent(managedSystemName, registration);
  zevs::AppendAgent(list, entry);
  return entry;
}

std::string AddressOf(PlovenAgentEntry* entry) {
  BSV1_GetLock(&entry->lock);
  std::string address = entry->networkAddress != nullptr ? entry->networkAddress : "";
  BSV1_ReleaseLock(&entry->lock);
  return address;
}

// The network that holds the address learns that an agent of ours runs there.
void MarkAgentFound(const std::string& address) {
  in_addr host{};
  if (inet_pton(AF_INET, address.c_str(), &host) != 1) return;
  NetworkEntry* network = ZEVS_LocateMyNetwork(host.s_addr);
  if (network == nullptr) return;
  BSV1_GetLock(&network->lock);
  network->agentFound = 1;
  BSV1_ReleaseLock(&network->lock);
}

// The names of the list's first length characters (clamped to 0 … count; a NUL ends
// the list early), leading ',' dropped, split at ','.
std::vector<std::string> SubnodeNames(int16_t listLength, const RAF_SubnodeList_t* list) {
  const size_t count = list != nullptr && list->names != nullptr ? list->count : 0;
  const size_t length = std::min(static_cast<size_t>(std::max<int16_t>(listLength, 0)), count);
  std::string text = length > 0 ? std::string(list->names, strnlen(list->names, length)) : std::string();
  ZEVS_TRC(ZEVS_DEBUG_Ploven, TRC_DETAIL, "subnode list received %s", text.c_str());
  const size_t first = std::min(text.find_first_not_of(','), text.size());
  if (first > 0) {
    text.erase(0, first);
    ZEVS_TRC(ZEVS_DEBUG_Ploven, TRC_DETAIL, "subnode list used %s", text.c_str());
  }
  std::vector<std::string> names;
  for (char* name = ZEV0_strtok(text.data(), ","); name != nullptr; name = ZEV0_strtok(nullptr, ","))
    names.emplace_back(name);
  return names;
}

}  // namespace

int32_t ZEVS_RAF_NCS_Register(rpc__handle_t handle, const char* managedSystemName, const char* affinity,
                              int32_t number, int32_t version, int32_t /*trailingNumber*/) {
  const char* name = managedSystemName != nullptr ? managedSystemName : "";
  ZEVS_TRC(ZEVS_DEBUG_Ploven, TRC_DETAIL, ">>>>>RAF Agent registration received from %s[%d]\n", name, number);
  const AgentHost host(handle, name);
  OwnedText validAffinity(ZEVS_CheckValidAffinity(affinity));
  OwnedText productVersion(ZEVS_CheckAgentVersion(version));
  const std::optional<zevs::AgentDiscoveryScope> scope = zevs::CurrentAgentScope();
  if (!scope) return 0;
  std::string agentAddress;
  {
    zevs::AgentListHold hold(scope->agents);
    if (scope->agents.shutdown->load() != 0) return 0;
    const Registration registration{host, validAffinity.get(), productVersion.get(), zevs::AgentClockNow()};
    PlovenAgentEntry* entry = RegisterAgent(scope->agents, name, registration, false);
    if (entry == nullptr) return 0;
    agentAddress = AddressOf(entry);
    ZEVS_UpdatePlovenAgentInfoToDCH(entry, 0);
  }
  MarkAgentFound(agentAddress);
  return 0;
}

int32_t ZEVS_RAF_NCS_Subnode_Request(rpc__handle_t handle, const char* managedSystemName, int16_t listLength,
                                     const RAF_SubnodeList_t* list, const char* affinity, const char* /*reserved*/,
                                     const char* versionText) {
  const char* name = managedSystemName != nullptr ? managedSystemName : "";
  ZEVS_TRC(ZEVS_DEBUG_Ploven, TRC_DETAIL, ">>>>>RAF Subnode registration received from %s\n", name);
  const AgentHost host(handle, name);
  const std::vector<std::string> subnodes = SubnodeNames(listLength, list);
  OwnedText validAffinity(ZEVS_CheckValidAffinity(affinity));
  const char* productVersion = versionText != nullptr && versionText[0] != '\0' ? versionText : " ";
  const std::optional<zevs::AgentDiscoveryScope> scope = zevs::CurrentAgentScope();
  if (!scope) return 0;
  const size_t taken = std::min(subnodes.size(), kMaxSubnodesPerCall);
  if (taken < subnodes.size())
    TRC(TRC_ERROR, "*****Subnode registration from %s names %zu subnodes: only the first %zu taken", name,
        subnodes.size(), taken);
  const Registration registration{host, validAffinity.get(), productVersion, zevs::AgentClockNow()};
  // One entry and its row a hold, so the list's other users wait for one row at most.
  for (size_t i = 0; i < taken; ++i) {
    zevs::AgentListHold hold(scope->agents);
    if (scope->agents.shutdown->load() != 0) return 0;
    ZEVS_UpdatePlovenAgentInfoToDCH(RegisterAgent(scope->agents, subnodes[i].c_str(), registration, true), 0);
  }
  return 0;
}
