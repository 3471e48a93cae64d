// What the SNMP manager task starts, from the environment and the product
// file, and the debug switches it sets on the way.
#pragma once

#include <atomic>
#include <cstdint>

struct ManagerSwitches {
  int networkDiscovery = 1;
  int trapMonitoring = 1;
  int agentDiscovery = 0;
};

// 1 when agent discovery was asked for (ZEVP_SNMP_NET_DISCOVER_PLOVENAGENT), else 0.
extern std::atomic<int32_t> PlovenAgentDiscoveryEnabled;

namespace zevs {

// The first letter of the environment variable's value (or of the default),
// upper-cased; how every switch of the SNMP manager is judged.
char FirstLetter(const char* variable, const char* defaultValue);

// Reads the environment's switches (judged by their first letter, in either case)
// and sets or clears the debug switches, tracing each one that is on.
ManagerSwitches ReadManagerSwitches();

// Items 10 ENABLE_SNMP_TRAP, 13 ENABLE_PLOVENAGENT_DISCOVERY and 11
// ENABLE_SNMP_DISCOVERY switch trap monitoring, agent discovery and network
// discovery off unless they are on.
void ApplyProductGates(ManagerSwitches* switches);

}  // namespace zevs
