// Stand-ins for the routines of SNMP parts that are not built yet: each does the
// least that the manager task relies on. A part that is built replaces its
// stand-in in the routine table (manager_routines.cpp) and deletes it here.
#pragma once

#include "manager_routines.h"

namespace zevs::standin {

// Finds no listen port: the discovery manager goes on without a listener.
void* ListenPlovenAgentReply(void* listenPort);

}  // namespace zevs::standin
