// RPC runtime stand-in: one call of a client stub.
//
// The request goes as one datagram and one reply or fault datagram answers it. The
// call waits for it at most the call wait, ZEV_RPC_CALL_WAIT_MS milliseconds (default
// 10000); an idempotent call is sent again each quarter of the wait, any other is sent
// once. Datagrams that are not the answer (another sender or call, not well formed)
// are dropped with a trace.
#pragma once

#include <cstdint>
#include <vector>

#include "rpc_binding.h"
#include "rpc_body.h"
#include "rpc_server.h"
#include "rpc_status.h"

namespace rpc {

struct Reply {
  rpc__drep_t drep = rpc__drep_big_endian_ascii;
  std::vector<uint8_t> body;
};

// rpc__s_ok with the reply, or the fault: the request writer's, a fault the server
// answered with, rpc__s_comm_failure when nothing answered within the call wait.
rpc__status_t Call(rpc__handle_t binding, const rpc__if_spec_t& ifspec, uint32_t operation, bool idempotent,
                   const BodyWriter& request, Reply* reply);

// The binding's data representation, for the stub's request writer.
rpc__drep_t BindingDrep(rpc__handle_t binding);

}  // namespace rpc
