// The data providers' requests on their sources: online (0x1015), data (0x1030),
// offline (0x1025), and unregistering an application (0x1020).
#include "dch_server.h"

int DCHserver::dp_online(char* /*message*/, const char* /*clientName*/, long* handle) {
  *handle = 0;
  return notYetHandled("dp_online");
}

int DCHserver::dp_data(char* /*message*/) { return notYetHandled("dp_data"); }

int DCHserver::dp_offline(char* /*message*/) { return notYetHandled("dp_offline"); }

int DCHserver::dp_unregister(char* /*message*/) { return notYetHandled("dp_unregister"); }
