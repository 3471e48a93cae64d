// The entries of monitored URLs: added with their first owner, given their sample
// set, found, held and freed.
#include <algorithm>
#include <cctype>
#include <cstring>
#include <new>
#include <string>

#include "dp_anchor.h"
#include "http_trace.h"
#include "url_entry_storage.h"
#include "url_management.h"
#include "zev0/storage.h"
#include "zev0/threads.h"

TRC_UNIT();

namespace {

constexpr int kShortestInterval = 60;
constexpr int kLongestInterval = 3600;
std::string UpperCased(const char* text) {
  std::string upper = text;
  for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return upper;
}

bool HoldsControlCharacter(const char* text) {
  for (const char* c = text; *c != '\0'; ++c)
    if (std::iscntrl(static_cast<unsigned char>(*c))) return true;
  return false;
}

// Copies at most 32 characters, and none from the first control character on (a
// line end there would forge lines in the rewritten URL configuration file).
int32_t CopyOwnerName(char* target, const char* name) {
  int32_t length = 0;
  while (name != nullptr && length < ZEVP_URL_OWNER_NAME_MAX && name[length] != '\0' &&
         !std::iscntrl(static_cast<unsigned char>(name[length])))
    ++length;
  if (length > 0) std::memcpy(target, name, static_cast<size_t>(length));
  target[length] = '\0';
  return length;
}

URLownerEntry* NewOwner(const char* user, const char* alias) {
  auto* owner = static_cast<URLownerEntry*>(ZEV0_GetStorage(sizeof(URLownerEntry)));
  if (owner == nullptr) return nullptr;
  std::memset(owner, 0, sizeof *owner);
  owner->UserLength = CopyOwnerName(owner->User, user);
  if (alias != nullptr) {
    owner->AliasLength = CopyOwnerName(owner->Alias, alias);
  } else {
    std::strcpy(owner->Alias, ZEVP_URL_NO_ALIAS);
    owner->AliasLength = static_cast<int32_t>(std::strlen(ZEVP_URL_NO_ALIAS));
  }
  return owner;
}

URLrequestEntry* NewEntry(const char* url) {
  void* storage = ZEV0_GetStorage(sizeof(URLrequestEntry));
  if (storage == nullptr) return nullptr;
  auto* entry = new (storage) URLrequestEntry();
  std::strcpy(entry->URL, url);
  entry->URLlength = static_cast<int32_t>(std::strlen(url));
  BSV1_Time now;
  BSV1_GetTime(&now);
  entry->LastCheckTime = now.seconds;
  entry->OwnerCount = 1;
  entry->ObjectCycleCountdown = 1;
  entry->PageOutputCountdown = 2;
  entry->HTTP11 = 1;
  return entry;
}

// The rest of the entry once its sample set is known: the ring, its locks and its owner.
bool CompleteEntry(URLrequestEntry* entry, const char* user, const char* alias) {
  entry->CurrentRespTimeArray =
      static_cast<int32_t*>(ZEV0_GetStorage(entry->SampleSetSize * static_cast<int32_t>(sizeof(int32_t))));
  entry->Owners = NewOwner(user, alias);
  if (entry->CurrentRespTimeArray == nullptr || entry->Owners == nullptr) {
    ZEV0_FreeStorage(&entry->CurrentRespTimeArray);
    ZEV0_FreeStorage(&entry->Owners);
    return false;
  }
  std::fill_n(entry->CurrentRespTimeArray, entry->SampleSetSize, 0);
  BSV1_InitializeLock(&entry->EntryLock);
  ZEV0_InitializeMutex(&entry->ConfirmMutex);
  ZEV0_InitializeCondVar(&entry->ConfirmCondition);
  return true;
}

URLrequestEntry* FindByURL(URLmanagementBlock* block, const std::string& upperURL) {
  for (URLrequestEntry* entry = block->URLs; entry != nullptr; entry = entry->next) {
    HTTP_TRC(TRC_DETAIL, "Comparing requested URL <%s> against URL <%s>", upperURL.c_str(), entry->URL);
    if (UpperCased(entry->URL) == upperURL) return entry;
  }
  return nullptr;
}

bool InList(const URLmanagementBlock* block, const URLrequestEntry* entry) {
  for (const URLrequestEntry* listed = block->URLs; listed != nullptr; listed = listed->next)
    if (listed == entry) return true;
  return false;
}

// Under the URL list lock: the new entry, or null (with the already-monitored flag).
URLrequestEntry* AddEntry(URLmanagementBlock* block, const char* url, const char* alias, int interval,
                          const char* user, int cachePercent, int* alreadyMonitored) {
  if (URLrequestEntry* monitored = FindByURL(block, UpperCased(url))) {
    HTTP_TRC(TRC_DETAIL, "Input URL <%s> already being monitored with status interval: %d seconds", url,
             monitored->StatusInterval);
    if (alreadyMonitored != nullptr) *alreadyMonitored = 1;
    return nullptr;
  }
  if (alreadyMonitored != nullptr) *alreadyMonitored = 0;
  int length = static_cast<int>(std::strlen(url));
  if (length > ZEVP_URL_MAX_LENGTH) {
    HTTP_TRC(TRC_ERROR, "URE allocation failed. URL size: %d URL {%s}", length, url);
    return nullptr;
  }
  URLrequestEntry* entry = NewEntry(url);
  if (entry == nullptr) {
    HTTP_TRC(TRC_ERROR, "URE allocation failed. No storage for URL {%s}", url);
    return nullptr;
  }
  ZEVP_DetermineURLsampleSetValues(entry, interval);
  entry->CachePercent = cachePercent;
  if (cachePercent < 0 || cachePercent > 100) {
    HTTP_TRC(TRC_ERROR, "*****Input cache percent %d invalid. Default %d used", cachePercent, 0);
    entry->CachePercent = 0;
  }
  if (!CompleteEntry(entry, user, alias)) {
    HTTP_TRC(TRC_ERROR, "URE allocation failed. No storage for URL {%s}", url);
    entry->~URLrequestEntry();
    ZEV0_FreeStorage(&entry);
    return nullptr;
  }
  HTTP_TRC(TRC_DETAIL,
           "Monitoring started for URL{%s} Alias{%s} User{%s} Interval{%d seconds} CachePercent{%d} "
           "SampleSetSize{%d}",
           entry->URL, entry->Owners->Alias, entry->Owners->User, entry->StatusInterval, entry->CachePercent,
           entry->SampleSetSize);
  URLrequestEntry** tail = &block->URLs;
  while (*tail != nullptr) tail = &(*tail)->next;
  *tail = entry;
  ++block->ManagedURLCount;
  HTTP_TRC(TRC_DETAIL, "Total of %d URL(s) are now being managed", block->ManagedURLCount);
  return entry;
}

}  // namespace

