// The router thread's status scan: whether the known routers still answer.
#pragma once

struct NetworkConfigurationBlock;

namespace zevs {

// The socket and buffer of the scan's SNMP gets, for the router thread's life.
struct RouterScanChannel {
  RouterScanChannel();
  ~RouterScanChannel();
  RouterScanChannel(const RouterScanChannel&) = delete;
  RouterScanChannel& operator=(const RouterScanChannel&) = delete;

  int socket = -1;
  char* buffer = nullptr;
};

// Every router not in Verify whose own network is known and not excluded is
// pinged, and asked for sysServices.0 when it does not answer: an answer (an
// INTEGER) makes it On-line, none Off-line; no own network, or an excluded one,
// makes it Off-line. A changed status sends its row. No lock is held across the
// probes.
void ScanRouterStatus(NetworkConfigurationBlock* block, RouterScanChannel& channel);

}  // namespace zevs
