#include "fuzz_model.h"

#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

#include <fstream>
#include <string>

#include "dp_anchor.h"
#include "dp_shutdown.h"
#include "metafile_parser.h"
#include "no_name_service.h"

namespace {

DPAB* anchor = nullptr;

void releaseModel() {
  ZEVP_ShutdownCleanUp(anchor, 1);
  ZEVP_ReleaseGlobalResources(anchor);
}

}  // namespace

DPAB* LoadFuzzModel(const char* const* lines, ApplicationEntry** application) {
  char pattern[] = "/tmp/zev_model_fuzz_XXXXXX";
  const char* directory = mkdtemp(pattern);
  if (directory == nullptr) std::abort();
  setenv("ZEVP_META_PATH", directory, 1);
  setenv("ZEV_PRODSPEC_PATH", ZEV_EXAMPLES_DIR "/", 1);
  setenv("ZEV_PRODSPEC_NAME", "ZEVPSF", 1);
  setenv("QFEB0_HOSTNAME", "dphost.example", 1);
  setenv("ZEV_TRACE", "*=0", 1);
  static NoNameService noNames;  // the harnesses ask no name service
  {
    std::ofstream file(std::string(directory) + "/fuzz.mdl");
    for (const char* const* line = lines; *line != nullptr; ++line) file << *line << "\n";
  }
  int devNull = open("/dev/null", O_WRONLY);
  dup2(devNull, STDOUT_FILENO);
  close(devNull);
  anchor = ZEVP_StartupInitialization();
  if (anchor == nullptr) std::abort();
  int opened = 0;
  int alreadyDefined = 0;
  *application = ZEVP_ConstructApplDataModel(anchor, "fuzz.mdl", 1, &opened, &alreadyDefined, 0, 1);
  if (*application == nullptr) std::abort();
  std::atexit(releaseModel);
  return anchor;
}
