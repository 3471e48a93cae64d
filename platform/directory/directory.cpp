#include <dirent.h>

#include <cerrno>
#include <cstring>

#include "hqn.h"

struct HQN_Directory {
  DIR* stream;
};

int hqnqpopd(const char* path, char mode, HQN_Directory** handle) {
  if (handle == nullptr) return EINVAL;
  *handle = nullptr;
  if (path == nullptr || mode != 'R') return EINVAL;
  DIR* stream = opendir(path);
  if (stream == nullptr) return errno != 0 ? errno : EIO;
  *handle = new HQN_Directory{stream};
  return 0;
}

int hqnqprdd(HQN_Directory* handle, char* name, int32_t* status) {
  if (status != nullptr) *status = 0;
  if (handle == nullptr || name == nullptr) {
    if (status != nullptr) *status = EINVAL;
    return 1;
  }
  for (;;) {
    errno = 0;
    const dirent* entry = readdir(handle->stream);
    if (entry == nullptr) {
      if (status != nullptr) *status = errno;
      return 1;
    }
    if (std::strcmp(entry->d_name, ".") == 0 || std::strcmp(entry->d_name, "..") == 0) continue;
    size_t length = strnlen(entry->d_name, HQN_ENTRY_NAME_FIELD - 1);
    std::memcpy(name, entry->d_name, length);
    std::memset(name + length, ' ', HQN_ENTRY_NAME_FIELD - 1 - length);
    name[HQN_ENTRY_NAME_FIELD - 1] = '\0';
    return 0;
  }
}

int hqnqpcld(HQN_Directory* handle) {
  if (handle == nullptr) return 0;
  int result = closedir(handle->stream) == 0 ? 0 : errno;
  delete handle;
  return result;
}
