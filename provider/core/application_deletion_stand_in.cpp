#include "application_deletion_stand_in.h"

#include "model_release.h"

void ZEVP_DeleteExistingApplication(DPAB* anchor, ApplicationEntry* application) {
  ZEVP_ReleaseApplResources(anchor, application, 0);
}
