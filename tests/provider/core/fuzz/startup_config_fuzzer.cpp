// libFuzzer harness of the start-up configuration file: each input is the file, read
// as a data provider's start reads it (its names loaded from an empty metafile
// directory) and then rewritten as the console's removal of a metafile rewrites
// it. None may crash, hang or leak.
#include <stdlib.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "dp_anchor.h"
#include "dp_shutdown.h"
#include "startup_config.h"
#include "stdout_silenced.h"

namespace {

DPAB* anchor = nullptr;
std::string scratch;

void RemoveScratch() { std::filesystem::remove_all(scratch); }

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  char pattern[] = "/tmp/zev_startup_config_fuzz_XXXXXX";
  const char* directory = mkdtemp(pattern);
  if (directory == nullptr) std::abort();
  scratch = directory;
  std::atexit(RemoveScratch);
  setenv("ZEVP_META_PATH", directory, 1);
  setenv("ZEVP_INIT_CONFIG_PATH", directory, 1);
  setenv("ZEV_WORK_PATH", directory, 1);
  setenv("ZEV_PRODSPEC_PATH", ZEV_EXAMPLES_DIR "/", 1);
  setenv("ZEV_PRODSPEC_NAME", "ZEVPSF", 1);
  setenv("ZEV_TRACE", "*=0", 1);
  static StdoutSilenced silenced;  // the loads' validation messages
  anchor = ZEVP_StartupInitialization();
  if (anchor == nullptr) std::abort();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::FILE* file = std::fopen(anchor->startupConfigFile, "wb");
  if (file == nullptr) std::abort();
  std::fwrite(data, 1, size, file);
  std::fclose(file);
  ZEVP_ProcessStartUpConfig(anchor);
  ZEVP_ShutdownCleanUp(anchor, 1);
  ZEVP_RemoveMetafileFromStartUpConfig(anchor, "a");
  ZEVP_AppendMetafileToStartUpConfig(anchor, "appended.mdl");
  return 0;
}
