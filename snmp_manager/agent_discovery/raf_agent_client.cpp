#include "raf_agent_client.h"

#include <cstring>

#include "rpc_client.h"
#include "rpc_frame.h"

namespace {

// Raises the call's failure and makes it the status too.
void Fail(rpc__status_t code, int32_t* status) {
  if (status != nullptr) *status = static_cast<int32_t>(code);
  exc__raise(code);
}

}  // namespace

namespace zevs {

void WriteStartAgentRequest(rpc::BodyWriter& body, int32_t argument, const RAF_RequestId_t& request,
                            const RAF_Product_t& product, const char* target, const RAF_Origin_t& origin,
                            int16_t instructionLength, const char* instruction, const RAF_Thresholds_t& thresholds) {
  body.putU32(static_cast<uint32_t>(argument));
  body.putU32(static_cast<uint32_t>(request.word[0]));
  body.putU32(static_cast<uint32_t>(request.word[1]));
  body.putBytes(&product, sizeof product);
  body.putCountedString(target, RAF_TARGET_MAX);
  body.align(4);
  body.putU32(static_cast<uint32_t>(origin.word[0]));
  body.putU32(static_cast<uint32_t>(origin.word[1]));
  body.putCountedString(origin.text, RAF_ORIGIN_TEXT_MAX);

  // The instruction goes with its terminator: instructionLength + 1 characters, all of
  // which the text must hold.
  if (instructionLength < 0 || instruction == nullptr ||
      strnlen(instruction, static_cast<size_t>(instructionLength)) < static_cast<size_t>(instructionLength))
    return body.fail(rpc__s_array_bound);
  uint16_t instructionCount = static_cast<uint16_t>(instructionLength + 1);
  body.align(2);
  body.putU16(static_cast<uint16_t>(instructionLength));
  body.putU16(instructionCount);
  body.putU16(instructionCount);
  body.putChars(instruction, static_cast<size_t>(instructionLength));
  body.putU8(0);

  int dataCount = thresholds.count + 1;
  if (dataCount < 0 || dataCount > RAF_THRESHOLD_DATA_SIZE) return body.fail(rpc__s_array_bound);
  body.align(2);
  body.putU16(static_cast<uint16_t>(dataCount));
  for (int16_t field : thresholds.field) body.putU16(static_cast<uint16_t>(field));
  body.putU16(static_cast<uint16_t>(thresholds.count));
  body.putU16(static_cast<uint16_t>(dataCount));
  body.putBytes(thresholds.data, static_cast<size_t>(dataCount));
}

}  // namespace zevs

void RAF_NCS_StartAgent(rpc__handle_t binding, int32_t argument, RAF_RequestId_t* request,
                        const RAF_Product_t* product, const char* target, const RAF_Origin_t* origin,
                        int16_t instructionLength, const char* instruction, const RAF_Thresholds_t* thresholds,
                        int32_t* status) {
  if (request == nullptr || product == nullptr || origin == nullptr || thresholds == nullptr)
    return Fail(rpc__s_invalid_argument, status);
  rpc::BodyWriter body(rpc::BindingDrep(binding));
  zevs::WriteStartAgentRequest(body, argument, *request, *product, target, *origin, instructionLength, instruction,
                               *thresholds);
  rpc::Reply reply;
  rpc__status_t fault =
      rpc::Call(binding, RAF_Agent_v131_if_spec, RAF_NCS_StartAgent_opnum, false, body, &reply);
  if (fault != rpc__s_ok) return Fail(fault, status);
  rpc::BodyReader answer(reply.body.data(), reply.body.size(), reply.drep);
  RAF_RequestId_t returned;
  returned.word[0] = static_cast<int32_t>(answer.getU32());
  returned.word[1] = static_cast<int32_t>(answer.getU32());
  int32_t agentStatus = static_cast<int32_t>(answer.getU32());
  if (answer.fault() != rpc__s_ok) return Fail(answer.fault(), status);
  *request = returned;
  if (status != nullptr) *status = agentStatus;
}

void RAF_NCS_StopAgent(rpc__handle_t binding, const RAF_RequestId_t* request, int32_t* status) {
  if (request == nullptr) return Fail(rpc__s_invalid_argument, status);
  rpc::BodyWriter body(rpc::BindingDrep(binding));
  body.putU32(static_cast<uint32_t>(request->word[0]));
  body.putU32(static_cast<uint32_t>(request->word[1]));
  rpc::Reply reply;
  rpc__status_t fault = rpc::Call(binding, RAF_Agent_v131_if_spec, RAF_NCS_StopAgent_opnum, true, body, &reply);
  if (fault != rpc__s_ok) return Fail(fault, status);
  rpc::BodyReader answer(reply.body.data(), reply.body.size(), reply.drep);
  int32_t agentStatus = static_cast<int32_t>(answer.getU32());
  if (answer.fault() != rpc__s_ok) return Fail(answer.fault(), status);
  if (status != nullptr) *status = agentStatus;
}
