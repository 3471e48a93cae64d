// Host names and IPv4 addresses: the local host name in effect, the local domain,
// and look-ups between names, dotted addresses and socket address records.
//
// Blocks handed back come from ZEV0_GetStorage; the caller frees them with
// ZEV0_FreeStorage unless the function says it keeps them.
#pragma once

#include <netdb.h>
#include <netinet/in.h>

#include <cstddef>
#include <cstdint>
#include <string>

// The local host name in effect, chosen on the first call from QFEB0_HOSTNAME,
// ZEV_DCH_HOSTNAME, ZEV_DP_HOSTNAME or the system host name, with the local
// domain appended to a name without a dot. Kept for the process; never null.
const char* ZEV0_LocalHostNameString();

// The dotted address of the name in effect (kept, not to be freed), or null
// while the name does not resolve.
const char* ZEV0_LocalHostAddrString();

// The local domain (kept, not to be freed): ZEV_TCPIP_DOMAIN_NAME, else the text
// after the first dot of the system host's official name when that name has two
// dots or more. Null when there is none.
const char* ZEV0_GetLocalDomainName();

// A host entry block: the entry followed by the data area that holds its name,
// aliases and addresses. Null when the name or address does not resolve.
// Reverse look-ups of an address that failed once are not repeated.
hostent* ZEV0_GetHostByName(const char* hostName);
hostent* ZEV0_GetHostByAddr(const void* ipv4AddressNetworkOrder);

// Fills address (AF_INET, the port in network order) from a dotted address or a
// host name; 1 converted, 0 not (the address part stays 0).
int ZEV0_ConvertNameToAddr(const char* nameOrAddress, uint16_t port, sockaddr_in* address);

// 1 with the host name of the address in a new block stored through name (cut at
// its first dot when shortName is non-zero); 0, name untouched, when not found.
int ZEV0_ConvertAddrToName(const sockaddr_in* address, char** name, int shortName);

// The host name of a dotted address in a new 256-byte block, or null.
char* ZEV0_ResolveAddressToName(const char* dottedAddress);

// 1 when hostName names the local host in effect (ignoring case, and comparing
// short names when only one of the two carries a domain), else 0.
int ZEV0_IsOwnHostName(const char* hostName);

// 0 unless the text begins with a digit; then the number of dots (up to 3) each
// directly followed by a digit, or 0 when a dot is not. Only 3 is an address.
int ZEV0_IsThisAddressString(const char* text);

// 1 when the file name contains a "/" (it already carries a directory), else 0.
int ZEV0_IsThisFullyQualifiedName(const char* fileName);

// The layers of an SNMP sysServices value as a comma-separated list in a new
// 64-byte block ("Unspecified" for 0 or less).
char* ZEV0_DetermineNodeServiceType(int services);

namespace zev0 {

// The name service, behind a seam so that tests answer look-ups themselves.
class Resolver {
 public:
  virtual ~Resolver() = default;
  // A look-up fills entry and keeps its strings and addresses within buffer.
  // Returns 0 when found, ERANGE when buffer is too small, another non-zero
  // value when not found (hostError then carries the name service's reason).
  virtual int hostByName(const char* name, hostent* entry, char* buffer, size_t size, int* hostError) = 0;
  virtual int hostByAddress(const in_addr& address, hostent* entry, char* buffer, size_t size,
                            int* hostError) = 0;
  // The system host name, NUL-terminated within size bytes; 0 or an errno value.
  virtual int systemHostName(char* name, size_t size) = 0;
};

// Installs a resolver for the whole process; null restores the system's.
// Returns the resolver that was installed (null for the system's).
Resolver* SetResolver(Resolver* resolver);

// What ZEV0_ConvertAddrToName answers for the address (the name, cut at its first dot
// when shortName; false when it has none), remembered for kRecentNameSeconds by the
// basic services' clock and until another resolver is installed: for the roads that
// name the sender of every message they take, so that a burst from one sender asks
// the name service once rather than once a message.
constexpr int kRecentNameSeconds = 10;
bool RecentNameOfAddress(const sockaddr_in& address, bool shortName, std::string* name);

}  // namespace zev0
