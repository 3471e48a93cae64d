#include "discovery_seams.h"

#include "icmp_probing.h"
#include "mib_row_step.h"
#include "one_variable_get.h"
#include "share_caller.h"

namespace zevs {

namespace {

DiscoverySeams DefaultSeams() {
  DiscoverySeams seams{};
  seams.checkActiveNode = ZEVS_CheckActiveNode;
  seams.getMIB2systemDesc = ZEVS_GetMIB2systemDesc;
  seams.retrieveOneMIBvariable = ZEVP_RetrieveOneMIBvariable;
  seams.retrieveCurrentVarInstance = ZEVP_SNMPretrieveCurrentVarInstance;
  return seams;
}

DiscoverySeams seams = DefaultSeams();

}  // namespace

DiscoverySeams& Seams() { return seams; }

}  // namespace zevs
