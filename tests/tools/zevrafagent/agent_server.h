// The test agent's side of RAF_Agent: the server stubs of its two operations and the
// routines behind them, which print what came and queue the call-backs it asks for.
#pragma once

#include <cstdint>
#include <string>

#include "raf_interfaces.h"
#include "rpc_server.h"

// The server entry vector of RAF_Agent.
extern const rpc__server_stub_t RAF_Agent_server_epv[2];

// What a StartAgent call carries, as the stub read it.
struct StartAgentCall {
  int32_t argument;
  RAF_RequestId_t request;
  RAF_Product_t product;
  char target[RAF_TARGET_MAX + 1];
  RAF_Origin_t origin;
  int16_t instructionLength;
  std::string instruction;
  RAF_Thresholds_t thresholds;
};

// The manager routines' signatures (as their stubs cast them).
using StartAgentRoutine = void (*)(rpc__handle_t caller, const StartAgentCall& call, RAF_RequestId_t* request,
                                   int32_t* status);
using StopAgentRoutine = void (*)(rpc__handle_t caller, const RAF_RequestId_t& request, int32_t* status);