URLrequestEntry* ZEVP_AllocateHTTPrequestBlock(DPAB* anchor, const char* url, const char* alias, int interval,
                                               const char* user, int cachePercent, int* alreadyMonitored) {
  zevp::URLmanagementRequest request(anchor);
  URLmanagementBlock* block = request.block();
  if (anchor != nullptr && block == nullptr) {
    HTTP_TRC(TRC_ERROR, "Unable to allocate new URE.  URLmanagementBlock not available.");
    return nullptr;
  }
  if (anchor == nullptr || url == nullptr) {
    HTTP_TRC(TRC_ERROR, "URE allocation bypassed. Input invalid. pDPAB @%p URL @%p", static_cast<void*>(anchor),
             static_cast<const void*>(url));
    return nullptr;
  }
  if (HoldsControlCharacter(url)) {
    HTTP_TRC(TRC_ERROR, "URE allocation refused. URL holds a control character: {%s}", url);
    if (alreadyMonitored != nullptr) *alreadyMonitored = 0;
    return nullptr;
  }
  // Looked for and appended in one hold of the lock: two requesters of one URL
  // cannot both add it.
  BSV1_GetLock(&block->URLListLock);
  URLrequestEntry* entry = AddEntry(block, url, alias, interval, user, cachePercent, alreadyMonitored);
  BSV1_ReleaseLock(&block->URLListLock);
  return entry;
}

