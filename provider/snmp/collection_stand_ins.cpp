// Stand-ins for the MIB status rows, the MIB interest file, the no-data status and
// the network expansion until they are built: each does nothing.
#include "mib_interest_file.h"
#include "mib_status_rows.h"
#include "network_node_expansion.h"
#include "no_data_status.h"

void ZEVP_UpdateMIBstatusToDCH(DPAB*, SNMPWorkerTaskExtension*) {}
void ZEVP_DeleteMIBstatusFromDCH(DPAB*, SNMPWorkerTaskExtension*) {}
void ZEVP_UpdateMIBinterestExt(DPAB*) {}
void ZEVP_EnqueueNoDataStatus(const char*, const char*, const char*, int) {}
int ZEVP_ConstructNetworkNodeList(DPAB*, char** out, const char*) {
  *out = nullptr;
  return 0;
}
namespace zevp {
void ForEachSNMPworkerExtension(DPAB*, const std::function<void(SNMPWorkerTaskExtension*)>&) {}
}  // namespace zevp
