#include <cstdio>

#include "dp_anchor.h"
#include "dp_shutdown.h"
#include "metafile_parser.h"
#include "model_report.h"
#include "validation_messages.h"
#include "zevp/metafile_validation.h"

namespace {

int validate(const char* metafileName) {
  if (metafileName == nullptr || *metafileName == '\0') {
    ZEVP_DisplayValidationMessage(ZEVPV22E, nullptr);
    return -1;
  }
  DPAB* anchor = ZEVP_StartupInitialization();
  if (anchor == nullptr) {
    ZEVP_DisplayValidationMessage(ZEVPV21E, nullptr);
    return -1;
  }
  ApplicationEntry* application = ZEVP_ConstructApplDataModel(anchor, metafileName, 1, nullptr, nullptr, 0, 0);
  if (application != nullptr) {
    ZEVP_DisplayValidationMessage(ZEVPV00I, nullptr);
    ZEVP_ReportDataModel(application);
  } else {
    ZEVP_DisplayValidationMessage(ZEVPV88E, nullptr);
  }
  ZEVP_ShutdownCleanUp(anchor, 1);
  ZEVP_ReleaseGlobalResources(anchor);
  return application != nullptr ? 0 : -1;
}

}  // namespace

int ZEVP_ValidateMetaFile(const char* metafileName) {
  int result = validate(metafileName);
  std::fflush(stdout);
  return result;
}
