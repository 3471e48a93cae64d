// Client stubs of RAF_Proxy, with which the test agent calls back the SNMP manager.
// Failures raise into the caller's fault frame, as the system's own stubs do.
#pragma once

#include <cstdint>

#include "raf_interfaces.h"
#include "rpc_binding.h"

void RAF_NCS_Register(rpc__handle_t binding, const char* managedSystemName, const char* affinity, int32_t number,
                      int32_t version, int32_t trailingNumber, int32_t* status);
void RAF_NCS_Stopped(rpc__handle_t binding, const RAF_RequestId_t* request, int32_t number, int32_t* status);

void RAF_NCS_Sample(rpc__handle_t binding, const RAF_SampleRecord_t* sample, int32_t* status);

void RAF_NCS_Subnode_Request(rpc__handle_t binding, const char name[RAF_SUBNODE_NAME_SIZE], int16_t listLength,
                             const char* list, const char affinity[RAF_SUBNODE_AFFINITY_SIZE],
                             const char reserved[RAF_SUBNODE_RESERVED_SIZE],
                             const char version[RAF_SUBNODE_VERSION_SIZE],
                             const char trailer[RAF_SUBNODE_TRAILER_SIZE], int32_t* status);

// texts: room for RAF_LOOKUP_TEXT_MAX + 1 each, in and out; output: room for capacity
// bytes, *outputCount the bytes the reply brought.
void RAF_NCS_NodeLookup(rpc__handle_t binding, int32_t* word, char* firstText, char* secondText,
                        const char field[RAF_LOOKUP_FIELD_SIZE], int32_t number, int16_t capacity,
                        unsigned char* output, int16_t* outputCount, int32_t* status);
