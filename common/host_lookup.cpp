#include "zev0/hostnames.h"

#include <arpa/inet.h>
#include <pthread.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "bsv1.h"
#include "resolver.h"
#include "trc1.h"
#include "zev0/env.h"
#include "zev0/storage.h"
#include "zev0/threads.h"

TRC_UNIT();

namespace {

constexpr int32_t kDefaultDataSize = 8192;
constexpr long kLargestDataSize = 1L << 20;

// The size of the data area behind every host entry, read once.
int32_t hostEntryDataSize() {
  static const int32_t BufferDataSize = [] {
    const char* text = ZEV0_GetEnv("ZEV_HOSTENT_DATA_SIZE", "8192");
    char* end = nullptr;
    errno = 0;
    long value = std::strtol(text, &end, 10);
    if (end == text || *end != '\0' || errno != 0 || value < 1 || value > kLargestDataSize) {
      TRC(TRC_ERROR, "***** ZEV_HOSTENT_DATA_SIZE <%s> is not a size from 1 to %ld, %d used", text,
          kLargestDataSize, static_cast<int>(kDefaultDataSize));
      return kDefaultDataSize;
    }
    return static_cast<int32_t>(value);
  }();
  return BufferDataSize;
}

char* dataArea(hostent* entry) { return reinterpret_cast<char*>(entry + 1); }

// A cleared block for an entry and its data area; the resolver writes into it.
hostent* newHostEntryBlock() {
  int32_t size = static_cast<int32_t>(sizeof(hostent)) + hostEntryDataSize();
  void* block = ZEV0_GetStorage(size);
  if (block == nullptr) {
    TRC(TRC_ERROR, "***** storage allocation for %d failed.", size);
    return nullptr;
  }
  std::memset(block, 0, static_cast<size_t>(size));
  return static_cast<hostent*>(block);
}

// Serialises the forward look-ups of the process.
pthread_mutex_t* ghbnLock() {
  static pthread_mutex_t lock;
  static const bool ghbnLockInit = [] {
    ZEV0_InitializeMutex(&lock);
    return true;
  }();
  (void)ghbnLockInit;
  return &lock;
}

// Addresses (host order, ascending) whose reverse look-up failed; never removed.
struct UnresolvedHost {
  UnresolvedHost* next;
  uint32_t address;
};

UnresolvedHost* UnresolvedHostList = nullptr;

BSV1_Lock* unresolvedHostListLock() {
  static BSV1_Lock lock;
  static const bool ListLockInitOnce = [] {
    BSV1_InitializeLock(&lock);
    return true;
  }();
  (void)ListLockInitOnce;
  return &lock;
}

bool isKnownUnresolvable(uint32_t address) {
  bool known = false;
  BSV1_GetLock(unresolvedHostListLock());
  for (UnresolvedHost* entry = UnresolvedHostList; entry != nullptr && entry->address <= address;
       entry = entry->next) {
    if (entry->address == address) {
      known = true;
      break;
    }
  }
  BSV1_ReleaseLock(unresolvedHostListLock());
  return known;
}

void rememberUnresolvable(uint32_t address) {
  auto* fresh = static_cast<UnresolvedHost*>(ZEV0_GetStorage(sizeof(UnresolvedHost)));
  if (fresh == nullptr) return;
  fresh->address = address;
  BSV1_GetLock(unresolvedHostListLock());
  UnresolvedHost** link = &UnresolvedHostList;
  while (*link != nullptr && (*link)->address < address) link = &(*link)->next;
  bool alreadyKnown = *link != nullptr && (*link)->address == address;  // another thread was first
  if (!alreadyKnown) {
    fresh->next = *link;
    *link = fresh;
  }
  BSV1_ReleaseLock(unresolvedHostListLock());
  if (alreadyKnown) ZEV0_FreeStorage(&fresh);
}

}  // namespace

hostent* ZEV0_GetHostByName(const char* hostName) {
  if (hostName == nullptr) return nullptr;
  pthread_mutex_t* lock = ghbnLock();
  int rc = pthread_mutex_lock(lock);
  if (rc != 0) {
    TRC(TRC_ERROR, "***** pthread_mutex_lock failed, rc=%d errno=%d ", rc, errno);
    return nullptr;
  }
  hostent* entry = newHostEntryBlock();
  if (entry != nullptr) {
    int hostError = 0;
    rc = zev0::CurrentResolver().hostByName(hostName, entry, dataArea(entry),
                                            static_cast<size_t>(hostEntryDataSize()), &hostError);
    if (rc != 0) {
      TRC(TRC_ERROR, "***** gethostbyname failed, host<%s> errno=%d h_errnop=%d", hostName, rc, hostError);
      ZEV0_FreeStorage(&entry);
    }
  }
  rc = pthread_mutex_unlock(lock);
  if (rc != 0) {
    TRC(TRC_ERROR, "***** pthread_mutex_unlock failed, rc=%d errno=%d ", rc, errno);
    ZEV0_FreeStorage(&entry);
  }
  return entry;
}

hostent* ZEV0_GetHostByAddr(const void* ipv4AddressNetworkOrder) {
  if (ipv4AddressNetworkOrder == nullptr) return nullptr;
  in_addr address;
  std::memcpy(&address, ipv4AddressNetworkOrder, sizeof address);
  uint32_t hostOrder = ntohl(address.s_addr);
  if (isKnownUnresolvable(hostOrder)) return nullptr;

  hostent* entry = newHostEntryBlock();
  if (entry == nullptr) return nullptr;
  int hostError = 0;
  int rc = zev0::CurrentResolver().hostByAddress(address, entry, dataArea(entry),
                                                 static_cast<size_t>(hostEntryDataSize()), &hostError);
  if (rc == 0) return entry;
  ZEV0_FreeStorage(&entry);

  char text[INET_ADDRSTRLEN];
  inet_ntop(AF_INET, &address, text, sizeof text);
  if (rc == ERANGE) {
    // Our area was too small: the address itself may well have a name.
    TRC(TRC_ERROR, "***** host entry data area of %d bytes too small for address %s",
        static_cast<int>(hostEntryDataSize()), text);
    return nullptr;
  }
  TRC(TRC_DETAIL, "address %s has no name, errno=%d h_errnop=%d", text, rc, hostError);
  rememberUnresolvable(hostOrder);
  return nullptr;
}
