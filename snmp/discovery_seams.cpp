#include "discovery_seams.h"

#include "manager_stand_ins.h"
#include "mib_row_step.h"
#include "one_variable_get.h"

namespace zevs {

namespace {

DiscoverySeams DefaultSeams() {
  DiscoverySeams seams{};
  seams.checkActiveNode = standin::CheckActiveNode;
  seams.getMIB2systemDesc = standin::GetMIB2systemDesc;
  seams.retrieveOneMIBvariable = ZEVP_RetrieveOneMIBvariable;
  seams.retrieveCurrentVarInstance = ZEVP_SNMPretrieveCurrentVarInstance;
  return seams;
}

DiscoverySeams seams = DefaultSeams();

}  // namespace

DiscoverySeams& Seams() { return seams; }

}  // namespace zevs
