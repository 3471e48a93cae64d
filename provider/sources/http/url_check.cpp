// The check of one monitored URL by a client task: its page request through an
// activity subtask, the page's title, its objects when their cycle has come, and
// the status left for the DCH update task.
//
// The page buffer the client lends changes hands under the entry lock only, so a
// buffer a subtask grew comes back to its client, also when the URL went meanwhile.
#include <algorithm>
#include <cstring>
#include <set>
#include <string>

#include "http_client_task.h"
#include "http_trace.h"
#include "page_scan.h"
#include "url_activity.h"
#include "url_management.h"
#include "url_output.h"

TRC_UNIT();

namespace zevp {

namespace {

constexpr int32_t kObjectCycle = 50;
constexpr int32_t kPageOutputCycle = 100;
// The object URLs of one collection remembered to request each once, in characters.
constexpr size_t kDispatchedObjectsSize = 8000;
constexpr char kTitleOfAFailedCheck[] = "    ";

int64_t Now() {
  BSV1_Time now;
  BSV1_GetTime(&now);
  return now.seconds;
}

// Under the entry lock.
void LendPageBuffer(URLrequestEntry* entry, CommonPageBuffer* buffer) {
  entry->PageBuffer = buffer->page;
  entry->PageBufferSize = buffer->page != nullptr ? buffer->size : 0;
  entry->PageLength = 0;
  // A request that reads no page leaves none behind for the page file.
  if (buffer->page != nullptr) buffer->page[0] = '\0';
}

// Under the entry lock: the client keeps the buffer the entry holds now.
void AdoptPageBuffer(URLrequestEntry* entry, CommonPageBuffer* buffer) {
  if (entry->PageBuffer == nullptr || entry->PageBuffer == buffer->page) return;
  HTTP_TRC(TRC_DETAIL, "Page buffer of %d bytes for URL <%s> kept as the common page buffer", entry->PageBufferSize,
           entry->URL);
  buffer->page = entry->PageBuffer;
  buffer->size = entry->PageBufferSize;
}

// Under the entry lock.
void EndCheck(URLrequestEntry* entry, CommonPageBuffer* buffer) {
  AdoptPageBuffer(entry, buffer);
  entry->PageBuffer = nullptr;
  entry->PageBufferSize = 0;
  entry->Checking = 0;
}

// Decides, under the entry lock, whether the URL is checked now; when it is, the
// check begins with the page buffer lent.
bool BeginCheckIfDue(URLrequestEntry* entry, CommonPageBuffer* buffer) {
  const int64_t now = Now();
  BSV1_GetLock(&entry->EntryLock);
  bool due = false;
  if (entry->Checking == 0) {
    bool statusWaits = entry->ValidURLstat == 1;
    if (statusWaits && now - entry->LastCheckTime > entry->StatusInterval) {
      HTTP_TRC(TRC_DETAIL, "Warning: Sample interval time has elapsed for URL <%s>", entry->URL);
      entry->ValidURLstat = 0;
      statusWaits = false;
    }
    if (!statusWaits) {
      entry->OutputObjectContent = 0;
      due = now >= entry->NextCheckTime;
    }
  }
  if (due) {
    entry->LastCheckTime = now;
    entry->NextCheckTime = now + entry->StatusInterval;
    entry->Checking = 1;
    LendPageBuffer(entry, buffer);
    entry->ObjConfirmCount = 1;
    entry->ObjRequestOutstanding = 0;
  }
  BSV1_ReleaseLock(&entry->EntryLock);
  return due;
}

// 1 when the page request completed within the reply wait.
int RequestPage(URLrequestEntry* entry) {
  URLactivityTaskBlock* subtask = ZEVP_LocateFreeActivitySubtask();
  if (subtask == nullptr) return 0;
  BSV1_GetLock(&entry->EntryLock);
  BSV1_GetTime(&entry->RequestStartTime);
  BSV1_ReleaseLock(&entry->EntryLock);
  return ZEVP_DispatchActivitySubtask(subtask, entry, entry->URL, ZEVP_URL_PAGE_REQUEST, 1, 1, 1);
}

// Requests each object the page references once, without waiting; the first
// `threshold` count for the response time.
void CollectPageObjects(URLrequestEntry* entry, const char* page, size_t length, int32_t threshold,
                        const std::atomic<int32_t>& ending) {
  BSV1_GetLock(&entry->EntryLock);
  entry->PageObjectCount = 0;
  entry->TotalObjectSize = 0;
  BSV1_ReleaseLock(&entry->EntryLock);
  std::set<std::string> dispatched;
  size_t remembered = 0;
  ScanPageObjects(page, length, ObjectBaseURL(entry->URL), [&](const std::string& url) {
    if (ending != 0) return false;
    // Only the same URL is a duplicate: one that is part of a longer URL already
    // dispatched (a.gif of ba.gif) is fetched.
    if (dispatched.count(url) != 0) {
      HTTP_TRC(TRC_DETAIL, "Duplicate object %s not retrieved", url.c_str());
      return true;
    }
    if (remembered + url.size() <= kDispatchedObjectsSize) {
      dispatched.insert(url);
      remembered += url.size();
    }
    BSV1_GetLock(&entry->EntryLock);
    const int32_t number = ++entry->PageObjectCount;
    BSV1_ReleaseLock(&entry->EntryLock);
    URLactivityTaskBlock* subtask = ZEVP_LocateFreeActivitySubtask();
    if (subtask == nullptr) return false;
    BSV1_GetLock(&entry->EntryLock);
    ++entry->ObjRequestOutstanding;
    BSV1_ReleaseLock(&entry->EntryLock);
    const int counted = number <= threshold ? 1 : 0;
    return ZEVP_DispatchActivitySubtask(subtask, entry, url.c_str(), ZEVP_URL_OBJECT_REQUEST, counted, 0, 0) != 0 ||
           ZEVP_FindURE(entry) != 0;
  });
}

}  // namespace

int32_t ObjectThreshold(URLrequestEntry* entry, bool* collect) {
  int32_t threshold = (100 - entry->CachePercent) * entry->PageObjectCount / 100;
  if (threshold < 0 || (threshold == 0 && entry->ObjectCycleCountdown == 0)) {
    threshold = 1;
    entry->ObjConfirmCount = 0;
  } else {
    entry->ObjConfirmCount = threshold;
  }
  *collect = threshold != 0 && entry->ObjectCycleCountdown <= 0;
  // The collecting check is the first of the next cycle: objects every 50 checks.
  if (*collect)
    entry->ObjectCycleCountdown = kObjectCycle - 1;
  else
    --entry->ObjectCycleCountdown;
  return threshold;
}

void CheckURLentry(URLmanagementBlock* block, CommonPageBuffer* buffer, URLrequestEntry* entry,
                   const std::atomic<int32_t>& ending) {
  if (ending != 0 || !BeginCheckIfDue(entry, buffer)) return;
  const int completed = RequestPage(entry);
  if (completed == 0 && ZEVP_FindURE(entry) == 0) {
    HTTP_TRC(TRC_DETAIL, "URL <%s> no longer monitored: its check is dropped", entry->URL);
    BSV1_GetLock(&entry->EntryLock);
    EndCheck(entry, buffer);
    BSV1_ReleaseLock(&entry->EntryLock);
    return;
  }

  BSV1_GetLock(&entry->EntryLock);
  AdoptPageBuffer(entry, buffer);
  // No reply within the reply wait: the URL is checked again at its next interval.
  if (completed == 0) zevp::RecordRequestStatus(entry, VMO1_CONNECTION_ABANDONED);
  bool writePage = false;
  if (--entry->PageOutputCountdown <= 0) {
    writePage = block->OutputHTML != 0;
    if (block->OutputContent != 0) entry->OutputObjectContent = 1;
    entry->PageOutputCountdown = kPageOutputCycle;
  }
  std::memset(entry->PageTitle, 0, sizeof entry->PageTitle);
  std::strcpy(entry->PageTitle, kTitleOfAFailedCheck);
  entry->ObjRequestOutstanding = 0;
  const bool succeeded = entry->RequestStatus == 0;
  if (!succeeded) entry->PageLength = 0;
  const size_t pageLength = static_cast<size_t>(std::max(0, std::min(entry->PageLength, entry->PageBufferSize)));
  BSV1_ReleaseLock(&entry->EntryLock);

  if (writePage) ZEVP_OutputURLpage(block, entry);
  if (succeeded) {
    const std::string title = PageTitle(buffer->page, buffer->page != nullptr ? pageLength : 0);
    bool collect = false;
    BSV1_GetLock(&entry->EntryLock);
    std::memset(entry->PageTitle, 0, sizeof entry->PageTitle);
    std::memcpy(entry->PageTitle, title.data(), std::min(title.size(), kPageTitleMax));
    const int32_t threshold = ObjectThreshold(entry, &collect);
    BSV1_ReleaseLock(&entry->EntryLock);
    if (collect && buffer->page != nullptr) CollectPageObjects(entry, buffer->page, pageLength, threshold, ending);
  }

  BSV1_GetLock(&entry->EntryLock);
  entry->ValidURLstat = 1;
  EndCheck(entry, buffer);
  BSV1_ReleaseLock(&entry->EntryLock);
  // A status with no object outstanding is not signalled by any subtask.
  SignalURLoutput(block);
}

}  // namespace zevp
