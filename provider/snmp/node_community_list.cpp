#include "node_community_list.h"

#include <arpa/inet.h>

#include <cstdio>
#include <mutex>
#include <string>

#include "key_value_file.h"
#include "metafile_text.h"
#include "trc1.h"
#include "zev/prodspec_items.h"
#include "zev0/hostnames.h"
#include "zev0/storage.h"

TRC_UNIT();

namespace {

struct NodeCommunityNameEntry {
  NodeCommunityNameEntry* next;
  NodeCommunityNameEntry* previous;
  uint32_t nodeAddress;  // network order
  char* communityName;
};

// The list pNCN and its lock: a load builds a new list aside and puts it in place
// under the lock, so a look-up sees the old list or the new one whole.
std::mutex nodeCommunityNameListLock;
NodeCommunityNameEntry* pNCN = nullptr;

void FreeList(NodeCommunityNameEntry* entry) {
  while (entry != nullptr) {
    NodeCommunityNameEntry* next = entry->next;
    ZEV0_FreeStorage(&entry->communityName);
    ZEV0_FreeStorage(&entry);
    entry = next;
  }
}

// Puts the entry before the first one of a larger address (host order), so equal
// addresses stay in file order.
void InsertOrdered(NodeCommunityNameEntry** first, NodeCommunityNameEntry* entry) {
  const uint32_t key = ntohl(entry->nodeAddress);
  NodeCommunityNameEntry* previous = nullptr;
  NodeCommunityNameEntry* at = *first;
  while (at != nullptr && ntohl(at->nodeAddress) <= key) {
    previous = at;
    at = at->next;
  }
  entry->previous = previous;
  entry->next = at;
  if (at != nullptr) at->previous = entry;
  if (previous != nullptr)
    previous->next = entry;
  else
    *first = entry;
}

NodeCommunityNameEntry* NewEntry(uint32_t address, const std::string& community) {
  auto* entry = static_cast<NodeCommunityNameEntry*>(ZEV0_GetStorage(sizeof(NodeCommunityNameEntry)));
  if (entry == nullptr) return nullptr;
  *entry = {nullptr, nullptr, address, zevp::NewStorageText(community)};
  if (entry->communityName == nullptr) ZEV0_FreeStorage(&entry);
  return entry;
}

}  // namespace

int ZEVP_LoadSNMPcommunityName() {
  const char* path = zevp::KeyValueFileName(ZEV2_SNMPCOMM_FILENAME);
  if (path == nullptr) {
    TRC(TRC_ERROR, "Node community file name not defined. Load community name bypassed");
    return 0;
  }
  FILE* file = std::fopen(path, "re");
  if (file == nullptr) {
    TRC(TRC_ERROR, "Warning: Community file %s does not exist", path);
    std::lock_guard<std::mutex> hold(nodeCommunityNameListLock);
    return pNCN != nullptr ? 1 : 0;
  }
  NodeCommunityNameEntry* loaded = nullptr;
  int records = 0;
  zevp::ForEachKeyValueLine(file, "Community file", [&](const std::string& node, const std::string& community) {
    sockaddr_in address{};
    if (!ZEV0_ConvertNameToAddr(node.c_str(), 0, &address)) {
      TRC(TRC_ERROR, "Node %s cannot be resolved to address, ignored", node.c_str());
      return;
    }
    if (NodeCommunityNameEntry* entry = NewEntry(address.sin_addr.s_addr, community)) {
      InsertOrdered(&loaded, entry);
      ++records;
    }
  });
  std::fclose(file);
  const bool loadedAny = zevp::ReplaceList(nodeCommunityNameListLock, pNCN, loaded, FreeList);
  TRC(TRC_DETAIL, "%d community name records processed", records);
  return loadedAny ? 1 : 0;
}

void ZEVP_FreeSNMPcommunityNameList() {
  zevp::ReplaceList<NodeCommunityNameEntry>(nodeCommunityNameListLock, pNCN, nullptr, FreeList);
}

char* ZEVP_LocateSNMPnodeCommunityName(uint32_t nodeAddress) {
  const uint32_t key = ntohl(nodeAddress);
  std::lock_guard<std::mutex> hold(nodeCommunityNameListLock);
  for (NodeCommunityNameEntry* entry = pNCN; entry != nullptr; entry = entry->next) {
    const uint32_t at = ntohl(entry->nodeAddress);
    if (at > key) break;
    if (at == key) return zevp::NewStorageText(entry->communityName);
  }
  return nullptr;
}
