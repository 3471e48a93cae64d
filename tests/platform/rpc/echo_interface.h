// A small interface of the tests, served through the RPC stand-in. Operation 0, Echo,
// carries one field of each kind a body holds and answers them back with the name of
// the caller; operation 1 has a stub but no routine; operation 2 neither. Its layout:
//   counted text (bound 32); (align 4) 32-bit number; (align 2) 16-bit maximum,
//   16-bit count (at most the maximum and 64), count bytes; 8 fixed characters.
// The reply is the same record, then the caller's name as a counted text (bound 255).
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "rpc_binding.h"
#include "rpc_body.h"
#include "rpc_server.h"

struct EchoRecord {
  std::string text;
  uint32_t number = 0;
  std::vector<uint8_t> bytes;
  std::string fixed;  // 8 characters
};

constexpr size_t kEchoTextBound = 32;
constexpr size_t kEchoBytesMaximum = 64;
constexpr uint32_t kEchoOperation = 0;
constexpr uint32_t kRoutinelessOperation = 1;
constexpr uint32_t kEmptySlotOperation = 2;

extern rpc__if_spec_t echo_v1_if_spec;

void WriteEchoRecord(rpc::BodyWriter& body, const EchoRecord& record);
// False when the reader faulted.
bool ReadEchoRecord(rpc::BodyReader& body, EchoRecord* record);

// Run by the Echo routine on the call thread before it answers (none by default).
void SetEchoHook(std::function<void()> hook);

// Registers the interface with its routine (echo and name) in slot 0; false on failure.
bool RegisterEchoInterface();

// The client stub: the echoed record and the caller's name as the server saw it;
// a failure is raised into the caller's frame and returned.
rpc__status_t CallEcho(rpc__handle_t binding, const EchoRecord& record, EchoRecord* echoed, std::string* callerName);
// Calls the operation with an empty body (for the routing faults).
rpc__status_t CallOperation(rpc__handle_t binding, uint32_t operation, const rpc__if_spec_t& ifspec);
