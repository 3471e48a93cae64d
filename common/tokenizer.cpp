// The tokenizer for code that runs on several threads: one save position per
// thread, kept in a slot that the thread holds while its stream of tokens lasts.
#include <cstring>
#include <mutex>

#include "bsv1.h"
#include "trc1.h"
#include "zev0/text.h"

TRC_UNIT();

namespace {

constexpr int kSlotCount = 256;

struct SavePtrSlot {
  char* savePointer;
  unsigned long threadId;  // 0: free
};

// Claiming and releasing a slot happen under the lock; the save position of a
// claimed slot belongs to its thread alone.
SavePtrSlot arrayOfSavePtr[kSlotCount];
std::mutex slotLock;

SavePtrSlot* claimSlot(unsigned long threadId) {
  std::lock_guard<std::mutex> guard(slotLock);
  SavePtrSlot* freeSlot = nullptr;
  for (SavePtrSlot& slot : arrayOfSavePtr) {
    if (slot.threadId == threadId) return &slot;
    if (slot.threadId == 0 && freeSlot == nullptr) freeSlot = &slot;
  }
  if (freeSlot != nullptr) freeSlot->threadId = threadId;
  return freeSlot;
}

void releaseSlot(SavePtrSlot* slot) {
  std::lock_guard<std::mutex> guard(slotLock);
  slot->savePointer = nullptr;
  slot->threadId = 0;
}

}  // namespace

char* ZEV0_strtok(char* string, const char* delimiters) {
  SavePtrSlot* slot = claimSlot(BSV1_ThreadID());
  if (slot == nullptr) {
    TRC(TRC_ERROR, "***** No slots available in the arrayOfSavePtr.");
    return nullptr;
  }
  if (string != nullptr) slot->savePointer = nullptr;
  char* token = strtok_r(string, delimiters, &slot->savePointer);
  if (token == nullptr) releaseSlot(slot);
  return token;
}
