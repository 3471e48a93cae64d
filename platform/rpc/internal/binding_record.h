// The binding behind an rpc__handle_t.
#pragma once

#include <netinet/in.h>

#include "rpc_drep.h"

struct rpc__binding {
  sockaddr_in address;  // the server's (client side) or the caller's (server side)
  rpc__drep_t drep;     // of the bodies sent through the binding
  // Made by the runtime for one served call and gone with it; callers do not free it.
  bool servedCall;
};
