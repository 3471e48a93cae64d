#include "zev0/storage.h"

#include <pthread.h>

#include <atomic>
#include <cstdlib>

#include "bsv1.h"
#include "trc1.h"

TRC_UNIT();

namespace {

// Accounting of live blocks, kept only while the detail class is on: a chain of
// pages of entries; an entry whose block is null is free. Pages are never returned.
constexpr int kEntriesPerPage = 341;

struct AccountEntry {
  AccountEntry* next;
  void* block;
  int32_t size;
};

AccountEntry* pWS = nullptr;
double TotalWorkingStorage = 0;
BSV1_Lock WorkingStorageCounterLock;
// Threads may allocate with the class on for the first time together: the lock is
// made exactly once, and a free looks at the list only once it exists.
pthread_once_t WorkingStorageCounterOnce = PTHREAD_ONCE_INIT;
std::atomic<bool> WorkingStorageCounterInitialized{false};

void initializeCounterLock() {
  TRC(TRC_DETAIL, "Initializing WorkingStorageCounterLock");
  BSV1_InitializeLock(&WorkingStorageCounterLock);
  WorkingStorageCounterInitialized = true;
}

AccountEntry* newPage() {
  auto* page = static_cast<AccountEntry*>(std::calloc(kEntriesPerPage, sizeof(AccountEntry)));
  if (page == nullptr) return nullptr;
  for (int i = 0; i + 1 < kEntriesPerPage; ++i) page[i].next = &page[i + 1];
  return page;
}

void recordBlock(void* block, int32_t size) {
  pthread_once(&WorkingStorageCounterOnce, initializeCounterLock);
  BSV1_GetLock(&WorkingStorageCounterLock);
  int position = 0;
  AccountEntry* last = nullptr;
  AccountEntry* entry = pWS;
  for (; entry != nullptr; last = entry, entry = entry->next) {
    ++position;
    if (entry->block == nullptr) break;
  }
  if (entry == nullptr) {
    entry = newPage();
    if (entry != nullptr) {
      if (last == nullptr)
        pWS = entry;
      else
        last->next = entry;
      ++position;
    }
  }
  if (entry != nullptr) {
    entry->block = block;
    entry->size = size;
    TotalWorkingStorage += size;
    TRC(TRC_DETAIL, "After allocation, Total Working Storage Size %.2fK, WSB %d", TotalWorkingStorage / 1024.0,
        position);
  }
  BSV1_ReleaseLock(&WorkingStorageCounterLock);
}

void forgetBlock(void* block) {
  if (!WorkingStorageCounterInitialized) return;
  BSV1_GetLock(&WorkingStorageCounterLock);
  int position = 0;
  for (AccountEntry* entry = pWS; entry != nullptr; entry = entry->next) {
    ++position;
    if (entry->block != block) continue;
    entry->block = nullptr;
    TotalWorkingStorage -= entry->size;
    entry->size = 0;
    TRC(TRC_DETAIL, "After free, Total Working Storage Size %.2fK, WSB %d", TotalWorkingStorage / 1024.0, position);
    break;
  }
  BSV1_ReleaseLock(&WorkingStorageCounterLock);
}

}  // namespace

void* ZEV0_GetStorage(int32_t size) {
  if (size < 1) {
    TRC(TRC_ERROR, "*****Invalid get storage size %d", size);
    return nullptr;
  }
  void* block = std::malloc(static_cast<size_t>(size));
  if (block == nullptr) {
    TRC(TRC_ERROR, "*****Unable to obtain storage, size %d", size);
    return nullptr;
  }
  TRC(TRC_UNIT_DETAIL, "Allocated storage at address @%p size %d", block, size);
  if (TRC_ON(TRC_DETAIL)) recordBlock(block, size);
  return block;
}

void ZEV0_FreeStorageBlock(void** pointerAddress) {
  void* block = *pointerAddress;
  if (block != nullptr) {
    TRC(TRC_UNIT_DETAIL, "Freed storage at address @%p", block);
    // Forget before freeing: once freed, another thread may be given the same address.
    if (TRC_ON(TRC_DETAIL)) forgetBlock(block);
    std::free(block);
  }
  *pointerAddress = nullptr;
}

int ZEV0_IsValidPointer(const void* pointer) {
  if (pointer == nullptr) {
    TRC(TRC_DETAIL, "Input pointer is NULL");
    return 0;
  }
  TRC(TRC_DETAIL, "Input pointer @%p is valid", pointer);
  return 1;
}

int ZEV0_IsValidBlockPointer(const void* pointer) {
  if (pointer == nullptr) {
    TRC(TRC_DETAIL, "Input block pointer is NULL");
    return 0;
  }
  TRC(TRC_DETAIL, "Input block pointer @%p is valid", pointer);
  return 1;
}
