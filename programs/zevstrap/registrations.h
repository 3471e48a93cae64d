// The trap daemon's registrations: the data providers that asked for traps, in
// the order they asked, each by its socket's address. The same address may
// register more than once and then receives a copy of each trap per registration.
#pragma once

#include <netinet/in.h>

#include <cstddef>
#include <list>

namespace zevstrap {

// More data providers than a host runs: one more registration is refused.
constexpr size_t kMaxRegistrations = 64;

class Registrations {
 public:
  // False when the list is full.
  bool add(const sockaddr_in& address);
  // Removes the first registration of the address (family, port and address
  // equal); false when there is none.
  bool remove(const sockaddr_in& address);
  const std::list<sockaddr_in>& all() const { return list_; }
  void clear() { list_.clear(); }

 private:
  std::list<sockaddr_in> list_;
};

// The first registration whose family, port and IPv4 address equal the address's,
// or the end of the list.
std::list<sockaddr_in>::const_iterator LocateOriginDP(const std::list<sockaddr_in>& list, const sockaddr_in& address);

// True when the sender is on this host: a loopback address, the address the
// daemon is bound to or an address of one of the host's interfaces. Only such a
// sender may register or unregister, so that no one elsewhere can have traps sent
// to an address of their choosing.
bool IsLocalOrigin(const sockaddr_in& sender, const sockaddr_in& bound);

}  // namespace zevstrap
