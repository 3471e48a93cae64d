// Storage blocks handed from one function to another.
//
// Every block a utility returns comes from ZEV0_GetStorage and goes back through
// ZEV0_FreeStorage, which clears the caller's pointer. With the storage unit's
// detail class (0x10) on, live blocks are also accounted for in the trace.
#pragma once

#include <cstdint>

// A new block of size bytes (contents not cleared), or null for a size below 1
// or when no storage is left.
void* ZEV0_GetStorage(int32_t size);

// Frees the block *pointerAddress points to (if any) and sets *pointerAddress to null.
void ZEV0_FreeStorageBlock(void** pointerAddress);

template <typename T>
inline void ZEV0_FreeStorage(T** pointerAddress) {
  void* block = *pointerAddress;
  ZEV0_FreeStorageBlock(&block);
  *pointerAddress = nullptr;
}

// 1 when the pointer is not null, 0 when it is (traced under the detail class).
int ZEV0_IsValidPointer(const void* pointer);
int ZEV0_IsValidBlockPointer(const void* pointer);
