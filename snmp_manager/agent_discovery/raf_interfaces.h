// The two RPC interfaces of agent discovery: RAF_Agent, which the maker's agents
// serve and discovery calls to ask for a registration, and RAF_Proxy, which the SNMP
// manager serves for the registrations that agents call back with. Both version 131.
#pragma once

#include <cstdint>
#include <string>

#include "rpc_server.h"

constexpr uint32_t RAF_INTERFACE_VERSION = 131;

// Operations of RAF_Agent.
constexpr uint32_t RAF_NCS_StartAgent_opnum = 0;
constexpr uint32_t RAF_NCS_StopAgent_opnum = 1;
// Operations of RAF_Proxy.
constexpr uint32_t RAF_NCS_Register_opnum = 0;
constexpr uint32_t RAF_NCS_Stopped_opnum = 1;
constexpr uint32_t RAF_NCS_Sample_opnum = 2;
constexpr uint32_t RAF_NCS_Subnode_Request_opnum = 3;
constexpr uint32_t RAF_NCS_NodeLookup_opnum = 4;

extern rpc__if_spec_t RAF_Agent_v131_if_spec;
extern rpc__if_spec_t RAF_Proxy_v131_if_spec;

// The records of RAF_NCS_StartAgent.
struct RAF_RequestId_t {
  int32_t word[2];
};
constexpr int RAF_PRODUCT_FIELD_SIZE = 12;
// Two NUL-filled fields, sent as they are held.
struct RAF_Product_t {
  char code[RAF_PRODUCT_FIELD_SIZE];
  char commandClass[RAF_PRODUCT_FIELD_SIZE];
};
constexpr int RAF_TARGET_MAX = 127;
constexpr int RAF_ORIGIN_TEXT_MAX = 33;
struct RAF_Origin_t {
  int32_t word[2];
  char text[RAF_ORIGIN_TEXT_MAX + 1];  // a text that fills the field has no terminator: over its bound
};
constexpr int RAF_THRESHOLD_DATA_SIZE = 16;
// Three fields and a count c, then c + 1 data bytes.
struct RAF_Thresholds_t {
  int16_t field[3];
  int16_t count;
  unsigned char data[RAF_THRESHOLD_DATA_SIZE];
};

// Bounds of the RAF_Proxy operations' texts and fields.
constexpr int RAF_REGISTER_NAME_MAX = 135;
constexpr int RAF_REGISTER_AFFINITY_MAX = 131;
constexpr int RAF_SUBNODE_NAME_SIZE = 33;
constexpr int RAF_SUBNODE_AFFINITY_SIZE = 45;
constexpr int RAF_SUBNODE_RESERVED_SIZE = 9;
constexpr int RAF_SUBNODE_VERSION_SIZE = 11;
constexpr int RAF_SUBNODE_TRAILER_SIZE = 2;
// The subnode list of RAF_NCS_Subnode_Request as it arrives: count characters, names
// separated by ',', not terminated.
struct RAF_SubnodeList_t {
  uint16_t count;
  const char* names;
};
constexpr int RAF_SAMPLE_DATA_MAX = 512;
// The sample of RAF_NCS_Sample as transmitted: four words, the first the count of data
// bytes.
struct RAF_SampleRecord_t {
  int32_t word[4];
  unsigned char data[RAF_SAMPLE_DATA_MAX];
};
constexpr int RAF_LOOKUP_TEXT_MAX = 127;
constexpr int RAF_LOOKUP_FIELD_SIZE = 45;

namespace zevs {

// The runtime's text for a status, for traces.
std::string RpcStatusText(rpc__status_t status);

}  // namespace zevs
