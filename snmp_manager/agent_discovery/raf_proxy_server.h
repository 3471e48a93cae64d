// The server stubs of RAF_Proxy: each reads its operation's request within the body
// (a text over its bound, a count over its maximum or a body cut short is the
// runtime's fault, and no routine runs), calls the manager routine of its slot with
// every text terminated within its field, and writes the reply. A stub called without
// a routine answers rpc__s_no_routine.
#pragma once

#include <cstdint>

#include "raf_interfaces.h"
#include "rpc_server.h"

constexpr int RAF_Proxy_operation_count = 5;

// The manager routines' forms (the routine of a slot is cast to its operation's).
using RAF_RegisterRoutine = int32_t (*)(rpc__handle_t handle, const char* managedSystemName, const char* affinity,
                                        int32_t number, int32_t version, int32_t trailingNumber);
using RAF_SubnodeRoutine = int32_t (*)(rpc__handle_t handle, const char* managedSystemName, int16_t listLength,
                                       const RAF_SubnodeList_t* list, const char* affinity, const char* reserved,
                                       const char* versionText);
using RAF_StoppedRoutine = int32_t (*)(rpc__handle_t handle, const RAF_RequestId_t* request, int32_t number);
// The sample in memory: words 2 to 4 of the transmitted form as words 1 to 3, then two
// zero words; the data bytes as they came.
struct RAF_NCS_Sample_Data_t {
  int32_t word[5];
  int32_t dataCount;
  unsigned char data[RAF_SAMPLE_DATA_MAX];
};
using RAF_SampleRoutine = int32_t (*)(rpc__handle_t handle, const RAF_NCS_Sample_Data_t* sample);
// texts: RAF_LOOKUP_TEXT_MAX + 1 bytes each, in and out; output: capacity bytes, its
// count in *outputCount (at most capacity).
using RAF_NodeLookupRoutine = int32_t (*)(rpc__handle_t handle, int32_t* word, char* firstText, char* secondText,
                                          const char* field, int32_t number, uint16_t capacity, unsigned char* output,
                                          uint16_t* outputCount);

// The in-memory form of a transmitted sample.
void RAF_NCS_Sample_Data_t_from_xmit_rep(const RAF_SampleRecord_t* transmitted, RAF_NCS_Sample_Data_t* sample);

// The five stubs in operation order.
extern const rpc__server_stub_t RAF_Proxy_v131_server_epv[RAF_Proxy_operation_count];
// What the SNMP manager serves: registration (slot 0) and subnodes (slot 3) only.
extern const rpc__routine_t ZEVS_RAF_Proxy_manager_epv[RAF_Proxy_operation_count];
