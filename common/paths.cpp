// Directory paths, full file names in the work directory, and closing a stream.
#include <pthread.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "trc1.h"
#include "zev0/env.h"
#include "zev0/storage.h"
#include "zev0/text.h"

TRC_UNIT();

namespace {

constexpr int kFullNameSize = 512;

// Fixed on the first call of ZEV0_ConstructFullyQualifiedName and never changed.
char workFilePath[kFullNameSize];
bool workFilePathUsable = false;
pthread_once_t workFilePathInit = PTHREAD_ONCE_INIT;

char* newBlock(size_t size) {
  auto* block = static_cast<char*>(ZEV0_GetStorage(static_cast<int32_t>(size)));
  if (block != nullptr) std::memset(block, 0, size);
  return block;
}

void setWorkFilePath() {
  const char* configured = ZEV0_GetEnv("ZEV_WORK_PATH", nullptr);
  if (configured == nullptr) {
    std::snprintf(workFilePath, sizeof workFilePath, ".%swork%s", "/", "/");
    workFilePathUsable = true;
    return;
  }
  // ZEV0_CheckPathSpec edits its input: work on a copy, never on the environment.
  size_t length = std::strlen(configured);
  if (length + 2 > sizeof workFilePath) {
    TRC(TRC_ERROR, "*****Error: ZEV_WORK_PATH <%s> longer than %d characters", configured, kFullNameSize - 2);
    return;
  }
  char copy[kFullNameSize];
  std::memcpy(copy, configured, length + 1);
  char* normalised = ZEV0_CheckPathSpec(copy);
  if (normalised == nullptr) return;
  std::snprintf(workFilePath, sizeof workFilePath, "%s", normalised);
  workFilePathUsable = true;
  if (normalised != copy) ZEV0_FreeStorage(&normalised);
}

}  // namespace

char* ZEV0_CheckPathSpec(char* path) {
  if (path == nullptr) return nullptr;
  TRC(TRC_UNIT_DETAIL, "Input path spec ->{%s}", path);
  size_t length = std::strlen(path);
  while (length > 0 && path[length - 1] == ' ') path[--length] = '\0';
  if (length == 0) {
    char* current = newBlock(3);
    if (current != nullptr) std::memcpy(current, "./", 3);
    return current;
  }
  if (path[length - 1] == '/') return path;
  char* withSlash = newBlock(length + 2);
  if (withSlash == nullptr) return nullptr;
  std::memcpy(withSlash, path, length);
  withSlash[length] = '/';
  return withSlash;
}

char* ZEV0_ConstructFullyQualifiedName(const char* path, const char* name) {
  pthread_once(&workFilePathInit, setWorkFilePath);
  if (name == nullptr) {
    TRC(TRC_ERROR, "*****Error: No file name given");
    return nullptr;
  }
  if (path == nullptr && !workFilePathUsable) return nullptr;
  const char* directory = path != nullptr ? path : workFilePath;
  char* fullName = newBlock(kFullNameSize);
  if (fullName == nullptr) return nullptr;
  int length = std::snprintf(fullName, kFullNameSize, "%s%s", directory, name);
  if (length < 0 || length >= kFullNameSize) {
    TRC(TRC_ERROR, "*****Error: File name <%s%s> longer than %d characters", directory, name, kFullNameSize - 1);
    ZEV0_FreeStorage(&fullName);
  }
  return fullName;
}

void ZEV0_CloseFile(FILE** stream) {
  if (stream == nullptr || *stream == nullptr) {
    TRC(TRC_ERROR, "***** Input FD pointer is NULL");
    return;
  }
  int rc = std::fclose(*stream);
  TRC(TRC_UNIT_DETAIL, "File closed rc %d errno %d", rc, rc == 0 ? 0 : errno);
  *stream = nullptr;
}
