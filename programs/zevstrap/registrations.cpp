#include "registrations.h"

#include <sys/socket.h>

#include "host_addresses.h"

namespace zevstrap {

namespace {

bool SameOrigin(const sockaddr_in& a, const sockaddr_in& b) {
  return a.sin_family == b.sin_family && a.sin_port == b.sin_port && a.sin_addr.s_addr == b.sin_addr.s_addr;
}

}  // namespace

bool Registrations::add(const sockaddr_in& address) {
  if (list_.size() >= kMaxRegistrations) return false;
  list_.push_back(address);
  return true;
}

bool Registrations::remove(const sockaddr_in& address) {
  auto found = LocateOriginDP(list_, address);
  if (found == list_.end()) return false;
  list_.erase(found);
  return true;
}

std::list<sockaddr_in>::const_iterator LocateOriginDP(const std::list<sockaddr_in>& list, const sockaddr_in& address) {
  for (auto each = list.begin(); each != list.end(); ++each)
    if (SameOrigin(*each, address)) return each;
  return list.end();
}

bool IsLocalOrigin(const sockaddr_in& sender, const sockaddr_in& bound) {
  if (sender.sin_family != AF_INET) return false;
  if (sender.sin_addr.s_addr == bound.sin_addr.s_addr) return true;
  return zevdaemon::IsAddressOfThisHost(sender.sin_addr);
}

}  // namespace zevstrap
