#include "zevs/snmp_data_provider.h"

#include <cstdint>

#include "trc1.h"

TRC_UNIT();

void* ZEVS_StartSNMPDataProvider(void* typeAddress) {
  int32_t type = typeAddress != nullptr ? *static_cast<const int32_t*>(typeAddress) : -1;
  TRC(TRC_ERROR, "Error: the SNMP data provider (type %d) is not available in this build", type);
  return nullptr;
}
