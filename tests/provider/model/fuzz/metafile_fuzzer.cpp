// libFuzzer harness of the metafile language: each input is a metafile, parsed
// in a validation run (records echoed) and unpacked, and its model released.
// Bad metafiles get their messages; none may crash, hang or leak.
#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <string>

#include "dp_anchor.h"
#include "dp_shutdown.h"
#include "metafile_parser.h"
#include "zevp/metafile_unpack.h"

namespace {

DPAB* anchor = nullptr;
std::string metafile;

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  char pattern[] = "/tmp/zev_metafile_fuzz_XXXXXX";
  const char* directory = mkdtemp(pattern);
  if (directory == nullptr) std::abort();
  metafile = std::string(directory) + "/fuzz.mdl";
  setenv("ZEVP_META_PATH", directory, 1);
  setenv("ZEV_PRODSPEC_PATH", ZEV_EXAMPLES_DIR "/", 1);
  setenv("ZEV_PRODSPEC_NAME", "ZEVPSF", 1);
  setenv("QFEB0_HOSTNAME", "dphost.example", 1);
  setenv("ZEV_TRACE", "*=0", 1);
  // The validation messages are the parser's output; the fuzzer needs none of them.
  int devNull = open("/dev/null", O_WRONLY);
  dup2(devNull, STDOUT_FILENO);
  close(devNull);
  anchor = ZEVP_StartupInitialization();
  if (anchor == nullptr) std::abort();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::FILE* file = std::fopen(metafile.c_str(), "wb");
  if (file == nullptr) std::abort();
  std::fwrite(data, 1, size, file);
  std::fclose(file);

  int opened = 0;
  int alreadyDefined = 0;
  ZEVP_ConstructApplDataModel(anchor, "fuzz.mdl", 1, &opened, &alreadyDefined, 0, 0);
  // Frees every application, I/O entry and routing block the metafile made.
  ZEVP_ShutdownCleanUp(anchor, 1);
  ZEVP_UnpackMetafileToText("fuzz.mdl");
  std::remove((metafile.substr(0, metafile.size() - 3) + "txt").c_str());
  return 0;
}
