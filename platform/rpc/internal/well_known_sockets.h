// What the framework's serving learns of the well-known sockets (internal to the
// runtime): it listens only once there is one to serve.
#pragma once

namespace rpc {

// Called after each well-known socket is opened, outside the server's lock; null: none.
void SetSocketOpenedHook(void (*hook)());
// Whether a well-known socket is open.
bool WellKnownSocketsOpen();

}  // namespace rpc
