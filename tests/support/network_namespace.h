// A test body run in a network namespace of its own: a child process with a fresh
// network stack, so that whatever it sends (SNMP, ICMP, broadcasts, sweeps of
// addresses) and every program it starts stays inside. The namespace goes with
// the child.
//
// Inside: the loopback interface is up; with addresses named, a veth pair whose
// end "zevnet0" carries each of them (live hosts, /24) while the rest of their /24
// is silent (the other end "zevnet1" has no address, so nothing answers there),
// and a default route via a silent address.
//
// The SNMP data provider (in process, zeva350 SNMP, zevpsnmp) is started only in
// such a namespace: its fixtures test InOwnNetworkNamespace and refuse otherwise.
#pragma once

#include <functional>
#include <string>
#include <vector>

struct NamespaceNetwork {
  // Live addresses ("10.77.0.1"), each with a /24 on zevnet0. None: only loopback.
  std::vector<std::string> liveHosts;
  // The default route goes via this address, which should be one of a live host's
  // /24 that nobody holds; empty: <first host's /24>.254.
  std::string silentGateway;
};

// Runs the body in a child in a new network namespace laid out as asked. The
// child's failed expectations are printed by the child and fail the test here; a
// namespace that cannot be made (or laid out) fails the test with the reason.
void RunInNetworkNamespace(const NamespaceNetwork& network, const std::function<void()>& body);
inline void RunInNetworkNamespace(const std::function<void()>& body) { RunInNetworkNamespace({}, body); }

// Runs the body in a child that takes the silent end "zevnet1" of the caller's
// namespace (one laid out with live hosts) into a network namespace of its own and
// gives it the address (/24): another host on the link, whose datagrams reach the
// live hosts from an address that is none of theirs. The end comes back, up and
// without an address, when the body returns. The body's result (0 to 124) is the
// result; -1, with a failure of the test, when the child could not be prepared.
int RunAsAnotherHost(const std::string& address, const std::function<int()>& body);

// True when the calling process runs in a network namespace other than the
// machine's (the one the test program started in); otherwise false, with the
// reason in *why.
bool InOwnNetworkNamespace(std::string* why = nullptr);

// Records a failure of the current test and returns false outside a namespace of
// its own; what names the thing that was refused.
bool RequireOwnNetworkNamespace(const std::string& what);

