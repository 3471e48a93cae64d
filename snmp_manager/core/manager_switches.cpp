#include "manager_switches.h"

#include <cctype>

#include "debug_switches.h"
#include "trc1.h"
#include "zev0/env.h"
#include "zev0/prodspec.h"

TRC_UNIT();

std::atomic<int32_t> ZEVS_DEBUG_VERBOSE{0};
std::atomic<int32_t> ZEVS_DEBUG_Enterprise{0};
std::atomic<int32_t> ZEVS_DEBUG_Network{0};
std::atomic<int32_t> ZEVS_DEBUG_Route{0};
std::atomic<int32_t> ZEVS_DEBUG_Ploven{0};
std::atomic<int32_t> ZEVS_DEBUG_Trap{0};
std::atomic<int32_t> PlovenAgentDiscoveryEnabled{0};

namespace zevs {

char FirstLetter(const char* variable, const char* defaultValue) {
  const char* value = ZEV0_GetEnv(variable, defaultValue);
  return value != nullptr ? static_cast<char>(std::toupper(static_cast<unsigned char>(value[0]))) : '\0';
}

}  // namespace zevs

namespace {

struct DebugSwitch {
  const char* variable;
  std::atomic<int32_t>* flag;
  const char* line;  // traced when the switch is on; null for none
};

void ReadDebugSwitch(const DebugSwitch& debug) {
  *debug.flag = zevs::FirstLetter(debug.variable, "N") == 'Y' ? 1 : 0;
  // Written whatever the unit's classes, as every trace of the area now is.
  if (*debug.flag != 0 && debug.line != nullptr) ZEVS_TRC(*debug.flag, TRC_DETAIL, "%s", debug.line);
}

}  // namespace

namespace zevs {

ManagerSwitches ReadManagerSwitches() {
  ManagerSwitches switches;
  if (FirstLetter("ZEVP_SNMP_NET_DISCOVERY", "Y") == 'N') switches.networkDiscovery = 0;
  if (FirstLetter("ZEVP_SNMP_MONITOR_TRAP", "Y") == 'N') switches.trapMonitoring = 0;
  ReadDebugSwitch({"ZEVP_SNMP_DEBUG_VERBOSE", &ZEVS_DEBUG_VERBOSE, nullptr});

  const bool agentItemOn = ZEV0_ProductSpecItemOn(ZEV2_ENABLE_PLOVENAGENT_DISCOVERY) != 0;
  PlovenAgentDiscoveryEnabled = 0;
  if (agentItemOn && FirstLetter("ZEVP_SNMP_NET_DISCOVER_PLOVENAGENT", "N") != 'N') {
    switches.agentDiscovery = 1;
    PlovenAgentDiscoveryEnabled = 1;
  }
  ReadDebugSwitch({"ZEVP_SNMP_DEBUG_DISCOVERY_ENTERPRISE", &ZEVS_DEBUG_Enterprise,
                   "----------Debug Discovery Enterprise in effect----------"});
  ReadDebugSwitch({"ZEVP_SNMP_DEBUG_DISCOVERY_NETWORK", &ZEVS_DEBUG_Network,
                   "----------Debug Discovery Network in effect----------"});
  ReadDebugSwitch({"ZEVP_SNMP_DEBUG_DISCOVERY_ROUTE", &ZEVS_DEBUG_Route,
                   "----------Debug Discovery Route in effect----------"});
  ZEVS_DEBUG_Ploven = 0;
  if (agentItemOn)
    ReadDebugSwitch({"ZEVP_SNMP_DEBUG_DISCOVERY_PLOVENAGENT", &ZEVS_DEBUG_Ploven,
                     "----------Debug Discovery Ploven agents in effect----------"});
  ReadDebugSwitch({"ZEVP_SNMP_DEBUG_TRAP", &ZEVS_DEBUG_Trap, "----------Debug SNMP Monitor Trap in effect----------"});
  return switches;
}

void ApplyProductGates(ManagerSwitches* switches) {
  if (!ZEV0_ProductSpecItemOn(ZEV2_ENABLE_SNMP_TRAP)) switches->trapMonitoring = 0;
  if (!ZEV0_ProductSpecItemOn(ZEV2_ENABLE_PLOVENAGENT_DISCOVERY)) switches->agentDiscovery = 0;
  if (!ZEV0_ProductSpecItemOn(ZEV2_ENABLE_SNMP_DISCOVERY)) switches->networkDiscovery = 0;
}

}  // namespace zevs
