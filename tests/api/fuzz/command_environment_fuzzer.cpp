// A command environment file ./ZEVPINIT of any contents: the key look-up, a save and a
// clear read it within its lines, whatever it holds.
#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <initializer_list>
#include <string>

#include "environment_lines.h"
#include "records.h"
#include "zevpapi/dp_api.h"

namespace {

// The file is ./ZEVPINIT: each input works in a directory of the harness's, and goes back
// where it was, as libFuzzer reads the corpus by the names it was given.
char scratch[] = "/tmp/zevpinit_fuzz_XXXXXX";

void RemoveScratchDirectory() {
  for (const char* name : {"/ZEVPINIT", "/ZEVPTEMP"}) unlink((std::string(scratch) + name).c_str());
  rmdir(scratch);
}

const char* ScratchDirectory() {
  static const char* made = mkdtemp(scratch) != nullptr && std::atexit(RemoveScratchDirectory) == 0 ? scratch : nullptr;
  return made;
}

void WriteEnvironmentFile(const uint8_t* data, size_t size) {
  std::FILE* file = std::fopen("ZEVPINIT", "w");
  if (file == nullptr) return;
  std::fwrite(data, 1, size, file);
  std::fclose(file);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  int previous = open(".", O_RDONLY | O_DIRECTORY);
  if (ScratchDirectory() == nullptr || previous < 0 || chdir(ScratchDirectory()) != 0) {
    if (previous >= 0) close(previous);
    return 0;
  }
  for (const char* appID : {"APPLGRP", "A", static_cast<const char*>(nullptr)}) {
    std::FILE* file = size > 0 ? fmemopen(const_cast<uint8_t*>(data), size, "r") : nullptr;
    if (file == nullptr) break;
    zevpapi::FindSessionKey(file, appID, appID == nullptr ? "123" : nullptr);
    std::fclose(file);
  }

  APIhandle handle{};
  handle.serverStamp = 123;
  handle.sessionKey = 41000;
  WriteEnvironmentFile(data, size);
  dp_SaveCommandEnvironment(&handle, "APPLGRP");
  dp_GetCommandEnvironment(&handle, "APPLGRP", "123");
  handle.sessionKey = 41000;
  dp_ClearCommandEnvironment(&handle);
  WriteEnvironmentFile(data, size);
  dp_ClearCommandEnvironment(&handle);
  if (fchdir(previous) != 0) __builtin_trap();
  close(previous);
  return 0;
}
