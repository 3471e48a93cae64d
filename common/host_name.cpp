#include "zev0/hostnames.h"

#include <arpa/inet.h>
#include <pthread.h>

#include <cstring>

#include "resolver.h"
#include "trc1.h"
#include "zev0/env.h"
#include "zev0/storage.h"
#include "zev0/text.h"

TRC_UNIT();

namespace {

constexpr size_t kNameArea = 256;  // host and domain names: at most 255 characters
constexpr int32_t kAddrStringSize = 80;

char OwnHostName[kNameArea];

// A host-name variable, or null when it is unset, empty or too long to be a name.
const char* hostNameVariable(const char* variable) {
  const char* value = ZEV0_GetEnv(variable, nullptr);
  if (value == nullptr || value[0] == '\0') return nullptr;
  if (std::strlen(value) >= kNameArea) {
    TRC(TRC_ERROR, "***** %s value exceeds %d characters, ignored", variable, static_cast<int>(kNameArea - 1));
    return nullptr;
  }
  return value;
}

// The configured name, or null when the system host name is to be used.
const char* configuredHostName() {
  const char* dchName = hostNameVariable("ZEV_DCH_HOSTNAME");
  const char* dpName = hostNameVariable("ZEV_DP_HOSTNAME");
  if (const char* name = hostNameVariable("QFEB0_HOSTNAME")) return name;
  if (dchName != nullptr && dpName == nullptr) return dchName;
  if (dpName != nullptr && dchName == nullptr) return dpName;
  if (dchName != nullptr && std::strcmp(dchName, dpName) == 0) return dchName;
  return nullptr;  // neither set, or the two disagree
}

void appendDomain(char* name, const char* domain) {
  if (domain == nullptr || domain[0] == '\0' || std::strchr(name, '.') != nullptr) return;
  size_t length = std::strlen(name);
  if (length + 1 + std::strlen(domain) >= kNameArea) {
    TRC(TRC_ERROR, "***** host name <%s> with domain <%s> exceeds %d characters, domain not appended", name, domain,
        static_cast<int>(kNameArea - 1));
    return;
  }
  name[length] = '.';
  std::strcpy(name + length + 1, domain);
}

const char* chooseOwnHostName() {
  const char* domain = ZEV0_GetLocalDomainName();
  if (const char* configured = configuredHostName()) {
    std::strcpy(OwnHostName, configured);
  } else if (int rc = zev0::CurrentResolver().systemHostName(OwnHostName, sizeof OwnHostName)) {
    TRC(TRC_ERROR, "***** gethostname failed, errno=%d", rc);
    OwnHostName[0] = '\0';
  }
  appendDomain(OwnHostName, domain);
  TRC(TRC_DETAIL, "Local host name in effect <%s>", OwnHostName);
  return OwnHostName;
}

// A kept copy of the domain, or null when it cannot be a domain name.
char* keptDomain(const char* domain) {
  if (std::strlen(domain) >= kNameArea) {
    TRC(TRC_ERROR, "***** domain name of %d characters exceeds %d, ignored", static_cast<int>(std::strlen(domain)),
        static_cast<int>(kNameArea - 1));
    return nullptr;
  }
  auto* kept = static_cast<char*>(ZEV0_GetStorage(kNameArea));
  if (kept == nullptr) return nullptr;
  std::memset(kept, 0, kNameArea);
  std::strcpy(kept, domain);
  return kept;
}

char* findLocalDomain() {
  if (const char* configured = ZEV0_GetEnv("ZEV_TCPIP_DOMAIN_NAME", nullptr)) return keptDomain(configured);
  char systemName[kNameArea];
  if (int rc = zev0::CurrentResolver().systemHostName(systemName, sizeof systemName)) {
    TRC(TRC_ERROR, "***** gethostname failed, errno=%d", rc);
    return nullptr;
  }
  hostent* entry = ZEV0_GetHostByName(systemName);
  if (entry == nullptr) {
    TRC(TRC_ERROR, "cannot resolve domain name");
    return nullptr;
  }
  // Only a name with two dots or more carries a domain after its first dot.
  const char* firstDot = entry->h_name != nullptr ? std::strchr(entry->h_name, '.') : nullptr;
  char* domain = firstDot != nullptr && std::strchr(firstDot + 1, '.') != nullptr ? keptDomain(firstDot + 1) : nullptr;
  ZEV0_FreeStorage(&entry);
  return domain;
}

// Equal after both were upper-cased, or equal short names when only one of the
// two carries a domain. Cuts the one that does.
bool sameHostName(char* upperA, char* upperB) {
  if (std::strcmp(upperA, upperB) == 0) return true;
  char* dotA = std::strchr(upperA, '.');
  char* dotB = std::strchr(upperB, '.');
  if ((dotA == nullptr) == (dotB == nullptr)) return false;
  *(dotA != nullptr ? dotA : dotB) = '\0';
  return std::strcmp(upperA, upperB) == 0;
}

}  // namespace

const char* ZEV0_LocalHostNameString() {
  static const char* const NameString = chooseOwnHostName();
  return NameString;
}

const char* ZEV0_LocalHostAddrString() {
  static pthread_mutex_t lock = PTHREAD_MUTEX_INITIALIZER;
  static char* AddrString = nullptr;
  pthread_mutex_lock(&lock);
  sockaddr_in address;
  if (AddrString == nullptr && ZEV0_ConvertNameToAddr(ZEV0_LocalHostNameString(), 0, &address)) {
    auto* text = static_cast<char*>(ZEV0_GetStorage(kAddrStringSize));
    if (text != nullptr && inet_ntop(AF_INET, &address.sin_addr, text, kAddrStringSize) != nullptr)
      AddrString = text;
    else
      ZEV0_FreeStorage(&text);
  }
  const char* result = AddrString;
  pthread_mutex_unlock(&lock);
  return result;
}

const char* ZEV0_GetLocalDomainName() {
  static pthread_mutex_t lock = PTHREAD_MUTEX_INITIALIZER;
  static char* DomainName = nullptr;
  pthread_mutex_lock(&lock);
  if (DomainName == nullptr) DomainName = findLocalDomain();
  const char* result = DomainName;
  pthread_mutex_unlock(&lock);
  return result;
}

int ZEV0_IsOwnHostName(const char* hostName) {
  if (hostName == nullptr) return 0;
  const char* own = ZEV0_LocalHostNameString();
  if (std::strcmp(hostName, own) == 0) return 1;
  // Copies: the texts themselves are not touched.
  char* given = ZEV0_ConvertStringToUpper(const_cast<char*>(hostName), 1);
  char* mine = ZEV0_ConvertStringToUpper(const_cast<char*>(own), 1);
  int same = given != nullptr && mine != nullptr && sameHostName(given, mine) ? 1 : 0;
  ZEV0_FreeStorage(&given);
  ZEV0_FreeStorage(&mine);
  return same;
}
