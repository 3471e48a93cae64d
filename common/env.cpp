#include "zev0/env.h"

#include <cctype>
#include <cstring>

#include "bsv1.h"
#include "trc1.h"
#include "zev0/storage.h"

TRC_UNIT();

namespace {

constexpr size_t kMaxEnvText = 255;

struct LocalEnvEntry {
  LocalEnvEntry* next;
  char name[kMaxEnvText + 1];
  char value[kMaxEnvText + 1];
};

LocalEnvEntry* LocalEnvArray = nullptr;
BSV1_Lock EnvArrayLock;
pthread_once_t EnvArrayLockInitialized = PTHREAD_ONCE_INIT;

void initializeLock() { BSV1_InitializeLock(&EnvArrayLock); }

LocalEnvEntry* findLocal(const char* name) {
  for (LocalEnvEntry* entry = LocalEnvArray; entry != nullptr; entry = entry->next)
    if (std::strcmp(entry->name, name) == 0) return entry;
  return nullptr;
}

}  // namespace

const char* ZEV0_GetEnv(const char* name, const char* defaultValue) {
  if (name == nullptr) return nullptr;
  pthread_once(&EnvArrayLockInitialized, initializeLock);
  const char* value = BSV1_GetEnv(name, 0);
  if (value != nullptr) {
    TRC(TRC_DETAIL, "BSV1_GetEnv <%s> returned EnvValue @%p <%s>", name, static_cast<const void*>(value), value);
  } else {
    BSV1_GetLock(&EnvArrayLock);
    if (LocalEnvEntry* entry = findLocal(name)) {
      value = entry->value;
      TRC(TRC_DETAIL, "local GetEnv <%s> returned EnvValue @%p", name, static_cast<const void*>(value));
    }
    BSV1_ReleaseLock(&EnvArrayLock);
  }
  if (value == nullptr) value = defaultValue;
  if (value != nullptr)
    TRC(TRC_UNIT_DETAIL, "Env <%s> value <%s>", name, value);
  else
    TRC(TRC_UNIT_DETAIL, "Env <%s> not set", name);
  return value;
}

void ZEV0_PutEnv(const char* text) {
  pthread_once(&EnvArrayLockInitialized, initializeLock);
  const char* equals = text ? std::strchr(text, '=') : nullptr;
  if (equals == nullptr) {
    TRC(TRC_ERROR, "*****Error: Invalid environment syntax ignored. <%s>", text ? text : "");
    return;
  }
  size_t nameLength = static_cast<size_t>(equals - text);
  const char* value = equals + 1;
  if (nameLength > kMaxEnvText || std::strlen(value) > kMaxEnvText) {
    TRC(TRC_ERROR, "*****Error: Environment specification <%s> exceeds maximum size %d", text,
        static_cast<int>(kMaxEnvText));
    return;
  }
  auto* fresh = static_cast<LocalEnvEntry*>(ZEV0_GetStorage(sizeof(LocalEnvEntry)));
  if (fresh == nullptr) return;
  std::memset(fresh, 0, sizeof *fresh);
  TRC(TRC_STORAGE, "Allocated NewEnv @%p length %d for EnvString <%s>", static_cast<void*>(fresh),
      static_cast<int>(sizeof *fresh), text);
  for (size_t i = 0; i < nameLength; ++i)
    fresh->name[i] = static_cast<char>(std::toupper(static_cast<unsigned char>(text[i])));
  std::strcpy(fresh->value, value);

  BSV1_GetLock(&EnvArrayLock);
  if (LocalEnvEntry* existing = findLocal(fresh->name)) {
    TRC(TRC_DETAIL, "Env <%s> value updated from <%s> to <%s>", existing->name, existing->value, fresh->value);
    std::strcpy(existing->value, fresh->value);
    TRC(TRC_STORAGE, "Freeing NewEnv @%p", static_cast<void*>(fresh));
    ZEV0_FreeStorage(&fresh);
  } else {
    LocalEnvEntry** tail = &LocalEnvArray;
    while (*tail != nullptr) tail = &(*tail)->next;
    *tail = fresh;
    TRC(TRC_DETAIL, "New local Env <%s> value <%s> added to array", fresh->name, fresh->value);
  }
  BSV1_ReleaseLock(&EnvArrayLock);
}
