#include "resolver.h"

#include <unistd.h>

#include <atomic>
#include <cerrno>

namespace {

// The system's name service through its re-entrant calls, so every answer lands
// in the caller's buffer and never in storage the next look-up reuses.
class SystemResolver : public zev0::Resolver {
 public:
  int hostByName(const char* name, hostent* entry, char* buffer, size_t size, int* hostError) override {
    hostent* found = nullptr;
    int rc = gethostbyname_r(name, entry, buffer, size, &found, hostError);
    return outcome(rc, found);
  }

  int hostByAddress(const in_addr& address, hostent* entry, char* buffer, size_t size, int* hostError) override {
    hostent* found = nullptr;
    int rc = gethostbyaddr_r(&address, sizeof address, AF_INET, entry, buffer, size, &found, hostError);
    return outcome(rc, found);
  }

  int systemHostName(char* name, size_t size) override {
    if (size == 0) return EINVAL;
    if (gethostname(name, size) != 0) return errno;
    name[size - 1] = '\0';  // a cut name need not be terminated
    return 0;
  }

 private:
  // The calls answer 0 without an entry when the host is unknown.
  static int outcome(int rc, const hostent* found) {
    if (rc != 0) return rc;
    return found != nullptr ? 0 : ENOENT;
  }
};

// Never destroyed: a detached thread may still look a name up while the process ends.
SystemResolver& systemResolver() {
  static auto* resolver = new SystemResolver;
  return *resolver;
}

std::atomic<zev0::Resolver*> installedResolver{nullptr};
std::atomic<uint64_t> installations{0};

}  // namespace

namespace zev0 {

Resolver& CurrentResolver() {
  Resolver* installed = installedResolver.load();
  return installed != nullptr ? *installed : systemResolver();
}

Resolver* SetResolver(Resolver* resolver) {
  Resolver* previous = installedResolver.exchange(resolver);
  ++installations;
  return previous;
}

uint64_t ResolverInstallations() { return installations.load(); }

}  // namespace zev0
