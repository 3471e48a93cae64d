// The manager routines of RAF_Proxy: an agent's registration and its subnodes'. Each
// creates or refreshes entries of the agent list and sends their PLOVEN-AGENTS rows;
// both answer status 0, whatever came.
//
// The agent-list lock is held from an entry's look-up until its row has gone, so the
// network thread's ageing cannot free an entry a registration works on, and for no
// more than one entry at a time; the order is the ageing's: agent-list lock, the
// rows' lock, the entry's lock. Nothing is registered once the shut-down flag is set.
//
// Any host that reaches the listener may call, so what calls can add is bounded: a
// subnode list's names past the first kMaxSubnodesPerCall, and a new agent while
// the list holds kMaxPlovenAgents, are refused with a trace.
#pragma once

#include <cstddef>
#include <cstdint>

#include "raf_interfaces.h"
#include "rpc_binding.h"

constexpr size_t kMaxSubnodesPerCall = 256;
constexpr size_t kMaxPlovenAgents = 4096;

// number is only traced; trailingNumber is not read. The texts are terminated.
int32_t ZEVS_RAF_NCS_Register(rpc__handle_t handle, const char* managedSystemName, const char* affinity,
                              int32_t number, int32_t version, int32_t trailingNumber);

// listLength characters of the list (clamped to 0 … its count) name the subnodes,
// of which the first kMaxSubnodesPerCall are taken. The texts are terminated;
// reserved is not read.
int32_t ZEVS_RAF_NCS_Subnode_Request(rpc__handle_t handle, const char* managedSystemName, int16_t listLength,
                                     const RAF_SubnodeList_t* list, const char* affinity, const char* reserved,
                                     const char* versionText);
