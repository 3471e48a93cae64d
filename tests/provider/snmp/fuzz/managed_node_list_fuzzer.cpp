// libFuzzer harness of the managed node list files: each input is a list input file,
// loaded (its node words into the node array), then edited as the configuration
// requests edit it: its first two lines also name a node added (to the array and
// the file) and a node excluded, and the file is loaded again; and the same input
// as the list configuration file, whose names are loaded at start. No name
// resolves and no identity is read, so nothing leaves the harness. None may crash,
// hang or leak.
#include <stdlib.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>

#include "dp_anchor.h"
#include "managed_node_list.h"
#include "managed_node_list_edit.h"
#include "no_name_service.h"
#include "zev0/hostnames.h"
#include "zev0/prodspec.h"

namespace {

DPAB* anchor = nullptr;
std::string scratch;

void RemoveScratch() { std::filesystem::remove_all(scratch); }

// The input's line at *at (its end skipped), or the rest.
std::string Line(std::string_view text, size_t* at) {
  size_t end = std::min(text.find('\n', *at), text.size());
  std::string line(text.substr(*at, end - *at));
  *at = std::min(end + 1, text.size());
  return line;
}

// A node added and one excluded, as MNLADD and MNLREMOVE change the list.
void EditAsRequests(const std::string& added, const std::string& excluded) {
  ManagedNodeListEntry* list = ZEVP_LocateManagedNodeListFromInputFileName("fuzz.lst");
  if (list != nullptr && !added.empty()) {
    BSV1_GetLock(&list->lock);
    ZEVP_AddNodeToManagedNodeArray(list, added.c_str(), 0);
    sockaddr_in address{};
    if (ZEV0_ConvertNameToAddr(excluded.c_str(), 0, &address) != 0) ZEVP_RemoveNodeFromManagedNodeArray(list, &address);
    BSV1_ReleaseLock(&list->lock);
  }
  ZEVP_AddManagedNodeListFile("fuzz.lst", added.c_str());
  ZEVP_RemoveManagedNodeListFile("fuzz.lst", excluded.c_str());
}

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
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  size_t at = 0;
  const std::string added = Line(text, &at);
  const std::string excluded = Line(text, &at);
  Write("fuzz.lst", data, size);
  ZEVP_LoadSNMPManagedNodeList(anchor, "fuzz.lst");
  EditAsRequests(added, excluded);
  ZEVP_LoadSNMPManagedNodeList(anchor, "fuzz.lst");
  ZEVP_ShutdownSNMPManagedNodeListTask(anchor);

  Write("ZEVSLIST", data, size);
  ZEVP_ReadSNMPManagedNodeListConfigFile(anchor);
  ZEVP_ShutdownSNMPManagedNodeListTask(anchor);
  return 0;
}
