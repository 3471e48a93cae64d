// libFuzzer harness of the URL configuration file and the ISP file: each input is
// read as a URL configuration file, the URLs it gives are written back and read
// again, and, where their texts hold no keyword of the file, give the same entries;
// its first line is also read as the ISP file's. None may crash or read out of its
// texts.
#include <stdio.h>
#include <stdlib.h>

#include <cstdint>
#include <string>
#include <vector>

#include "dp_anchor.h"
#include "isp_name.h"
#include "url_config_file.h"
#include "url_config_line.h"
#include "url_management.h"
#include "zev/dp_types.h"

namespace {

DPAB* anchor = nullptr;

bool HoldsKeyword(std::string text) {
  for (char& c : text) c = static_cast<char>(toupper(static_cast<unsigned char>(c)));
  for (const char* keyword : {"ALIAS=", "INTERVAL=", "CACHE=", "USER="})
    if (text.find(keyword) != std::string::npos) return true;
  return false;
}

// What the file keeps of each entry; false when a text of an entry is one that a
// line cannot give back: a keyword in it (the first place of a keyword counts,
// wherever it is), or an owner or alias cut to nothing.
bool Kept(URLmanagementBlock* block, std::vector<std::string>* kept) {
  bool plain = true;
  for (const URLrequestEntry* entry = block->URLs; entry != nullptr; entry = entry->next) {
    const URLownerEntry* owner = entry->Owners;
    plain = plain && !HoldsKeyword(entry->URL) && !HoldsKeyword(owner->User) && !HoldsKeyword(owner->Alias) &&
            owner->UserLength > 0 && owner->AliasLength > 0;
    kept->push_back(std::string(entry->URL) + ' ' + std::to_string(entry->StatusInterval) + ' ' +
                    std::to_string(entry->CachePercent) + ' ' + owner->User + '[' + owner->Alias + ']');
  }
  return plain;
}

// The entries of the text read as the file; false when they cannot all be read back.
bool ReadText(const std::string& text, std::vector<std::string>* kept, std::string* rewritten) {
  ZEVP_InitializeUMB(anchor);
  FILE* file = fmemopen(const_cast<char*>(text.data()), text.size(), "r");
  if (file != nullptr) {
    zevp::ReadURLconfigLines(anchor->urlManagement, file);
    fclose(file);
  }
  bool plain = Kept(anchor->urlManagement, kept);
  if (rewritten != nullptr) {
    char* written = nullptr;
    size_t length = 0;
    FILE* output = open_memstream(&written, &length);
    if (zevp::WriteURLconfigLines(anchor->urlManagement, output) < 0) abort();
    fclose(output);
    rewritten->assign(written, length);
    free(written);
  }
  zevp::ReleaseURLmanagement(anchor);
  return plain;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  setenv("ZEV_TRACE", "*=0", 1);
  setenv("ZEVP_URL_ISP_NAME", "LAN", 1);  // no ISP file is looked for
  anchor = zevp::NewAnchor();
  anchor->dpType = ZEV_DP_HTTP;
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;  // fmemopen takes no empty buffer
  const std::string input(reinterpret_cast<const char*>(data), size);
  std::string name = zevp::ISPnameFromFirstLine(input.substr(0, input.find('\n')));
  if (name.size() > 64 || name.find_first_of(" \r\n") != std::string::npos) abort();

  std::vector<std::string> first;
  std::string rewritten;
  if (!ReadText(input, &first, &rewritten) || rewritten.empty()) return 0;
  std::vector<std::string> again;
  ReadText(rewritten, &again, nullptr);
  if (again != first) abort();
  return 0;
}
