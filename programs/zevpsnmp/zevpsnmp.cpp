// zevpsnmp: the SNMP data provider as a program of its own. Arguments are ignored;
// the exit status is 0 whatever happened.
#include <cstdint>

#include "data_provider_launcher.h"
#include "zev/dp_types.h"
#include "zevs/snmp_data_provider.h"

int DP_SNMP_Main(int, char**) {
  static int32_t startMode = ZEV_DP_SNMP;
  return RunDataProviderLauncher(ZEVS_StartSNMPDataProvider, &startMode, "SNMP");
}

int main(int argc, char** argv) { return DP_SNMP_Main(argc, argv); }
