// The server's side of one call: the registered interfaces and the answer to a
// request.
#pragma once

#include <netinet/in.h>

#include <cstddef>
#include <cstdint>
#include <vector>

#include "datagram.h"

namespace rpc {

// The datagram that answers the request (its header and body as parsed) from the
// caller: the reply, or a fault when the call cannot be routed or its stub faults;
// none (empty) for a copy of a call that is being served.
std::vector<uint8_t> AnswerRequest(const PacketHeader& request, const uint8_t* body, size_t bodyLength,
                                   const sockaddr_in& caller);

// Drops every registration (the server is taken down).
void DropRegistrations();

}  // namespace rpc
