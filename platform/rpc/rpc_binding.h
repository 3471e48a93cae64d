// RPC runtime stand-in: socket addresses, binding handles and the names of callers.
//
// Only the Internet family (2) over UDP is served. Host names go through the utility
// library's name service, so tests answer look-ups themselves.
#pragma once

#include <netinet/in.h>

#include <cstdint>

#include "rpc_drep.h"
#include "rpc_status.h"

struct uuid__t {
  uint8_t bytes[16];
};
// The object identifier that binds to whatever object the server holds.
extern const uuid__t uuid__nil;

constexpr int socket__family_internet = 2;

// Room for any address the runtime hands out; callers pass its size as the length.
union socket__addr_t {
  sockaddr_in in;
  unsigned char storage[104];
};

// A binding: the address a call goes to (client side) or comes from (server side),
// and the data representation of the bodies sent through it.
struct rpc__binding;
using rpc__handle_t = rpc__binding*;

// The socket address of a host (a name or a dotted address, nameLength characters)
// and port; *addressLength is the room on entry and the length used on return.
void socket__from_name(int family, const char* name, int nameLength, unsigned port, socket__addr_t* address,
                       int* addressLength, rpc__status_t* status);
// Puts the port (1 to 65535) into the address.
void socket__set_port(socket__addr_t* address, int addressLength, long port, rpc__status_t* status);

// A new client binding to the address (its port set), sending in the machine's own
// data representation; null with a status when the address cannot be used.
rpc__handle_t rpc__bind(const uuid__t* object, const socket__addr_t* address, int addressLength,
                        rpc__status_t* status);
// Frees a binding that rpc__bind made.
void rpc__free_handle(rpc__handle_t handle, rpc__status_t* status);
// The data representation in which the binding's calls send their bodies.
void rpc__set_binding_drep(rpc__handle_t handle, rpc__drep_t drep, rpc__status_t* status);

// The socket address of the binding: the server's for a client binding, the caller's
// for the binding a server routine is given.
void rpc__inq_binding(rpc__handle_t handle, socket__addr_t* address, int* addressLength, rpc__status_t* status);
// "ip:" and the host name of the address (its dotted form when it has no name), in
// name with room for *nameLength bytes; on return *nameLength is the text's length and
// *port the address's port.
void rpc__sockaddr_to_name(const socket__addr_t* address, int addressLength, char* name, int* nameLength,
                           unsigned* port, rpc__status_t* status);
