#include "io_entry.h"

#include <arpa/inet.h>

#include <cstring>
#include <string>

#include "dp_anchor.h"
#include "metafile_numbers.h"
#include "metafile_text.h"
#include "model_lists.h"
#include "source_entry.h"
#include "trc1.h"
#include "validation_messages.h"
#include "zev0/hostnames.h"
#include "zev0/storage.h"
#include "zev0/threads.h"

TRC_UNIT();

namespace {

constexpr int32_t kLargestPort = 65535;

// The anchor's list for an entry's kind and its lock, or false for a kind without one.
bool kindList(DPAB* anchor, char kind, IOEntry*** list, BSV1_Lock** lock) {
  switch (kind) {
    case 'A': *list = &anchor->appcIOEntries; *lock = &anchor->appcIOListLock; return true;
    case 'B': *list = &anchor->apiIOEntries; *lock = &anchor->apiIOListLock; return true;
    case 'F': *list = &anchor->fileIOEntries; *lock = &anchor->fileIOListLock; return true;
    case 'S': *list = &anchor->sockIOEntries; *lock = &anchor->sockIOListLock; return true;
    default: return false;
  }
}

// A SOCK partner: host[port]. Its address fills the entry, its host becomes the
// source's node name; false after the message.
bool setPartner(IOEntry* entry, SourceEntry* source) {
  if (source->SourceName == nullptr || *source->SourceName == '\0') {
    ZEVP_DisplayValidationMessage(ZEVPV42E, nullptr);
    return false;
  }
  std::string host = source->SourceName;
  int32_t port = 0;
  size_t bracket = host.find('[');
  if (bracket != std::string::npos) {
    port = zevp::HeldTo(zevp::DecimalValue(host.c_str() + bracket + 1), 0, kLargestPort);
    host.resize(bracket);
  }
  if (!ZEV0_ConvertNameToAddr(host.c_str(), static_cast<uint16_t>(port), &entry->PartnerAddress)) {
    ZEVP_DisplayValidationMessage(ZEVPV56E, host.c_str());
    return false;
  }
  entry->Port = htons(static_cast<uint16_t>(port));
  ZEV0_FreeStorage(&source->pSourceNodeName);
  source->pSourceNodeName = zevp::NewStorageText(host);
  source->SourceNodeNameLength = static_cast<int32_t>(host.size());
  return true;
}

}  // namespace

IOEntry* ZEVP_InitializeIOEntry(DPAB* anchor, SourceEntry* source, char kind) {
  if (source != nullptr) kind = source->SourceType;
  auto* entry = static_cast<IOEntry*>(ZEV0_GetStorage(sizeof(IOEntry)));
  if (entry == nullptr) {
    TRC(TRC_ERROR, "***** Unable to obtain storage for IOEntry");
    return nullptr;
  }
  std::memset(entry, 0, sizeof *entry);
  entry->Kind = kind;
  entry->Active = 1;
  entry->Mode = 'T';
  entry->Limit = 2147483647;
  entry->Source = source;
  entry->PartnerAddress.sin_family = AF_INET;
  if (kind == ZEVP_SOURCE_SOCK && source != nullptr && !setPartner(entry, source)) {
    ZEV0_FreeStorage(&entry);
    return nullptr;
  }
  ZEV0_InitializeMutex(&entry->Mutex);
  ZEV0_InitializeCondVar(&entry->Condition);
  BSV1_InitializeLock(&entry->Lock);
  TRC(TRC_STORAGE, "Allocated IOEntry @%p for length %d", static_cast<void*>(entry), static_cast<int>(sizeof *entry));

  BSV1_GetLock(&anchor->ioListLock);
  zevp::AppendToList(&anchor->ioEntries, entry, &IOEntry::NextAll);
  BSV1_ReleaseLock(&anchor->ioListLock);
  IOEntry** list = nullptr;
  BSV1_Lock* listLock = nullptr;
  if (kindList(anchor, kind, &list, &listLock)) {
    // The entry is whole before it is linked: a walk of the list may take its lock
    // at once, and no thread holds it yet.
    BSV1_GetLock(listLock);
    zevp::AppendToList(list, entry, &IOEntry::NextOfKind);
    BSV1_ReleaseLock(listLock);
  }
  return entry;
}

void ZEVP_WakeFileServer(IOEntry* entry) {
  pthread_mutex_lock(&entry->Mutex);
  entry->WakeUpPending = 1;
  pthread_cond_signal(&entry->Condition);
  pthread_mutex_unlock(&entry->Mutex);
}
