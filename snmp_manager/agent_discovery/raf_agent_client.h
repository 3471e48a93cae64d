// The client stubs of RAF_Agent.
//
// A call failure (a text or count over its bound, found before anything is sent; no
// answer within the call wait; a fault the agent answers with) is raised into the
// caller's fault frame (rpc_frame.h) and also stored as *status.
#pragma once

#include <cstdint>

#include "raf_interfaces.h"
#include "rpc_binding.h"
#include "rpc_body.h"

// Asks the agent to act on the instruction (instructionLength characters); *request
// is sent and comes back from the agent, *status is the agent's answer. Not idempotent.
void RAF_NCS_StartAgent(rpc__handle_t binding, int32_t argument, RAF_RequestId_t* request,
                        const RAF_Product_t* product, const char* target, const RAF_Origin_t* origin,
                        int16_t instructionLength, const char* instruction, const RAF_Thresholds_t* thresholds,
                        int32_t* status);
// Idempotent.
void RAF_NCS_StopAgent(rpc__handle_t binding, const RAF_RequestId_t* request, int32_t* status);

namespace zevs {

// The request body of RAF_NCS_StartAgent, or the writer's fault.
void WriteStartAgentRequest(rpc::BodyWriter& body, int32_t argument, const RAF_RequestId_t& request,
                            const RAF_Product_t& product, const char* target, const RAF_Origin_t& origin,
                            int16_t instructionLength, const char* instruction, const RAF_Thresholds_t& thresholds);

}  // namespace zevs
