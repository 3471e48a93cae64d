#include "zev0/hostnames.h"

#include <arpa/inet.h>

#include <cstring>
#include <mutex>

#include "bsv1.h"
#include "resolver.h"
#include "trc1.h"
#include "zev0/storage.h"

TRC_UNIT();

namespace {

constexpr int32_t kResolvedNameSize = 256;

// A dotted address that converts: shape alone lets 10.1.2.300 through.
bool parseDottedAddress(const char* text, in_addr* address) {
  return ZEV0_IsThisAddressString(text) == 3 && inet_pton(AF_INET, text, address) == 1;
}

// The latest answers for the senders of a burst; the oldest goes first.
constexpr size_t kRecentNames = 8;

struct RecentName {
  uint32_t address = 0;
  bool shortName = false;
  bool found = false;
  std::string name;
  int64_t until = 0;  // 0: unused
  uint64_t installation = 0;
};

struct RecentNames {
  std::mutex lock;  // not held over a look-up
  RecentName slots[kRecentNames];
  size_t next = 0;
};

RecentNames& recentNames() {
  static auto* names = new RecentNames;  // never destroyed: detached threads may ask while the process ends
  return *names;
}

int64_t nowSeconds() {
  BSV1_Time now;
  BSV1_GetTime(&now);
  return now.seconds;
}

bool hasIpv4Address(const hostent* entry) {
  return entry->h_addrtype == AF_INET && entry->h_length == static_cast<int>(sizeof(in_addr)) &&
         entry->h_addr_list != nullptr && entry->h_addr_list[0] != nullptr;
}

}  // namespace

int ZEV0_ConvertNameToAddr(const char* nameOrAddress, uint16_t port, sockaddr_in* address) {
  if (address == nullptr) return 0;
  std::memset(address, 0, sizeof *address);
  address->sin_family = AF_INET;
  address->sin_port = htons(port);
  if (nameOrAddress == nullptr) return 0;

  in_addr dotted;
  if (parseDottedAddress(nameOrAddress, &dotted)) {
    address->sin_addr = dotted;
    return 1;
  }
  hostent* entry = ZEV0_GetHostByName(nameOrAddress);
  int converted = entry != nullptr && hasIpv4Address(entry);
  if (converted)
    std::memcpy(&address->sin_addr, entry->h_addr_list[0], sizeof address->sin_addr);
  else
    TRC(TRC_ERROR, "cannot convert name <%s> to address", nameOrAddress);
  ZEV0_FreeStorage(&entry);
  return converted;
}

int ZEV0_ConvertAddrToName(const sockaddr_in* address, char** name, int shortName) {
  if (address == nullptr || name == nullptr) return 0;
  hostent* entry = ZEV0_GetHostByAddr(&address->sin_addr);
  if (entry == nullptr) return 0;
  char* copy = nullptr;
  if (entry->h_name != nullptr) {
    size_t length = shortName != 0 ? std::strcspn(entry->h_name, ".") : std::strlen(entry->h_name);
    copy = static_cast<char*>(ZEV0_GetStorage(static_cast<int32_t>(length + 1)));
    if (copy != nullptr) {
      std::memcpy(copy, entry->h_name, length);
      copy[length] = '\0';
      *name = copy;
    }
  }
  ZEV0_FreeStorage(&entry);
  return copy != nullptr ? 1 : 0;
}

char* ZEV0_ResolveAddressToName(const char* dottedAddress) {
  if (dottedAddress == nullptr) return nullptr;
  in_addr address;
  if (inet_pton(AF_INET, dottedAddress, &address) != 1) {
    TRC(TRC_ERROR, "***** <%s> is not a dotted address", dottedAddress);
    return nullptr;
  }
  hostent* entry = ZEV0_GetHostByAddr(&address);
  if (entry == nullptr) return nullptr;
  char* name = nullptr;
  if (entry->h_name != nullptr) {
    name = static_cast<char*>(ZEV0_GetStorage(kResolvedNameSize));
    if (name != nullptr) {
      std::memset(name, 0, kResolvedNameSize);
      std::strncpy(name, entry->h_name, kResolvedNameSize - 1);
    }
  }
  ZEV0_FreeStorage(&entry);
  return name;
}

namespace zev0 {

bool RecentNameOfAddress(const sockaddr_in& address, bool shortName, std::string* name) {
  RecentNames& recent = recentNames();
  const uint32_t key = address.sin_addr.s_addr;
  const int64_t now = nowSeconds();
  const uint64_t installation = ResolverInstallations();
  {
    std::lock_guard<std::mutex> hold(recent.lock);
    for (const RecentName& slot : recent.slots) {
      if (slot.until == 0 || slot.address != key || slot.shortName != shortName) continue;
      if (now >= slot.until || now < slot.until - kRecentNameSeconds || slot.installation != installation) continue;
      if (slot.found) *name = slot.name;
      return slot.found;
    }
  }
  char* resolved = nullptr;
  bool found = ZEV0_ConvertAddrToName(&address, &resolved, shortName ? 1 : 0) != 0 && resolved != nullptr;
  if (found) *name = resolved;
  ZEV0_FreeStorage(&resolved);
  std::lock_guard<std::mutex> hold(recent.lock);
  RecentName& slot = recent.slots[recent.next];
  recent.next = (recent.next + 1) % kRecentNames;
  slot.address = key;
  slot.shortName = shortName;
  slot.found = found;
  slot.name = found ? *name : std::string();
  slot.until = now + kRecentNameSeconds;
  slot.installation = installation;
  return found;
}

}  // namespace zev0
