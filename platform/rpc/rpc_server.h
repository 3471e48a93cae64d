// RPC runtime stand-in: serving interfaces.
//
// A process opens its well-known sockets (rpc__use_family_wk), registers the
// interfaces it serves (rpc__register_mgr) and serves calls on one thread with
// rpc__listen, which hands each call to one of its call threads. A call of an
// interface is routed by identifier and version to the server stub of its operation,
// which reads the request, calls the manager routine of that slot and writes the
// reply; calls that cannot be routed are answered with a fault.
#pragma once

#include <cstdint>

#include "rpc_binding.h"
#include "rpc_body.h"
#include "rpc_status.h"

constexpr int rpc__family_slots = 32;

// What a server and its callers agree on for one interface.
struct rpc__if_spec_t {
  uint32_t version;
  uint16_t port[rpc__family_slots];  // the well-known port of each address family
  uint32_t opcnt;                    // operations 0 .. opcnt - 1
  uuid__t id;
};

// A manager routine, cast by its server stub to the operation's own signature.
using rpc__routine_t = void (*)();
// Reads the request, calls the routine and writes the reply. A fault of the request
// reader (or the reply writer) is answered in place of the reply.
using rpc__server_stub_t = void (*)(rpc__handle_t caller, rpc::BodyReader& request, rpc::BodyWriter& reply,
                                    rpc__routine_t routine);

// Opens a socket of the family (2 only) on the port of the interface's entry for that
// family, on every address of the host (or on ZEV_RPC_SERVER_ADDRESS when set); the
// socket's address on return. A port that is taken gives rpc__s_port_in_use.
void rpc__use_family_wk(int family, rpc__if_spec_t* ifspec, socket__addr_t* address, int* addressLength,
                        rpc__status_t* status);
// Routes the interface's calls to the stubs of the server entry vector and the
// routines of the manager entry vector (both opcnt long, kept by the caller); a second
// registration of the same interface replaces the first.
void rpc__register_mgr(const uuid__t* type, rpc__if_spec_t* ifspec, const rpc__server_stub_t* serverEpv,
                       const rpc__routine_t* managerEpv, rpc__status_t* status);
// Ends the routing of the interface: once it returns, no routine of it runs or starts
// (a routine that unregisters its own interface waits only for the others).
void rpc__unregister(rpc__if_spec_t* ifspec, rpc__status_t* status);
// Serves calls on the well-known sockets, up to maxCalls at once (one when below 1),
// until rpc__shutdown.
void rpc__listen(int maxCalls, rpc__status_t* status);
// Ends the serving: rpc__listen returns once the calls in progress are answered. The
// well-known sockets are closed and the registrations dropped, also when nothing listens.
void rpc__shutdown(rpc__status_t* status);
