// The page and object files, in one directory per web host below the URL output
// directory (the work directory when none is set).
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <string>

#include "http_trace.h"
#include "url_management.h"
#include "url_output.h"
#include "url_output_names.h"
#include "zev0/storage.h"
#include "zev0/text.h"

TRC_UNIT();

namespace {

// Directory creation is serialised.
std::mutex TempObjDirLock;

void WriteFile(const std::string& name, const char* bytes, size_t length, const char* kind) {
  FILE* file = std::fopen(name.c_str(), "wbe");
  if (file == nullptr) {
    HTTP_TRC(TRC_ERROR, "***** URL %s file {%s} open failed, ErrorText <%s>", kind, name.c_str(), std::strerror(errno));
    return;
  }
  if (length > 0 && std::fwrite(bytes, 1, length, file) != length)
    HTTP_TRC(TRC_ERROR, "***** URL %s file {%s} write failed, ErrorText <%s>", kind, name.c_str(), std::strerror(errno));
  std::fclose(file);
}

}  // namespace

int ZEVP_CreateURLoutputDir(URLmanagementBlock* block, URLrequestEntry* entry) {
  if (block == nullptr || entry == nullptr) return 0;
  std::lock_guard<std::mutex> lock(TempObjDirLock);
  if (entry->OutputDirectory != nullptr) return 1;
  const std::string host = zevp::URLhostPart(entry->URL);
  if (!zevp::IsSafeHostPart(host)) {
    HTTP_TRC(TRC_ERROR, "***** URL <%s> host part <%s> names no output directory", entry->URL, host.c_str());
    return 0;
  }
  char* directory = ZEV0_ConstructFullyQualifiedName(block->OutputDirectory, host.c_str());
  if (directory == nullptr) {
    HTTP_TRC(TRC_ERROR, "***** URL <%s> output directory name too long", entry->URL);
    return 0;
  }
  if (mkdir(directory, 0755) != 0 && errno != EEXIST) {
    HTTP_TRC(TRC_ERROR, "***** URL output directory %s not made, ErrorText <%s>", directory, std::strerror(errno));
    ZEV0_FreeStorage(&directory);
    return 0;
  }
  char* checked = ZEV0_CheckPathSpec(directory);
  if (checked != directory) ZEV0_FreeStorage(&directory);
  entry->OutputDirectory = checked;
  HTTP_TRC(TRC_DETAIL, "URL <%s> output directory %s", entry->URL, checked);
  return 1;
}

void ZEVP_OutputURLpage(URLmanagementBlock* block, URLrequestEntry* entry) {
  if (entry == nullptr || entry->PageBuffer == nullptr || !ZEVP_CreateURLoutputDir(block, entry)) return;
  const std::string name = std::string(entry->OutputDirectory) + zevp::PageFileName(entry->URL);
  const size_t length = strnlen(entry->PageBuffer, static_cast<size_t>(std::max(entry->PageBufferSize, 0)));
  WriteFile(name, entry->PageBuffer, length, "page");
}

void ZEVP_OutputURLobject(URLrequestEntry* entry, const char* objectURL, const char* content, int32_t length) {
  if (entry == nullptr || objectURL == nullptr || !ZEVP_CreateURLoutputDir(zevp::CurrentURLmanagement(), entry))
    return;
  const std::string base = zevp::ObjectFileName(objectURL);
  if (base.empty()) {
    HTTP_TRC(TRC_ERROR, "***** URL object <%s> has no base name: no object file", objectURL);
    return;
  }
  WriteFile(std::string(entry->OutputDirectory) + base, content, content != nullptr ? std::max(length, 0) : 0,
            "object");
}
