// The register request of a metafile for a program that is not a data provider:
// the channel library's register verb calls it (dch/dp_register_buffer.h).
#include "dch/dp_register_buffer.h"

#include "dp_anchor.h"
#include "dp_shutdown.h"
#include "metafile_parser.h"
#include "registration_body.h"
#include "trc1.h"
#include "zev0/typed_field.h"

TRC_UNIT();

int ZEVP_ConstructDPregisterBuffer(const char* metafileName, char** body) {
  if (metafileName == nullptr || body == nullptr) return 0;
  DPAB* anchor = ZEVP_StartupInitialization();
  if (anchor == nullptr) {
    TRC(TRC_ERROR, "***** no data-provider environment for the register request of %s", metafileName);
    return 0;
  }
  // In validation mode: the model is built and checked, and nothing is registered from here.
  ApplicationEntry* application = ZEVP_ConstructApplDataModel(anchor, metafileName, 1, nullptr, nullptr, 0, 1);
  char* request = application != nullptr ? ZEVP_ConstructRegistrationBuffer(application) : nullptr;
  int length = 0;
  if (request != nullptr) {
    *body = request;
    length = static_cast<int>(ZEV0_MessageTotalLength(request));
  }
  ZEVP_ShutdownCleanUp(anchor, 1);
  ZEVP_ReleaseGlobalResources(anchor);
  return length;
}
