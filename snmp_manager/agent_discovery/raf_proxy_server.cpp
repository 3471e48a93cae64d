#include "raf_proxy_server.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "agent_registration.h"

namespace {

// A fixed field of size characters, terminated within size + 1 bytes of out.
void GetField(rpc::BodyReader& request, char* out, size_t size) {
  request.getChars(out, size);
  out[size] = '\0';
}

// Whether the request read whole and a routine is there to take it; otherwise the
// reader carries the fault the call is answered with.
bool ReadyToCall(rpc::BodyReader& request, rpc__routine_t routine) {
  if (request.fault() != rpc__s_ok) return false;
  if (routine == nullptr) request.fail(rpc__s_no_routine);
  return routine != nullptr;
}

void RegisterStub(rpc__handle_t caller, rpc::BodyReader& request, rpc::BodyWriter& reply, rpc__routine_t routine) {
  char name[RAF_REGISTER_NAME_MAX + 1];
  char affinity[RAF_REGISTER_AFFINITY_MAX + 1];
  request.getCountedString(name, RAF_REGISTER_NAME_MAX);
  request.getCountedString(affinity, RAF_REGISTER_AFFINITY_MAX);
  request.align(4);
  const auto number = static_cast<int32_t>(request.getU32());
  const auto version = static_cast<int32_t>(request.getU32());
  const auto trailingNumber = static_cast<int32_t>(request.getU32());
  if (!ReadyToCall(request, routine)) return;
  reply.putU32(static_cast<uint32_t>(
      reinterpret_cast<RAF_RegisterRoutine>(routine)(caller, name, affinity, number, version, trailingNumber)));
}

void StoppedStub(rpc__handle_t caller, rpc::BodyReader& request, rpc::BodyWriter& reply, rpc__routine_t routine) {
  RAF_RequestId_t stopped;
  stopped.word[0] = static_cast<int32_t>(request.getU32());
  stopped.word[1] = static_cast<int32_t>(request.getU32());
  const auto number = static_cast<int32_t>(request.getU32());
  if (!ReadyToCall(request, routine)) return;
  reply.putU32(static_cast<uint32_t>(reinterpret_cast<RAF_StoppedRoutine>(routine)(caller, &stopped, number)));
}

void SampleStub(rpc__handle_t caller, rpc::BodyReader& request, rpc::BodyWriter& reply, rpc__routine_t routine) {
  RAF_SampleRecord_t transmitted{};
  request.align(4);
  for (int32_t& word : transmitted.word) word = static_cast<int32_t>(request.getU32());
  if (transmitted.word[0] < 0 || transmitted.word[0] > RAF_SAMPLE_DATA_MAX) request.fail(rpc__s_array_bound);
  if (request.fault() == rpc__s_ok) request.getBytes(transmitted.data, static_cast<size_t>(transmitted.word[0]));
  if (!ReadyToCall(request, routine)) return;
  RAF_NCS_Sample_Data_t sample;
  RAF_NCS_Sample_Data_t_from_xmit_rep(&transmitted, &sample);
  reply.putU32(static_cast<uint32_t>(reinterpret_cast<RAF_SampleRoutine>(routine)(caller, &sample)));
}

void SubnodeStub(rpc__handle_t caller, rpc::BodyReader& request, rpc::BodyWriter& reply, rpc__routine_t routine) {
  char name[RAF_SUBNODE_NAME_SIZE + 1];
  GetField(request, name, RAF_SUBNODE_NAME_SIZE);
  request.align(2);
  const auto listLength = static_cast<int16_t>(request.getU16());
  const uint16_t count = request.getCount(request.getU16());
  std::vector<char> names(count);
  request.getChars(names.data(), count);
  char affinity[RAF_SUBNODE_AFFINITY_SIZE + 1];
  char reserved[RAF_SUBNODE_RESERVED_SIZE + 1];
  char version[RAF_SUBNODE_VERSION_SIZE + 1];
  char trailer[RAF_SUBNODE_TRAILER_SIZE + 1];
  GetField(request, affinity, RAF_SUBNODE_AFFINITY_SIZE);
  GetField(request, reserved, RAF_SUBNODE_RESERVED_SIZE);
  GetField(request, version, RAF_SUBNODE_VERSION_SIZE);
  GetField(request, trailer, RAF_SUBNODE_TRAILER_SIZE);
  if (!ReadyToCall(request, routine)) return;
  const RAF_SubnodeList_t list{count, names.data()};
  reply.putU32(static_cast<uint32_t>(reinterpret_cast<RAF_SubnodeRoutine>(routine)(
      caller, name, listLength, &list, affinity, reserved, version)));
}

void NodeLookupStub(rpc__handle_t caller, rpc::BodyReader& request, rpc::BodyWriter& reply, rpc__routine_t routine) {
  auto word = static_cast<int32_t>(request.getU32());
  char firstText[RAF_LOOKUP_TEXT_MAX + 1];
  char secondText[RAF_LOOKUP_TEXT_MAX + 1];
  char field[RAF_LOOKUP_FIELD_SIZE + 1];
  request.getCountedString(firstText, RAF_LOOKUP_TEXT_MAX);
  request.getCountedString(secondText, RAF_LOOKUP_TEXT_MAX);
  GetField(request, field, RAF_LOOKUP_FIELD_SIZE);
  request.align(4);
  const auto number = static_cast<int32_t>(request.getU32());
  const uint16_t capacity = request.getU16();
  if (!ReadyToCall(request, routine)) return;
  std::vector<unsigned char> output(capacity);
  uint16_t outputCount = 0;
  const int32_t status = reinterpret_cast<RAF_NodeLookupRoutine>(routine)(
      caller, &word, firstText, secondText, field, number, capacity, output.data(), &outputCount);
  firstText[RAF_LOOKUP_TEXT_MAX] = '\0';
  secondText[RAF_LOOKUP_TEXT_MAX] = '\0';
  outputCount = std::min(outputCount, capacity);
  reply.putU32(static_cast<uint32_t>(word));
  reply.putCountedString(firstText, RAF_LOOKUP_TEXT_MAX);
  reply.putCountedString(secondText, RAF_LOOKUP_TEXT_MAX);
  reply.align(2);
  reply.putU16(capacity);
  reply.putU16(outputCount);
  reply.putBytes(output.data(), outputCount);
  reply.align(4);
  reply.putU32(static_cast<uint32_t>(status));
}

}  // namespace

void RAF_NCS_Sample_Data_t_from_xmit_rep(const RAF_SampleRecord_t* transmitted, RAF_NCS_Sample_Data_t* sample) {
  *sample = RAF_NCS_Sample_Data_t{};
  sample->word[0] = transmitted->word[1];
  sample->word[1] = transmitted->word[2];
  sample->word[2] = transmitted->word[3];
  sample->dataCount = std::clamp(transmitted->word[0], 0, RAF_SAMPLE_DATA_MAX);
  std::memcpy(sample->data, transmitted->data, static_cast<size_t>(sample->dataCount));
}

const rpc__server_stub_t RAF_Proxy_v131_server_epv[RAF_Proxy_operation_count] = {
    RegisterStub, StoppedStub, SampleStub, SubnodeStub, NodeLookupStub};

const rpc__routine_t ZEVS_RAF_Proxy_manager_epv[RAF_Proxy_operation_count] = {
    reinterpret_cast<rpc__routine_t>(ZEVS_RAF_NCS_Register), nullptr, nullptr,
    reinterpret_cast<rpc__routine_t>(ZEVS_RAF_NCS_Subnode_Request), nullptr};
