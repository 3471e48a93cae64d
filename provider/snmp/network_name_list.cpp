#include "network_name_list.h"

#include <arpa/inet.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <mutex>

#include "dp_anchor.h"
#include "key_value_file.h"
#include "metafile_text.h"
#include "trc1.h"
#include "zev/prodspec_items.h"
#include "zev0/storage.h"
#include "zevs/network_records.h"

TRC_UNIT();

namespace {

struct NetworkNameEntry {
  NetworkNameEntry* next;
  char* addressText;  // padded to four parts
  char* symbolicName;
  uint32_t networkAddress;  // network order
};

// The list pNN and its lock: a load builds a new list aside and puts it in place
// under the lock.
std::mutex networkNameListLock;
NetworkNameEntry* pNN = nullptr;

void FreeList(NetworkNameEntry* entry) {
  while (entry != nullptr) {
    NetworkNameEntry* next = entry->next;
    ZEV0_FreeStorage(&entry->addressText);
    ZEV0_FreeStorage(&entry->symbolicName);
    ZEV0_FreeStorage(&entry);
    entry = next;
  }
}

NetworkNameEntry* NewEntry(const std::string& padded, uint32_t address, const std::string& name) {
  auto* entry = static_cast<NetworkNameEntry*>(ZEV0_GetStorage(sizeof(NetworkNameEntry)));
  if (entry == nullptr) return nullptr;
  *entry = {nullptr, zevp::NewStorageText(padded), zevp::NewStorageText(name), address};
  if (entry->addressText == nullptr || entry->symbolicName == nullptr) {
    FreeList(entry);
    return nullptr;
  }
  return entry;
}

}  // namespace

namespace zevp {

bool PadNetworkKey(const std::string& key, std::string* padded, uint32_t* address) {
  if (key.empty() || !std::isdigit(static_cast<unsigned char>(key[0]))) return false;
  const auto dots = std::count(key.begin(), key.end(), '.');
  if (dots > 3) return false;
  if (dots == 0 && key.find_first_not_of('0') == std::string::npos) return false;
  *padded = key;
  for (auto part = dots; part < 3; ++part) *padded += ".0";
  in_addr converted{};
  if (padded->size() > kNetworkNameKeyMax || inet_aton(padded->c_str(), &converted) == 0) return false;
  *address = converted.s_addr;
  return true;
}

}  // namespace zevp

int ZEVP_LoadSNMPNetworkName() {
  const char* path = zevp::KeyValueFileName(ZEV2_SNMPNAME_FILENAME);
  if (path == nullptr) {
    TRC(TRC_ERROR, "Network symbolic file name not defined");
    return 0;
  }
  FILE* file = std::fopen(path, "re");
  if (file == nullptr) {
    TRC(TRC_ERROR, "Network symbolic name file %s does not exit", path);
    std::lock_guard<std::mutex> hold(networkNameListLock);
    return pNN != nullptr ? 1 : 0;
  }
  NetworkNameEntry* loaded = nullptr;
  NetworkNameEntry** tail = &loaded;
  int records = 0;
  zevp::ForEachKeyValueLine(file, "Network symbolic name file", [&](const std::string& key, const std::string& name) {
    std::string padded;
    uint32_t address = 0;
    if (!zevp::PadNetworkKey(key, &padded, &address)) {
      TRC(TRC_ERROR, "***** input is not an ip address, ignored");
      return;
    }
    if (NetworkNameEntry* entry = NewEntry(padded, address, name)) {
      *tail = entry;
      tail = &entry->next;
      ++records;
    }
  });
  std::fclose(file);
  const bool loadedAny = zevp::ReplaceList(networkNameListLock, pNN, loaded, FreeList);
  TRC(TRC_DETAIL, "%d network symbolic name records processed", records);
  return loadedAny ? 1 : 0;
}

void ZEVP_FreeSNMPNetworkNameList() {
  zevp::ReplaceList<NetworkNameEntry>(networkNameListLock, pNN, nullptr, FreeList);
}

char* ZEVP_LocateSNMPnetworkSymbolicName(uint32_t networkAddress) {
  std::lock_guard<std::mutex> hold(networkNameListLock);
  for (NetworkNameEntry* entry = pNN; entry != nullptr; entry = entry->next)
    if (entry->networkAddress == networkAddress) return zevp::NewStorageText(entry->symbolicName);
  return nullptr;
}

char* ZEVP_LocateNetworkBySymbolicName(const char* symbolicName) {
  if (symbolicName == nullptr) return nullptr;
  std::lock_guard<std::mutex> hold(networkNameListLock);
  for (NetworkNameEntry* entry = pNN; entry != nullptr; entry = entry->next)
    if (std::string(entry->symbolicName) == symbolicName) return zevp::NewStorageText(entry->addressText);
  return nullptr;
}

void ZEVP_UpdateMonitorNetworkSymbolicName(DPAB* anchor) {
  NetworkConfigurationBlock* block = anchor != nullptr ? anchor->networkConfiguration.load() : nullptr;
  if (block == nullptr) return;
  BSV1_GetLock(&block->networkListLock);
  for (NetworkEntry* network = block->networks; network != nullptr; network = network->next) {
    char* name = ZEVP_LocateSNMPnetworkSymbolicName(network->networkAddress);
    BSV1_GetLock(&network->lock);
    ZEV0_FreeStorage(&network->symbolicName);
    network->symbolicName = name;
    BSV1_ReleaseLock(&network->lock);
  }
  BSV1_ReleaseLock(&block->networkListLock);
}
