#include "dp_anchor.h"
#include "io_buffer.h"
#include "io_entry.h"
#include "model_release.h"
#include "trc1.h"
#include "zev0/sockets.h"
#include "zev0/storage.h"

TRC_UNIT();

namespace {

// Takes the entry out of one of the anchor's lists, under that list's lock.
void RemoveFromList(BSV1_Lock* lock, IOEntry** head, IOEntry* IOEntry::*link, IOEntry* entry) {
  BSV1_GetLock(lock);
  for (IOEntry** place = head; *place != nullptr; place = &((*place)->*link)) {
    if (*place == entry) {
      *place = entry->*link;
      entry->*link = nullptr;
      break;
    }
  }
  BSV1_ReleaseLock(lock);
}

void FreeBuffers(IOEntry* entry) {
  IObuffer* buffer = entry->Buffers;
  while (buffer != nullptr) {
    IObuffer* next = buffer->next;
    TRC(TRC_STORAGE, "Freeing I/O buffer @%p", static_cast<void*>(buffer));
    ZEV0_FreeStorage(&buffer);
    buffer = next;
  }
  entry->Buffers = nullptr;
}

}  // namespace

void ZEVP_ReleaseIOResources(DPAB* anchor, IOEntry* entry) {
  if (entry == nullptr) {
    TRC(TRC_ERROR, "Received NULL IO pointer. Exiting...");
    return;
  }
  RemoveFromList(&anchor->ioListLock, &anchor->ioEntries, &IOEntry::NextAll, entry);
  RemoveFromList(&anchor->fileIOListLock, &anchor->fileIOEntries, &IOEntry::NextOfKind, entry);
  RemoveFromList(&anchor->sockIOListLock, &anchor->sockIOEntries, &IOEntry::NextOfKind, entry);
  RemoveFromList(&anchor->apiIOListLock, &anchor->apiIOEntries, &IOEntry::NextOfKind, entry);
  RemoveFromList(&anchor->appcIOListLock, &anchor->appcIOEntries, &IOEntry::NextOfKind, entry);

  // Out of every list now; a thread still working on the entry holds its lock.
  BSV1_GetLock(&entry->Lock);
  FreeBuffers(entry);
  if (entry->ConnectionSocket != 0) {
    TRC(TRC_DETAIL, "Calling ZEV0_CloseTheSocket for socket %d", entry->ConnectionSocket);
    ZEV0_CloseTheSocket(entry->ConnectionSocket);
    entry->ConnectionSocket = 0;
  }
  TRC(TRC_DETAIL, "CurrIO->sock equals %d", entry->ListenSocket);
  if (entry->Stream != nullptr) {
    std::fclose(entry->Stream);
    entry->Stream = nullptr;
  }
  BSV1_ReleaseLock(&entry->Lock);

  pthread_mutex_destroy(&entry->Mutex);
  pthread_cond_destroy(&entry->Condition);
  BSV1_DestroyLock(&entry->Lock);
  TRC(TRC_STORAGE, "Freeing IOEntry @%p with pSSE @%p", static_cast<void*>(entry), static_cast<void*>(entry->Source));
  ZEV0_FreeStorage(&entry);
}
