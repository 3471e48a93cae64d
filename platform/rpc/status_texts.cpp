#include <cstdio>

#include "rpc_status.h"

namespace {

const char* KnownText(rpc__status_t status) {
  switch (status) {
    case rpc__s_ok: return "status ok";
    case rpc__s_comm_failure: return "communications failure: no reply within the call wait";
    case rpc__s_unknown_if: return "unknown interface or interface version";
    case rpc__s_op_rng_error: return "operation number out of range";
    case rpc__s_no_routine: return "no routine registered for the operation";
    case rpc__s_string_bound: return "string longer than its bound";
    case rpc__s_array_bound: return "array count outside its bounds";
    case rpc__s_bad_body: return "call body not well formed";
    case rpc__s_name_not_found: return "host name not found";
    case rpc__s_invalid_port: return "port number out of range";
    case rpc__s_port_in_use: return "well-known port already in use";
    case rpc__s_invalid_family: return "address family not supported";
    case rpc__s_invalid_argument: return "invalid argument";
    case rpc__s_socket_failure: return "socket operation failed";
    case rpc__s_too_big: return "call too big for a datagram";
    case rpc__s_already_listening: return "already listening";
    case rpc__s_not_registered: return "interface not registered";
    default: return nullptr;
  }
}

}  // namespace

void error__c_text(rpc__status_t status, char* text, int length) {
  if (text == nullptr || length < 1) return;
  const char* known = KnownText(status);
  if (known != nullptr)
    std::snprintf(text, static_cast<size_t>(length), "%s", known);
  else
    std::snprintf(text, static_cast<size_t>(length), "status %08x", status);
}
