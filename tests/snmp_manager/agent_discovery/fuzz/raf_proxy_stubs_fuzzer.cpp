// The five RAF_Proxy server stubs over a request body, with the SNMP manager's
// registration routines live on a network configuration block of the harness (no
// anchor: no row leaves) and names resolved only by a name service of the harness.
//
// Input: a control byte (bits 0-2 the operation, modulo 5; bit 3 a caller the runtime
// can name, else none; bit 4 a routine of the harness in the slots the manager leaves
// empty), the body's data representation, then the body.
#include <stdlib.h>

#include <cstddef>
#include <cstdint>

#include "fixed_name_service.h"
#include "network_configuration_block.h"
#include "ploven_agent_list.h"
#include "agent_discovery_scope.h"
#include "product_affinity.h"
#include "raf_proxy_server.h"
#include "trc1.h"

namespace {

int32_t Stopped(rpc__handle_t, const RAF_RequestId_t*, int32_t) { return 1; }
int32_t Sample(rpc__handle_t, const RAF_NCS_Sample_Data_t*) { return 1; }
int32_t NodeLookup(rpc__handle_t, int32_t* word, char* firstText, char*, const char*, int32_t, uint16_t capacity,
                   unsigned char* output, uint16_t* outputCount) {
  ++*word;
  firstText[0] = 'x';
  *outputCount = capacity;
  for (uint16_t i = 0; i < capacity; ++i) output[i] = static_cast<unsigned char>(i);
  return 1;
}

const rpc__routine_t kHarnessRoutines[RAF_Proxy_operation_count] = {
    nullptr, reinterpret_cast<rpc__routine_t>(Stopped), reinterpret_cast<rpc__routine_t>(Sample), nullptr,
    reinterpret_cast<rpc__routine_t>(NodeLookup)};

rpc__handle_t NamedCaller() {
  socket__addr_t address;
  int length = sizeof address;
  rpc__status_t status;
  socket__from_name(socket__family_internet, "10.77.0.5", 9, 0, &address, &length, &status);
  socket__set_port(&address, length, 38213, &status);
  return rpc__bind(&uuid__nil, &address, length, &status);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const bool ready = (TRC1_Configure("*=0"), setenv("ZEV_WORK_PATH", "/tmp", 0), true);
  static FixedNameService names(std::map<std::string, std::string>{{"10.77.0.5", "agenthost"}, {"10.77.0.9", "host"}});
  static NetworkConfigurationBlock* block = (ZEVS_InitializePlovenFeatureArray(), ZEVS_InitializeNCB());
  static const rpc__handle_t caller = NamedCaller();
  (void)ready;
  if (size < 2 || block == nullptr) return 0;
  const unsigned operation = (data[0] & 0x07) % RAF_Proxy_operation_count;
  rpc__routine_t routine = ZEVS_RAF_Proxy_manager_epv[operation];
  if (routine == nullptr && (data[0] & 0x10) != 0) routine = kHarnessRoutines[operation];
  rpc::BodyReader request(data + 2, size - 2, static_cast<rpc__drep_t>(data[1] & 0x11));
  rpc::BodyWriter reply(request.drep());
  RAF_Proxy_v131_server_epv[operation]((data[0] & 0x08) != 0 ? caller : nullptr, request, reply, routine);
  zevs::ReleaseAgents(zevs::AgentScopeOf(block).agents);
  return 0;
}
