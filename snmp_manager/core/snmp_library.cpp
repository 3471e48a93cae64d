#include "debug_switches.h"
#include "zevs/snmp_data_provider.h"

TRC_UNIT();

int32_t ZEVS_LoadWinSNMPlibrary() {
  ZEVS_TRC(ZEVS_DEBUG_Trap, TRC_FLOW, "ZEVS_LoadWinSNMPlibrary entry");
  ZEVS_TRC(ZEVS_DEBUG_Trap, TRC_FLOW, "ZEVS_LoadWinSNMPlibrary exit");
  return 0;
}