void ZEVP_DetermineURLsampleSetValues(URLrequestEntry* entry, int interval) {
  URLmanagementBlock* block = zevp::CurrentURLmanagement();
  if (entry == nullptr || block == nullptr) return;
  const int defaultInterval = block->DefaultSampleInterval;
  if (entry->StatusInterval <= 0 || entry->StatusInterval > interval) {
    int chosen = interval < 1 ? defaultInterval : interval;
    entry->StatusInterval = std::clamp(chosen, kShortestInterval, kLongestInterval);
  }
  if (entry->StatusInterval > defaultInterval) {
    entry->StatusInterval = defaultInterval;
    HTTP_TRC(TRC_DETAIL, "Sample interval decreased to max sample set interval limit of %d for URL <%s>",
             defaultInterval, entry->URL);
  }
  if (entry->SampleSetSize == 0) entry->SampleSetSize = block->SampleSetPeriod / entry->StatusInterval;
  HTTP_TRC(TRC_DETAIL, "URL sample interval is %d, sample set size is %d for URL <%s>", entry->StatusInterval,
           entry->SampleSetSize, entry->URL);
}

int ZEVP_FindURE(URLrequestEntry* entry) {
  URLmanagementBlock* block = zevp::CurrentURLmanagement();
  if (block == nullptr || entry == nullptr) {
    HTTP_TRC(TRC_ERROR, "Unable to locate pURE @%p pUMB @%p", static_cast<void*>(entry), static_cast<void*>(block));
    return 0;
  }
  BSV1_GetLock(&block->URLListLock);
  bool found = InList(block, entry);
  BSV1_ReleaseLock(&block->URLListLock);
  if (!found) HTTP_TRC(TRC_DETAIL, "Failed to locate pURE @%p", static_cast<void*>(entry));
  return found ? 1 : 0;
}

namespace zevp {

int HoldURE(URLrequestEntry* entry) {
  URLmanagementBlock* block = CurrentURLmanagement();
  if (block == nullptr || entry == nullptr) return 0;
  BSV1_GetLock(&block->URLListLock);
  bool found = InList(block, entry);
  if (found) ++entry->Holds;
  BSV1_ReleaseLock(&block->URLListLock);
  return found ? 1 : 0;
}

URLrequestEntry* TakeEntryFromCursor(URLmanagementBlock* block) {
  BSV1_GetLock(&block->URLListLock);
  URLrequestEntry* entry = block->CurrentURL;
  if (entry != nullptr) {
    block->CurrentURL = entry->next;
    ++entry->Holds;
  }
  BSV1_ReleaseLock(&block->URLListLock);
  return entry;
}

void LetGoURE(URLrequestEntry* entry) {
  URLmanagementBlock* block = CurrentURLmanagement();
  if (block == nullptr || entry == nullptr) return;
  BSV1_GetLock(&block->URLListLock);
  if (--entry->Holds <= 0 && entry->Unlinked) {
    HTTP_TRC(TRC_DETAIL, "Last hold of deleted URE @%p let go", static_cast<void*>(entry));
    FreeURLrequestEntry(entry);
  }
  BSV1_ReleaseLock(&block->URLListLock);
}

void DiscardURLrequestEntry(URLrequestEntry* entry) {
  if (entry->Holds > 0) {
    HTTP_TRC(TRC_DETAIL, "Deleted URE @%p still held: freed at its last let-go", static_cast<void*>(entry));
    entry->Unlinked = 1;
    return;
  }
  FreeURLrequestEntry(entry);
}

void FreeURLrequestEntry(URLrequestEntry* entry) {
  BSV1_DestroyLock(&entry->EntryLock);
  pthread_mutex_destroy(&entry->ConfirmMutex);
  pthread_cond_destroy(&entry->ConfirmCondition);
  while (URLownerEntry* owner = entry->Owners) {
    entry->Owners = owner->next;
    ZEV0_FreeStorage(&owner);
  }
  ZEV0_FreeStorage(&entry->CurrentRespTimeArray);
  ZEV0_FreeStorage(&entry->OutputDirectory);
  entry->~URLrequestEntry();
  ZEV0_FreeStorage(&entry);
}

}  // namespace zevp
