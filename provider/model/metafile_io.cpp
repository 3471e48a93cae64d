#include "metafile_io.h"

#include <cctype>
#include <algorithm>
#include <cerrno>
#include <cstring>

#include "dp_anchor.h"
#include "metafile_hand_over.h"
#include "metafile_request_area.h"
#include "trc1.h"
#include "validation_messages.h"
#include "zev0/hostnames.h"
#include "zev0/storage.h"
#include "zev0/text.h"

TRC_UNIT();

namespace {

// What an open metafile reads from: a stream, or the records of an area.
struct MetafileHandle {
  std::FILE* stream;
  MFRA* area;
  bool ownArea;     // an in-memory metafile's: freed at close
  bool lockHeld;    // a fetched metafile's: the area's lock, released at the end
};

MetafileHandle* newHandle(std::FILE* stream, MFRA* area, bool ownArea) {
  auto* handle = static_cast<MetafileHandle*>(ZEV0_GetStorage(sizeof(MetafileHandle)));
  if (handle == nullptr) {
    TRC(TRC_ERROR, "*** unable to obtain storage for a metafile handle");
    return nullptr;
  }
  *handle = {stream, area, ownArea, !ownArea};
  return handle;
}

std::FILE* openTraced(const std::string& path) {
  std::FILE* file = std::fopen(path.c_str(), "re");
  if (file == nullptr)
    TRC(TRC_DETAIL, "*** Unable to open metafile %s - Errno %d, ErrorText <%s>", path.c_str(), errno,
        std::strerror(errno));
  return file;
}

bool isBuiltInName(const char* name) { return std::strncmp(name, "ZEV", 3) == 0 || std::strncmp(name, "zev", 3) == 0; }

// The end of a fetched metafile lets the next fetch proceed.
void releaseArea(MetafileHandle* handle) {
  if (!handle->lockHeld) return;
  handle->lockHeld = false;
  BSV1_ReleaseLock(&handle->area->Lock);
}

char* readRecord(MetafileHandle* handle, char* buffer, int32_t size) {
  MetafileRecord* record = ZEVP_TakeMetafileRecord(&handle->area->Records);
  if (record == nullptr) {
    releaseArea(handle);
    return nullptr;
  }
  size_t length = std::min<size_t>(record->TextLength, static_cast<size_t>(size) - 1);
  std::memcpy(buffer, record->Text, length);
  buffer[length] = '\0';
  ZEV0_FreeStorage(&record);
  return buffer;
}

}  // namespace

namespace zevp {

std::string MetafilePath(const DPAB* anchor, const char* metafileName) {
  const char* directory = anchor != nullptr ? anchor->metafileDirectory : nullptr;
  const char* name = metafileName;
  if (ZEV0_IsThisFullyQualifiedName(name)) {
    if (name[0] != '.') return name;
    ++name;
    while (*name != '\0' && !std::isalnum(static_cast<unsigned char>(*name))) ++name;
  }
  char* qualified = ZEV0_ConstructFullyQualifiedName(directory, name);
  std::string path = qualified != nullptr ? qualified : std::string(directory != nullptr ? directory : "") + name;
  ZEV0_FreeStorage(&qualified);
  return path;
}

std::FILE* OpenLocalMetafile(DPAB* anchor, const char* metafileName, int validate) {
  std::string path = MetafilePath(anchor, metafileName);
  std::FILE* file = openTraced(path);
  for (const char* extension : {".mdl", ".MDL"}) {
    if (file != nullptr) break;
    file = openTraced(path + extension);
    if (file != nullptr) {
      path += extension;
      if (validate) ZEVP_DisplayValidationMessage(ZEVPV24I, path.c_str());
    }
  }
  if (file != nullptr && validate) ZEVP_DisplayValidationMessage(ZEVPV25I, path.c_str());
  return file;
}

char* ReadMetafileLine(std::FILE* file, char* buffer, int32_t size) {
  if (std::fgets(buffer, size, file) == nullptr) return nullptr;
  size_t length = std::strlen(buffer);
  if (length + 1 < static_cast<size_t>(size) || buffer[length - 1] == '\n') return buffer;
  // The rest of a line longer than the buffer would come back as a record of its
  // own, and shift the positions that unscramble the records after it.
  int c;
  size_t dropped = 0;
  while ((c = std::fgetc(file)) != EOF && c != '\n') ++dropped;
  if (dropped > 0) TRC(TRC_ERROR, "*** Metafile record longer than %d bytes, %zu bytes dropped", size - 1, dropped);
  return buffer;
}

void ReportMetafileNotFound(const char* metafileName) {
  if (!isBuiltInName(metafileName)) ZEVP_DisplayValidationMessage(ZEVPV01E, metafileName);
}

}  // namespace zevp

void* ZEVP_OpenMetaFile(DPAB* anchor, const char* metafileName, int validate) {
  if (metafileName == nullptr || *metafileName == '\0') return nullptr;
  if (metafileName[0] == '&') {
    MFRA* area = ZEVP_ConstructMemoryMetafile(anchor, metafileName);
    MetafileHandle* handle = area != nullptr ? newHandle(nullptr, area, true) : nullptr;
    if (handle == nullptr) ZEVP_FreeRequestArea(area);
    return handle;
  }
  if (std::FILE* file = zevp::OpenLocalMetafile(anchor, metafileName, validate)) {
    MetafileHandle* handle = newHandle(file, nullptr, false);
    if (handle == nullptr) std::fclose(file);
    return handle;
  }
  MFRA* exchange = anchor != nullptr ? anchor->metafileExchange.load() : nullptr;
  if (exchange != nullptr && !validate && zevp::FetchMetafile(anchor, exchange, metafileName)) {
    MetafileHandle* handle = newHandle(nullptr, exchange, false);
    if (handle == nullptr) {
      ZEVP_FreeMetafileRecords(&exchange->Records);
      BSV1_ReleaseLock(&exchange->Lock);
    }
    return handle;
  }
  zevp::ReportMetafileNotFound(metafileName);
  return nullptr;
}

char* ZEVP_ReadMetaFile(DPAB* /*anchor*/, void* handle, char* buffer, int32_t size) {
  if (handle == nullptr || buffer == nullptr || size < 2) return nullptr;
  auto* metafile = static_cast<MetafileHandle*>(handle);
  if (metafile->stream != nullptr) return zevp::ReadMetafileLine(metafile->stream, buffer, size);
  return readRecord(metafile, buffer, size);
}

int ZEVP_CloseMetaFile(DPAB* /*anchor*/, void* handle) {
  if (handle == nullptr) return 0;
  auto* metafile = static_cast<MetafileHandle*>(handle);
  int result = 0;
  if (metafile->stream != nullptr) {
    result = std::fclose(metafile->stream);
  } else {
    ZEVP_FreeMetafileRecords(&metafile->area->Records);
    releaseArea(metafile);
    if (metafile->ownArea) ZEVP_FreeRequestArea(metafile->area);
  }
  ZEV0_FreeStorage(&metafile);
  return result;
}
