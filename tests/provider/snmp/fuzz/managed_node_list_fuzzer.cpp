// libFuzzer harness of the managed node list files: each input is a list input file,
// loaded (its node words into the node array), then edited (a node added and one
// excluded); and the same input as the list configuration file, whose names are
// loaded at start. No name resolves. None may crash, hang or leak.
#include <stdlib.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "dp_anchor.h"
#include "managed_node_list.h"
#include "managed_node_list_edit.h"
#include "no_name_service.h"
#include "zev0/prodspec.h"

namespace {

DPAB* anchor = nullptr;
std::string scratch;

void RemoveScratch() { std::filesystem::remove_all(scratch); }

void Write(const std::string& name, const uint8_t* data, size_t size) {
  std::ofstream(scratch + name, std::ios::binary).write(reinterpret_cast<const char*>(data),
                                                        static_cast<std::streamsize>(size));
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  char pattern[] = "/tmp/zev_node_list_fuzz_XXXXXX";
  const char* directory = mkdtemp(pattern);
  if (directory == nullptr) std::abort();
  scratch = std::string(directory) + "/";
  std::atexit(RemoveScratch);
  setenv("ZEV_WORK_PATH", scratch.c_str(), 1);
  setenv("ZEV_PRODSPEC_PATH", ZEV_EXAMPLES_DIR "/", 1);
  setenv("ZEV_PRODSPEC_NAME", "ZEVPSF", 1);
  setenv("ZEV_TRACE", "*=0", 1);
  static NoNameService names;
  if (ZEV0_InitializeProductSpec() != 1) std::abort();
  anchor = zevp::NewAnchor();
  return anchor != nullptr ? 0 : 1;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  Write("fuzz.lst", data, size);
  ZEVP_LoadSNMPManagedNodeList(anchor, "fuzz.lst");
  ZEVP_AddManagedNodeListFile("fuzz.lst", "127.0.0.1");
  ZEVP_RemoveManagedNodeListFile("fuzz.lst", "10.1.1.1");
  ZEVP_ShutdownSNMPManagedNodeListTask(anchor);

  Write("ZEVSLIST", data, size);
  ZEVP_ReadSNMPManagedNodeListConfigFile(anchor);
  ZEVP_ShutdownSNMPManagedNodeListTask(anchor);
  return 0;
}
