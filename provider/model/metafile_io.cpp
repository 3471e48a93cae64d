// A plain reader of local metafiles.
#include "metafile_io.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "dp_anchor.h"
#include "trc1.h"
#include "zev0/hostnames.h"
#include "zev0/storage.h"
#include "zev0/text.h"

TRC_UNIT();

void* ZEVP_OpenMetaFile(DPAB* anchor, const char* metafileName, int /*validate*/) {
  if (metafileName == nullptr) return nullptr;
  char* qualified = nullptr;
  if (!ZEV0_IsThisFullyQualifiedName(metafileName))
    qualified = ZEV0_ConstructFullyQualifiedName(anchor != nullptr ? anchor->metafileDirectory : nullptr, metafileName);
  const char* path = qualified != nullptr ? qualified : metafileName;
  std::FILE* file = std::fopen(path, "r");
  if (file == nullptr)
    TRC(TRC_ERROR, "*** Unable to open metafile %s - Errno %d, ErrorText <%s>", path, errno, std::strerror(errno));
  ZEV0_FreeStorage(&qualified);
  return file;
}

char* ZEVP_ReadMetaFile(DPAB* /*anchor*/, void* handle, char* buffer, int32_t size) {
  if (handle == nullptr || buffer == nullptr || size < 2) return nullptr;
  return std::fgets(buffer, size, static_cast<std::FILE*>(handle));
}

int ZEVP_CloseMetaFile(DPAB* /*anchor*/, void* handle) {
  return handle != nullptr ? std::fclose(static_cast<std::FILE*>(handle)) : 0;
}
