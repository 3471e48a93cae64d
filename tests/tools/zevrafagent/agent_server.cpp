#include "agent_server.h"

#include <cstring>

namespace {

void StartAgentStub(rpc__handle_t caller, rpc::BodyReader& request, rpc::BodyWriter& reply,
                    rpc__routine_t routine) {
  StartAgentCall call{};
  call.argument = static_cast<int32_t>(request.getU32());
  call.request.word[0] = static_cast<int32_t>(request.getU32());
  call.request.word[1] = static_cast<int32_t>(request.getU32());
  request.getBytes(&call.product, sizeof call.product);
  request.getCountedString(call.target, RAF_TARGET_MAX);
  request.align(4);
  call.origin.word[0] = static_cast<int32_t>(request.getU32());
  call.origin.word[1] = static_cast<int32_t>(request.getU32());
  request.getCountedString(call.origin.text, RAF_ORIGIN_TEXT_MAX);

  request.align(2);
  call.instructionLength = static_cast<int16_t>(request.getU16());
  uint16_t maximum = request.getU16();
  uint16_t count = request.getCount(maximum);
  std::string instruction(count, '\0');
  request.getChars(instruction.data(), count);
  // The text up to its terminator.
  call.instruction = instruction.c_str();

  request.align(2);
  maximum = request.getU16();
  for (int16_t& field : call.thresholds.field) field = static_cast<int16_t>(request.getU16());
  call.thresholds.count = static_cast<int16_t>(request.getU16());
  count = request.getCount(maximum);
  if (count > RAF_THRESHOLD_DATA_SIZE) request.fail(rpc__s_array_bound);
  request.getBytes(call.thresholds.data, count > RAF_THRESHOLD_DATA_SIZE ? 0 : count);
  if (request.fault() != rpc__s_ok) return;

  RAF_RequestId_t answered = call.request;
  int32_t status = 0;
  reinterpret_cast<StartAgentRoutine>(routine)(caller, call, &answered, &status);
  reply.putU32(static_cast<uint32_t>(answered.word[0]));
  reply.putU32(static_cast<uint32_t>(answered.word[1]));
  reply.putU32(static_cast<uint32_t>(status));
}

void StopAgentStub(rpc__handle_t caller, rpc::BodyReader& request, rpc::BodyWriter& reply, rpc__routine_t routine) {
  RAF_RequestId_t id;
  id.word[0] = static_cast<int32_t>(request.getU32());
  id.word[1] = static_cast<int32_t>(request.getU32());
  if (request.fault() != rpc__s_ok) return;
  int32_t status = 0;
  reinterpret_cast<StopAgentRoutine>(routine)(caller, id, &status);
  reply.putU32(static_cast<uint32_t>(status));
}

}  // namespace

const rpc__server_stub_t RAF_Agent_server_epv[2] = {StartAgentStub, StopAgentStub};
